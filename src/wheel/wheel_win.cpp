#include "wheel/wheel_win.h"

#include <windowsx.h>
#include <shellapi.h>

#include <utility>

#include "base/log_line.h"
#include "config/wheel_config.h"
#include "targets/targets_win.h"
#include "wheel/geometry.h"
#include "wheel/wheel_logic.h"

HWND wheelWindow = nullptr;
WheelState wheelState;

namespace {

const wchar_t kWheelClass[] = L"TarvixWheelClass";

void OpenThroughShell(const std::wstring& target) {
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenWheel(HWND hwnd, ScreenPoint pressPoint, HWND foreground) {
    LogMessage(L"=== WM_APP_OPENWHEEL received ===");
    LogMessage(L"Step 1: DetectSelectedFiles with saved foreground=%p", static_cast<void*>(foreground));
    KeepDetectedSelection(DetectSelectedFiles(foreground));
    LogMessage(L"Step 2: Reset UI state, SetWindowPos, RenderWheel, SetForegroundWindow");
    ResetForOpening(wheelState);
    wheelState.pressPoint = pressPoint;
    // Drawn at the DPI of the monitor under the press; the hit test reads the same value.
    wheelState.dpi = MonitorDpiAt(pressPoint);
    const WheelMetrics m = MetricsForDpi(wheelState.dpi);
    SetWindowPos(hwnd, HWND_TOPMOST, wheelState.pressPoint.x - m.centre, wheelState.pressPoint.y - m.centre, m.size,
                 m.size, SWP_SHOWWINDOW);
    RenderWheel(hwnd);
    // With the focus on the wheel, a click elsewhere takes it away and the focus-loss path hides it.
    SetForegroundWindow(hwnd);
}

}  // namespace

MediaActionRunner mediaActionRunner = RunMediaAction;

bool RegisterWheelClass(HINSTANCE instance) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = WheelWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWheelClass;
    return RegisterClassExW(&wc) != 0;
}

HWND CreateWheelWindow(HINSTANCE instance) {
    wheelWindow = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kWheelClass, L"", WS_POPUP, 0, 0,
                                  kWheelSize, kWheelSize, nullptr, nullptr, instance, nullptr);
    return wheelWindow;
}

namespace {

// Everything of the hide step but taking the window off the screen.
void FinishHide() {
    ResetOnHide(wheelState, targets, selectedPdfs);
    // Idle, the resident program should hold as little memory as the system allows.
    SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

}  // namespace

void HideWheel(HWND hwnd) {
    if (IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_HIDE);
    FinishHide();
}

void HitTestWheel(HWND hwnd, int x, int y) {
    if (UpdateHovered(wheelState, wheelConfig, x, y)) RenderWheel(hwnd);
}

void DispatchWheelSelection(HWND hwnd) {
    DispatchDecision d = DecideDispatch(wheelState, wheelConfig);
    switch (d.kind) {
    case DispatchKind::Cancel: HideWheel(hwnd); break;
    case DispatchKind::EnterFormatSub:
    case DispatchKind::EnterSnipSub:
    case DispatchKind::BackToMain:
        if (ApplyDispatchState(wheelState, d)) RenderWheel(hwnd);
        break;
    case DispatchKind::OpenUrl:
        HideWheel(hwnd);
        OpenThroughShell(d.argument);
        if (d.logUrl) LogMessage(L"Web Launcher: Opening %ls", d.argument.c_str());
        break;
    case DispatchKind::RunAction: {
        // Hiding moves the focus away and the focus-loss path empties targets, so the list
        // detected at the opening is carried across the hide and handed back for the action.
        std::vector<std::wstring> detected = std::move(targets);
        std::vector<std::wstring> detectedPdfs = std::move(selectedPdfs);
        ShowWindow(hwnd, SW_HIDE);
        targets = std::move(detected);
        selectedPdfs = std::move(detectedPdfs);
        mediaActionRunner(d.action, d.argument);
        // Not HideWheel: a wheel opened again from inside the action's dialogs must stay up.
        FinishHide();
        break;
    }
    case DispatchKind::Nothing: break;
    }
}

LRESULT CALLBACK WheelWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_APP_OPENWHEEL:
        OpenWheel(hwnd, UnpackPressPoint(static_cast<uint32_t>(wParam)), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_MOUSEMOVE: HitTestWheel(hwnd, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_APP_WHEELSCROLL:
    case WM_MOUSEWHEEL:
        if (ApplyScroll(wheelState, static_cast<uint32_t>(wParam))) RenderWheel(hwnd);
        return 0;
    case WM_APP_WHEELRELEASE:
        if (IsWindowVisible(hwnd)) DispatchWheelSelection(hwnd);
        return 0;
    case WM_LBUTTONDOWN: DispatchWheelSelection(hwnd); return 0;
    case WM_RBUTTONDOWN:
    case WM_KILLFOCUS: HideWheel(hwnd); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}
