; Per-user installer of Tarvix Tool: no administrator rights, the program in the user's local
; programs folder, a Start-menu shortcut, an optional start with Windows and an uninstaller
; in the user's list of apps. The build passes the paths:
;   makensis -DEXE_FILE=<TarvixTool.exe> -DICON_FILE=<tarvix.ico> -DOUT_FILE=<setup.exe> TarvixTool.nsi
; Switches: /S installs silently; /AUTOSTART also ticks "start with Windows" (without it a
; silent install keeps the current choice: on only if the Run value already starts this
; installation). The uninstaller takes /S too.

Unicode true
; The program is 64-bit only; so is the installer, which also finds the 64-bit registry view.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!ifndef EXE_FILE | ICON_FILE | OUT_FILE
  !error "EXE_FILE, ICON_FILE and OUT_FILE must be defined"
!endif

!define PRODUCT "Tarvix Tool"
!define VERSION "1.9"
!define PUBLISHER "Tarvix"
!define EXE_NAME "TarvixTool.exe"
!define UNINST_NAME "Uninstall.exe"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TarvixTool"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "TarvixTool"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
; The program's tray window and its "Exit" command: the clean way to end a running copy.
!define TRAY_CLASS "TarvixTrayClass"
!define IDM_EXIT 1001

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An update goes where the last installation went.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE_NAME}"

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Indonesian"

VIProductVersion "1.9.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

; Asks a running copy to exit through its tray menu command and waits up to 5 s for it to go,
; so that its executable can be replaced or removed.
!macro CloseRunningCopy
  FindWindow $0 "${TRAY_CLASS}"
  ${If} $0 <> 0
    DetailPrint "Menutup ${PRODUCT} yang sedang berjalan..."
    SendMessage $0 ${WM_COMMAND} ${IDM_EXIT} 0 /TIMEOUT=2000
    StrCpy $1 0
    ${Do}
      Sleep 100
      IntOp $1 $1 + 1
      FindWindow $0 "${TRAY_CLASS}"
      ${If} $0 = 0
      ${OrIf} $1 >= 50
        ${ExitDo}
      ${EndIf}
    ${Loop}
  ${EndIf}
!macroend

; Sets $0 to 1 when the Run value starts the executable in $INSTDIR (quoted or not), else 0.
!macro RunValueIsOurs
  ReadRegStr $1 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  StrCpy $0 0
  ${If} $1 == '"$INSTDIR\${EXE_NAME}"'
  ${OrIf} $1 == "$INSTDIR\${EXE_NAME}"
    StrCpy $0 1
  ${EndIf}
!macroend

Section "${PRODUCT} (wajib)" SecMain
  SectionIn RO
  !insertmacro CloseRunningCopy
  SetOutPath "$INSTDIR"
  File "/oname=${EXE_NAME}" "${EXE_FILE}"
  WriteUninstaller "$INSTDIR\${UNINST_NAME}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\${EXE_NAME}" "" "$INSTDIR\${EXE_NAME}" 0

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" '"$INSTDIR\${EXE_NAME}",0'
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINST_NAME}"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINST_NAME}" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Jalankan saat Windows mulai" SecAutostart
  ; Quoted, as the program itself writes it: the folder name holds a blank.
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${EXE_NAME}"'
SectionEnd

Section "-AutostartOff"
  ; Unticked: this installation stops starting with Windows; another copy's value stays.
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    !insertmacro RunValueIsOurs
    ${If} $0 = 1
      DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
  ${EndIf}
SectionEnd

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AUTOSTART" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${Else}
    ; An update shows (and in silent mode keeps) the choice made before.
    !insertmacro RunValueIsOurs
    ${If} $0 = 1
      !insertmacro SelectSection ${SecAutostart}
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro CloseRunningCopy
  !insertmacro RunValueIsOurs
  ${If} $0 = 1
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
  Delete "${SHORTCUT}"
  Delete "$INSTDIR\${EXE_NAME}"
  Delete "$INSTDIR\${UNINST_NAME}"
  ; Only an empty folder goes: the user may have put files of their own there.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINST_KEY}"
  ; config.ini under %APPDATA%\TarvixTool and the log in the temporary folder stay.
SectionEnd
