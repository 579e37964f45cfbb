// Application shell: start-up, tray icon and menu, message loop. Win32 side.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "app/autostart.h"
#include "base/notify_win.h"
#include "base/win_handles.h"

// Tray icon notifications arrive as this message.
constexpr UINT WM_TRAYICON = WM_USER + 1;

// Another start asks the running copy, through its tray window, to tell the user it is there.
// Numbered apart from the wheel window's messages, so that one sent astray is not taken for another.
constexpr UINT WM_APP_ALREADYRUNNING = WM_APP + 0x40;

// The program icon in the resources.
constexpr UINT kAppIconId = 1;

constexpr UINT IDM_EXIT = 1001;
constexpr UINT IDM_ABOUT = 1002;
constexpr UINT IDM_SETTINGS = 1003;
constexpr UINT IDM_AUTOSTART = 1004;

extern const wchar_t kTrayClass[];
extern const wchar_t kSingleInstanceName[];
extern const wchar_t kRunKeyPath[];

extern HINSTANCE appInstance;
extern HWND trayWindow;

// Runs the program: start-up, message loop, shut-down. Returns the exit code.
int AppMain(HINSTANCE instance);
LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The about text with the build stamp.
void FormatAboutText(wchar_t* buffer, size_t capacity);

// One copy per session: claims the named object into `claim`; false when another copy holds it.
bool ClaimSingleInstance(const wchar_t* name, ScopedHandle& claim);
// Posts WM_APP_ALREADYRUNNING to the running copy's tray window, waiting up to waitMs for the
// window to exist. Returns that window, or null when none was found.
HWND NotifyRunningCopy(const wchar_t* trayClass, DWORD waitMs);

// This executable's full path; empty when it cannot be had.
std::wstring RunningExePath();
// Our Run value under root\subKey, judged against exePath.
AutostartState QueryAutostart(HKEY root, const wchar_t* subKey, const std::wstring& exePath);
// Writes our Run value naming exePath (on) or removes it (off). Logs a failure; returns the
// system error code, ERROR_SUCCESS when the value is as asked.
LONG WriteAutostart(HKEY root, const wchar_t* subKey, const std::wstring& exePath, bool on);
