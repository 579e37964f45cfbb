// One copy of the program per sign-in session. Win32 side.
#include <windows.h>

#include "app/app_win.h"
#include "base/log_line.h"

// "Local\" keeps the object to this session: another user signed in beside us runs a copy of their own.
const wchar_t kSingleInstanceName[] = L"Local\\TarvixTool.SingleInstance";

bool ClaimSingleInstance(const wchar_t* name, ScopedHandle& claim) {
    claim.reset(CreateMutexW(nullptr, FALSE, name));
    DWORD err = GetLastError();
    if (claim && err == ERROR_ALREADY_EXISTS) {
        claim.reset();
        return false;
    }
    if (claim) return true;
    // A holder that we may not open is a running copy all the same.
    if (err == ERROR_ACCESS_DENIED) return false;
    // Without the object the program still runs rather than not at all.
    LogMessage(L"AppMain: CreateMutexW failed, err=%lu", err);
    return true;
}

HWND NotifyRunningCopy(const wchar_t* trayClass, DWORD waitMs) {
    // The first copy may hold the object but not have its window yet, as when it is itself starting.
    const DWORD step = 100;
    for (DWORD waited = 0;; waited += step) {
        HWND first = FindWindowW(trayClass, nullptr);
        if (first) {
            if (!PostMessageW(first, WM_APP_ALREADYRUNNING, 0, 0)) {
                LogMessage(L"AppMain: PostMessageW to the running copy failed, err=%lu", GetLastError());
            }
            return first;
        }
        if (waited >= waitMs) return nullptr;
        Sleep(step);
    }
}
