#include "app/app_win.h"

#include <shellapi.h>
#include <commctrl.h>

#include "base/gdiplus_flat.h"
#include "base/log_line.h"
#include "base/notify_win.h"
#include "base/text.h"
#include "base/win_handles.h"
#include "config/config_file.h"
#include "config/settings_win.h"
#include "wheel/hook_thread_win.h"
#include "wheel/wheel_win.h"

HINSTANCE appInstance = nullptr;
HWND trayWindow = nullptr;
const wchar_t kTrayClass[] = L"TarvixTrayClass";

namespace {

const wchar_t kAboutCaption[] = L"Tentang Tarvix Tool v1.9";
const wchar_t kAutostartText[] = L"Jalankan saat Windows mulai";

NOTIFYICONDATAW trayIcon = {};
// Explorer broadcasts this after it restarts; the icon must then be added again.
UINT taskbarCreatedMessage = 0;

bool AddTrayIcon() {
    if (!Shell_NotifyIconW(NIM_ADD, &trayIcon)) {
        LogMessage(L"AppMain: Shell_NotifyIconW(NIM_ADD) failed, err=%lu", GetLastError());
        return false;
    }
    return true;
}

void ShowTrayMenu(HWND hwnd) {
    POINT pt;
    GetCursorPos(&pt);
    ScopedMenu menu(CreatePopupMenu());
    if (!menu) return;
    AppendMenuW(menu.get(), MF_STRING, IDM_SETTINGS, L"Pengaturan Wheel (Settings)");
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING, IDM_ABOUT, L"Tarvix Tool v1.9 (PDF Split Engine)");
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    // Whether and how the program runs, together with "Exit". The check shows the registry as
    // it is now: the user or another program may have changed it since the last opening.
    AutostartState autostart = QueryAutostart(HKEY_CURRENT_USER, kRunKeyPath, RunningExePath());
    AppendMenuW(menu.get(), MF_STRING | (AutostartMenuChecked(autostart) ? MF_CHECKED : MF_UNCHECKED), IDM_AUTOSTART,
                kAutostartText);
    AppendMenuW(menu.get(), MF_STRING, IDM_EXIT, L"Exit");
    // The owner must be in the foreground, or the menu stays open when the user clicks elsewhere.
    SetForegroundWindow(hwnd);
    TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd, nullptr);
    // Without a message after it, the menu fails to close or to open the next time it is asked for.
    PostMessageW(hwnd, WM_NULL, 0, 0);
}

void ToggleAutostart(HWND owner) {
    std::wstring exePath = RunningExePath();
    bool on = AutostartChoiceTurnsOn(QueryAutostart(HKEY_CURRENT_USER, kRunKeyPath, exePath));
    LONG err = WriteAutostart(HKEY_CURRENT_USER, kRunKeyPath, exePath, on);
    if (err == ERROR_SUCCESS) return;
    // The user asked for a change that did not happen: say so, not only in the log.
    wchar_t text[256];
    FormatText(text, 256,
               on ? L"Tarvix Tool tidak dapat diatur untuk berjalan saat Windows mulai (kode kesalahan %ld)."
                  : L"Tarvix Tool tidak dapat dihapus dari daftar program saat Windows mulai (kode kesalahan %ld).",
               static_cast<long>(err));
    MessageBoxW(owner, text, L"Perhatian", MB_ICONWARNING);
}

void ShowAbout(HWND owner) {
    wchar_t text[512];
    FormatAboutText(text, 512);
    MessageBoxW(owner, text, kAboutCaption, MB_ICONINFORMATION);
}

}  // namespace

void FormatAboutText(wchar_t* buffer, size_t capacity) {
    FormatText(buffer, capacity,
               L"Tarvix Tool v1.9 (PDF Split Engine)\nBuild: %hs %hs\n\n"
               L"- PDF Split / Unmerge: Ekstrak halaman PDF jadi JPG & single PDF\n"
               L"- Settings GUI: Kustomisasi sektor wheel via Desktop GUI\n"
               L"- Hold-Aim-Release: M4/M5 gesture flick selection\n"
               L"- Scroll mouse: Ganti layer (MEDIA / WEB)\n"
               L"- Auto-Trim RAM: ~2-5 MB idle, 0%% CPU",
               __DATE__, __TIME__);
}

LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_TRAYICON:
        if (LOWORD(lParam) == WM_RBUTTONUP) ShowTrayMenu(hwnd);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_EXIT: PostQuitMessage(0); break;
        case IDM_SETTINGS: OpenSettingsWindow(); break;
        case IDM_ABOUT: ShowAbout(hwnd); break;
        case IDM_AUTOSTART: ToggleAutostart(hwnd); break;
        }
        break;
    case WM_APP_ALREADYRUNNING:
        ShowTrayBalloon(L"Tarvix Tool sudah berjalan",
                        L"Ikonnya ada di area notifikasi. Tahan M4 atau M5 untuk membuka wheel.");
        break;
    default:
        if (msg == taskbarCreatedMessage && msg != 0) AddTrayIcon();
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int AppMain(HINSTANCE instance) {
    appInstance = instance;
    // Before anything starts: a second copy would add its own icon and hook, and one press
    // would then open two wheels and run the chosen action twice.
    ScopedHandle singleInstance;
    if (!ClaimSingleInstance(kSingleInstanceName, singleInstance)) {
        HWND first = NotifyRunningCopy(kTrayClass, 3000);
        LogMessage(L"AppMain: Tarvix Tool is already running (tray window %p), this copy exits", first);
        return 0;
    }
    CoInitialize(nullptr);

    GdiplusStartupInput gdiplusInput;
    gdiplusInput.GdiplusVersion = 1;
    ULONG_PTR gdiplusToken = 0;
    GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    LoadWheelConfig();

    taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    WNDCLASSEXW trayClass = {sizeof(trayClass)};
    trayClass.lpfnWndProc = TrayWindowProc;
    trayClass.hInstance = instance;
    trayClass.lpszClassName = kTrayClass;
    RegisterClassExW(&trayClass);
    trayWindow = CreateWindowExW(0, kTrayClass, L"", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    SetNotifyWindow(trayWindow);

    trayIcon.cbSize = sizeof(trayIcon);
    trayIcon.hWnd = trayWindow;
    trayIcon.uID = kTrayIconId;
    trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIcon.uCallbackMessage = WM_TRAYICON;
    // The program's own icon at the size the tray asks for at the current DPI; the system's
    // generic one only when ours cannot be loaded.
    HICON ownIcon = nullptr;
    if (FAILED(LoadIconMetric(instance, MAKEINTRESOURCEW(kAppIconId), LIM_SMALL, &ownIcon))) ownIcon = nullptr;
    trayIcon.hIcon = ownIcon ? ownIcon : LoadIconW(nullptr, IDI_APPLICATION);
    FormatText(trayIcon.szTip, ARRAYSIZE(trayIcon.szTip), L"%ls", kTrayTip);
    AddTrayIcon();

    RegisterWheelClass(instance);
    CreateWheelWindow(instance);

    // The hook gets a thread of its own, so that a long action never holds up the desktop's mouse.
    if (!StartMouseHookThread(instance)) LogMessage(L"AppMain: SetWindowsHookExW failed, err=%lu", GetLastError());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    StopMouseHookThread();
    SetNotifyWindow(nullptr);
    Shell_NotifyIconW(NIM_DELETE, &trayIcon);
    if (ownIcon) DestroyIcon(ownIcon);
    GdiplusShutdown(gdiplusToken);
    CoUninitialize();
    return 0;
}
