// The mouse hook on a thread of its own, fed real input (SendInput) through the platform's hook
// chain: decisions come at once while the wheel window's thread is busy, the thread comes and goes
// without leftovers, and scrolling is taken only while the wheel shows.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/win_handles.h"
#include "wheel/hook_thread_win.h"
#include "wheel/wheel_win.h"

namespace {

INPUT Mouse(DWORD flags, DWORD data) {
    INPUT in = {INPUT_MOUSE};
    in.mi.dwFlags = flags;
    in.mi.mouseData = data;
    return in;
}
const INPUT kX1Down = Mouse(MOUSEEVENTF_XDOWN, XBUTTON1), kX1Up = Mouse(MOUSEEVENTF_XUP, XBUTTON1);
const INPUT kX2Down = Mouse(MOUSEEVENTF_XDOWN, XBUTTON2), kX2Up = Mouse(MOUSEEVENTF_XUP, XBUTTON2);
const INPUT kScrollDown = Mouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA));
constexpr WPARAM kScrollDownData = 0xFF880000;  // the hook's mouseData: delta -120 in the high word

void Send(INPUT in) { SendInput(1, &in, sizeof(in)); }

struct Injection {
    DWORD tick;  // GetTickCount when SendInput was called
    double ms;   // how long it took: the platform waits there for the hook's answer
};
struct InjectJob {
    const std::vector<INPUT>* inputs;
    std::vector<Injection> done;
};

DWORD WINAPI InjectAll(void* param) {
    auto* job = static_cast<InjectJob*>(param);
    LARGE_INTEGER freq, before, after;
    QueryPerformanceFrequency(&freq);
    for (const INPUT& in : *job->inputs) {
        DWORD tick = GetTickCount();
        QueryPerformanceCounter(&before);
        Send(in);
        QueryPerformanceCounter(&after);
        job->done.push_back({tick, (after.QuadPart - before.QuadPart) * 1000.0 / freq.QuadPart});
    }
    return 0;
}

// Sends the inputs from another thread while this one, which owns the wheel window, looks at no
// message for busyMs, as while an action runs. Then it answers only sent messages (a hook installed
// here is called that way) until the sender is done, leaving the queue as it is.
std::vector<Injection> InjectWhileBusy(const std::vector<INPUT>& inputs, DWORD busyMs) {
    InjectJob job{&inputs, {}};
    ScopedHandle thread(CreateThread(nullptr, 0, InjectAll, &job, 0, nullptr));
    if (!thread) return {};
    Sleep(busyMs);
    HANDLE h = thread.get();
    MSG msg;
    while (MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0)
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    return job.done;
}

// The wheel's private messages and the probe's side-button and scroll input, taken out of this
// thread's queue undispatched (input may land a moment late); everything else is dispatched.
std::vector<MSG> TakeQueue(HWND probe) {
    std::vector<MSG> got;
    DWORD start = GetTickCount();
    MSG m;
    do {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            bool wheel = m.hwnd == wheelWindow && m.message >= WM_APP_OPENWHEEL && m.message <= WM_APP_WHEELRELEASE;
            bool input = m.hwnd == probe &&
                         (m.message == WM_XBUTTONDOWN || m.message == WM_XBUTTONUP || m.message == WM_MOUSEWHEEL);
            if (wheel || input) got.push_back(m);
            else DispatchMessageW(&m);
        }
        Sleep(10);
    } while (GetTickCount() - start < 250);
    return got;
}

// Messages of one kind whose wParam carries this high word (the button or the scroll delta).
size_t Count(const std::vector<MSG>& q, HWND hwnd, UINT message, WORD high) {
    return std::count_if(q.begin(), q.end(), [&](const MSG& m) {
        return m.hwnd == hwnd && m.message == message && HIWORD(m.wParam) == high;
    });
}

// Where the system does not count handles (0 under some compatibility layers), probe each value.
size_t CountHandles() {
    DWORD n = 0, flags;
    if (GetProcessHandleCount(GetCurrentProcess(), &n) && n > 0) return n;
    for (uintptr_t h = 4; h < 0x10000; h += 4) n += GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags) ? 1 : 0;
    return n;
}

size_t CountThreads() {
    ScopedHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 te = {sizeof(te)};
    size_t n = 0;
    for (BOOL ok = Thread32First(snap.get(), &te); ok; ok = Thread32Next(snap.get(), &te))
        n += te.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    return n;
}

class HookThreadTest : public ::testing::Test {
protected:
    static constexpr POINT kCursor = {550, 350};  // over the probe, clear of the wheel at (0, 0)

    // One probe window for all cases: taking down an activated window costs seconds under some layers.
    static void SetUpTestSuite() {
        WNDCLASSW wc = {0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr)};
        wc.lpszClassName = L"TarvixTestProbe";
        RegisterClassW(&wc);
        probe = CreateWindowExW(0, wc.lpszClassName, L"probe", WS_POPUP | WS_VISIBLE, 400, 250, 300, 200, nullptr,
                                nullptr, wc.hInstance, nullptr);
    }
    static void TearDownTestSuite() { DestroyWindow(probe); }

    void SetUp() override {
        ASSERT_NE(probe, nullptr);
        RegisterWheelClass(GetModuleHandleW(nullptr));
        if (!wheelWindow) CreateWheelWindow(GetModuleHandleW(nullptr));
        ASSERT_NE(wheelWindow, nullptr);
        ShowWindow(wheelWindow, SW_HIDE);
        SetForegroundWindow(probe);
        SetCursorPos(kCursor.x, kCursor.y);
        TakeQueue(probe);
    }
    void TearDown() override {
        StopMouseHookThread();
        ShowWindow(wheelWindow, SW_HIDE);
        TakeQueue(probe);
    }

    static inline HWND probe = nullptr;
};

}  // namespace

TEST_F(HookThreadTest, SideButtonsAreDecidedAtOnceWhileTheWheelThreadIsBusy) {
    const std::vector<INPUT> gesture = {kX1Down, kScrollDown, kX1Up, kX2Down, kX2Up};
    const WPARAM press = PackPressPoint({kCursor.x, kCursor.y});
    const LPARAM foreground = reinterpret_cast<LPARAM>(GetForegroundWindow());
    ASSERT_NE(foreground, 0);
    // The wheel is not up yet while its thread is busy, so the scroll and the releases belong to
    // the openings posted before them and must reach the window too.
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        size_t input;  // the event that caused it
    } want[] = {{WM_APP_OPENWHEEL, press, foreground, 0}, {WM_APP_WHEELSCROLL, kScrollDownData, 0, 1},
                {WM_APP_WHEELRELEASE, 0, 0, 2},           {WM_APP_OPENWHEEL, press, foreground, 3},
                {WM_APP_WHEELRELEASE, 0, 0, 4}};

    // The control installs the hook on the busy thread itself, as the program once did: there the
    // events wait for the thread, which shows that this measurement can fail.
    for (bool ownThread : {true, false}) {
        HHOOK onBusyThread = nullptr;
        if (ownThread) {
            ASSERT_TRUE(StartMouseHookThread(GetModuleHandleW(nullptr)));
        } else {
            onBusyThread = SetWindowsHookExW(WH_MOUSE_LL, MouseHookProc, GetModuleHandleW(nullptr), 0);
            ASSERT_NE(onBusyThread, nullptr);
        }
        std::vector<Injection> sent = InjectWhileBusy(gesture, 3000);
        if (ownThread) StopMouseHookThread();
        else UnhookWindowsHookEx(onBusyThread);
        std::vector<MSG> queued = TakeQueue(probe);

        ASSERT_EQ(sent.size(), gesture.size());
        double slowest = 0;
        std::printf("      hook on %s, SendInput per event (ms):", ownThread ? "its own thread" : "the busy thread");
        for (const Injection& s : sent) {
            std::printf(" %.1f", s.ms);
            slowest = std::max(slowest, s.ms);
        }
        std::printf("\n");
        if (!ownThread) {
            // Then the platform gives up on the hook and hands the events on, to the probe too.
            EXPECT_GT(slowest, 500.0) << "the control should have waited for the busy thread";
            continue;
        }
        ASSERT_EQ(queued.size(), std::size(want)) << "the probe must see none of it, the wheel all";
        for (size_t i = 0; i < queued.size(); ++i) {
            const Injection& cause = sent[want[i].input];
            EXPECT_EQ(queued[i].hwnd, wheelWindow) << i;
            EXPECT_EQ(queued[i].message, want[i].message) << i;
            EXPECT_EQ(queued[i].wParam, want[i].wParam) << i;
            EXPECT_EQ(queued[i].lParam, want[i].lParam) << i;
            EXPECT_LT(cause.ms, 100.0) << "event " << want[i].input << " waited for the busy thread";
            EXPECT_LT(queued[i].time - cause.tick, 100u) << "message " << i << " was posted late";
        }
        // Handled once the thread is free: each click opens the wheel at the press point and its
        // release closes it again, rather than leaving it up with the button long released.
        for (const MSG& m : queued) SendMessageW(m.hwnd, m.message, m.wParam, m.lParam);
        EXPECT_FALSE(IsWindowVisible(wheelWindow));
        EXPECT_EQ(wheelState.pressPoint.x, kCursor.x);
        EXPECT_EQ(wheelState.pressPoint.y, kCursor.y);
    }
}

TEST_F(HookThreadTest, StartsAndStopsCleanlyAndLeavesNoHookBehind) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    // Once first: the platform may start helper threads of its own on the first hook.
    ASSERT_TRUE(StartMouseHookThread(instance));
    StopMouseHookThread();
    const size_t threads = CountThreads(), handles = CountHandles();
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(StartMouseHookThread(instance));
        ASSERT_TRUE(StartMouseHookThread(instance)) << "a second start keeps the running thread";
        EXPECT_EQ(CountThreads(), threads + 1);
        StopMouseHookThread();
        StopMouseHookThread();
    }
    EXPECT_EQ(CountThreads(), threads);
    EXPECT_LE(CountHandles(), handles);

    // The same click with the hook running and after it is gone: taken, then delivered.
    for (bool running : {true, false}) {
        if (running) {
            ASSERT_TRUE(StartMouseHookThread(instance));
        }
        Send(kX1Down);
        Send(kX1Up);
        StopMouseHookThread();
        std::vector<MSG> q = TakeQueue(probe);
        EXPECT_EQ(Count(q, probe, WM_XBUTTONDOWN, XBUTTON1) + Count(q, probe, WM_XBUTTONUP, XBUTTON1), running ? 0u : 2u)
            << (running ? "hook running" : "hook removed");
        EXPECT_EQ(q.size(), 2u) << "the wheel's opening and release, or the probe's press and release";
    }
}

TEST_F(HookThreadTest, ScrollingIsTakenOnlyWhileTheWheelShows) {
    ASSERT_TRUE(StartMouseHookThread(GetModuleHandleW(nullptr)));
    for (bool visible : {false, true, false}) {
        if (visible) SetWindowPos(wheelWindow, HWND_TOPMOST, 0, 0, kWheelSize, kWheelSize, SWP_SHOWWINDOW | SWP_NOACTIVATE);
        else ShowWindow(wheelWindow, SW_HIDE);
        Send(kScrollDown);
        std::vector<MSG> q = TakeQueue(probe);
        EXPECT_EQ(Count(q, wheelWindow, WM_APP_WHEELSCROLL, HIWORD(kScrollDownData)), visible ? 1u : 0u) << visible;
        EXPECT_EQ(Count(q, probe, WM_MOUSEWHEEL, HIWORD(kScrollDownData)), visible ? 0u : 1u) << visible;
        EXPECT_EQ(q.size(), 1u) << visible;
    }
}
