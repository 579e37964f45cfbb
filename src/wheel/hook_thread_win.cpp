#include "wheel/hook_thread_win.h"

#include <utility>

#include "base/log_line.h"
#include "base/win_handles.h"
#include "wheel/wheel_logic.h"
#include "wheel/wheel_win.h"

namespace {

using ScopedHook = ScopedNullHandle<HHOOK, &UnhookWindowsHookEx>;

// Touched only on the thread the hook runs on. From the moment an opening is posted until the
// window shows or the button comes up, the wheel counts as open: while the window's thread is
// busy the wheel is not on the screen yet, and the release of that same gesture must still reach
// it (or the wheel would open late and then stay open with the button long up).
bool openingPosted = false;

ScopedHandle hookThread;
DWORD hookThreadId = 0;

// The thread drains its queue at once; this only keeps a hang from holding up the exit.
constexpr DWORD kStopWaitMs = 5000;

struct HookThreadStart {
    HINSTANCE instance;
    HANDLE ready;  // set once the hook is in place or has failed
    DWORD error;   // ERROR_SUCCESS when the hook is in place
};

DWORD WINAPI HookThreadMain(void* param) {
    auto* start = static_cast<HookThreadStart*>(param);
    MSG msg;
    // The queue exists before the thread reports ready, so the WM_QUIT posted later cannot be lost.
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    ScopedHook hook(SetWindowsHookExW(WH_MOUSE_LL, MouseHookProc, start->instance, 0));
    const bool installed = static_cast<bool>(hook);
    start->error = installed ? ERROR_SUCCESS : GetLastError();
    SetEvent(start->ready);  // the start record belongs to the starter again from here on
    if (!installed) return 1;
    // The platform calls the hook from inside GetMessageW; WM_QUIT ends the loop and the holder unhooks.
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

}  // namespace

LRESULT CALLBACK MouseHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
    // Runs for every mouse event of the desktop: decide, post, return. No other work here.
    // The event record is only defined for HC_ACTION; other codes go straight down the chain.
    const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    if (nCode != HC_ACTION || !info) return CallNextHookEx(nullptr, nCode, wParam, lParam);
    const HWND window = wheelWindow;
    const bool visible = window && IsWindowVisible(window);
    if (visible) openingPosted = false;
    HookDecision d = DecideHookAction(nCode, static_cast<uint32_t>(wParam), info->mouseData, visible || openingPosted);
    switch (d.post) {
    case HookPost::OpenWheel: {
        POINT pt;
        if (!GetCursorPos(&pt)) pt = info->pt;
        HWND foreground = GetForegroundWindow();
        PostMessageW(window, WM_APP_OPENWHEEL, PackPressPoint({pt.x, pt.y}), reinterpret_cast<LPARAM>(foreground));
        openingPosted = true;
        break;
    }
    case HookPost::WheelScroll: PostMessageW(window, WM_APP_WHEELSCROLL, info->mouseData, 0); break;
    case HookPost::WheelRelease:
        PostMessageW(window, WM_APP_WHEELRELEASE, 0, 0);
        openingPosted = false;
        break;
    case HookPost::None: break;
    }
    if (d.swallow) return 1;
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

bool StartMouseHookThread(HINSTANCE instance) {
    if (hookThread) return true;
    ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready) {
        DWORD err = GetLastError();
        LogMessage(L"StartMouseHookThread: CreateEventW failed, err=%lu", err);
        SetLastError(err);
        return false;
    }
    HookThreadStart start = {instance, ready.get(), ERROR_SUCCESS};
    DWORD id = 0;
    ScopedHandle thread(CreateThread(nullptr, 0, HookThreadMain, &start, 0, &id));
    if (!thread) {
        DWORD err = GetLastError();
        LogMessage(L"StartMouseHookThread: CreateThread failed, err=%lu", err);
        SetLastError(err);
        return false;
    }
    WaitForSingleObject(ready.get(), INFINITE);
    if (start.error != ERROR_SUCCESS) {
        // Without a hook the thread ends at once; wait so that nothing of it outlives this call.
        WaitForSingleObject(thread.get(), INFINITE);
        SetLastError(start.error);
        return false;
    }
    hookThread = std::move(thread);
    hookThreadId = id;
    return true;
}

void StopMouseHookThread() {
    if (!hookThread) return;
    if (!PostThreadMessageW(hookThreadId, WM_QUIT, 0, 0))
        LogMessage(L"StopMouseHookThread: PostThreadMessageW failed, err=%lu", GetLastError());
    else if (WaitForSingleObject(hookThread.get(), kStopWaitMs) != WAIT_OBJECT_0)
        LogMessage(L"StopMouseHookThread: the hook thread did not end within %lu ms", kStopWaitMs);
    hookThread.reset();
    hookThreadId = 0;
}
