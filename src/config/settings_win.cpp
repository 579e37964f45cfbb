#include "config/settings_win.h"

#include <commctrl.h>

#include <string>

#include "base/dpi_win.h"
#include "base/log_line.h"
#include "base/notify_win.h"
#include "base/win_handles.h"
#include "config/config_file.h"
#include "config/settings_rules.h"

const wchar_t kSettingsWindowClass[] = L"TarvixSettingsWndClass";

namespace {

constexpr int kBaseDpi = 96;
constexpr int kWindowWidth = 575;
constexpr int kWindowHeight = 440;

// Positions and sizes at 96 DPI, in client coordinates; scaled by the window's DPI.
struct ControlSpec {
    const wchar_t* className;
    const wchar_t* text;
    DWORD exStyle;
    DWORD style;
    int x, y, width, height;
    int id;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
const ControlSpec kControls[] = {
    {WC_TABCONTROLW, L"", 0, kChild | WS_CLIPSIBLINGS, 20, 15, 520, 30, IDC_SETTINGS_TABS},
    {L"STATIC", L"Daftar Sektor Wheel (Maksimal 5 Sektor per Layer):", 0, kChild, 20, 55, 520, 18, 0},
    {L"LISTBOX", L"", WS_EX_CLIENTEDGE, kChild | WS_VSCROLL | LBS_NOTIFY, 20, 75, 520, 140, IDC_SETTINGS_LIST},
    {L"STATIC", L"Nama / Label:", 0, kChild, 20, 230, 100, 18, 0},
    {L"EDIT", L"", WS_EX_CLIENTEDGE, kChild | ES_AUTOHSCROLL, 120, 227, 420, 24, IDC_SETTINGS_LABEL},
    {L"STATIC", L"URL / Target:", 0, kChild, 20, 265, 100, 18, 0},
    {L"EDIT", L"", WS_EX_CLIENTEDGE, kChild | ES_AUTOHSCROLL, 120, 262, 420, 24, IDC_SETTINGS_TARGET},
    {L"BUTTON", L"+ Tambah / Update", 0, kChild | BS_PUSHBUTTON, 120, 300, 140, 30, IDC_SETTINGS_ADD},
    {L"BUTTON", L"- Hapus Sektor", 0, kChild | BS_PUSHBUTTON, 270, 300, 120, 30, IDC_SETTINGS_DELETE},
    {L"BUTTON", L"Reset Default", 0, kChild | BS_PUSHBUTTON, 400, 300, 140, 30, IDC_SETTINGS_RESET},
    // Doubled, because a single ampersand in a button's text marks the access key and is not shown.
    {L"BUTTON", L"Simpan && Terapkan", 0, kChild | BS_DEFPUSHBUTTON, 380, 350, 160, 34, IDC_SETTINGS_SAVE},
};
constexpr size_t kControlCount = sizeof(kControls) / sizeof(kControls[0]);

// The window and the controls its handlers address; all cleared when it is destroyed.
HWND settingsWindow = nullptr;
HWND settingsTab = nullptr;
HWND settingsList = nullptr;
HWND labelField = nullptr;
HWND targetField = nullptr;
HWND settingsControls[kControlCount] = {};
// 0 is the media tab, anything else the web tab; the web tab first, then whatever was left open.
int selectedLayer = 1;
// The system's message font at the window's DPI, replaced when the DPI changes.
ScopedGdiObject<HFONT> settingsFont;
UINT settingsDpi = kBaseDpi;

int Scale(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), kBaseDpi); }

template <class Fn>
Fn User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

// The DPI of the primary monitor, where the window opens.
UINT PrimaryMonitorDpi() {
    return static_cast<UINT>(MonitorDpi(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY)));
}

UINT WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    UINT dpi = getDpiForWindow ? getDpiForWindow(hwnd) : 0;
    return dpi > 0 ? dpi : PrimaryMonitorDpi();
}

// The font of message boxes and dialogs, at the given DPI; never the bold system font.
HFONT CreateMessageFont(UINT dpi) {
    using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto spiForDpi = User32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!spiForDpi || !spiForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
            LogMessage(L"SettingsWindow: SystemParametersInfoW failed, err=%lu", GetLastError());
            return nullptr;
        }
        // These metrics are for the system DPI.
        metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                                SystemDpi());
    }
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    if (!font) LogMessage(L"SettingsWindow: CreateFontIndirectW failed, err=%lu", GetLastError());
    return font;
}

// Places every control for the DPI and gives it the message font of that DPI.
void ApplyDpi(UINT dpi) {
    settingsDpi = dpi;
    ScopedGdiObject<HFONT> font(CreateMessageFont(dpi));
    for (size_t i = 0; i < kControlCount; ++i) {
        const ControlSpec& c = kControls[i];
        if (!settingsControls[i]) continue;
        SetWindowPos(settingsControls[i], nullptr, Scale(c.x, dpi), Scale(c.y, dpi), Scale(c.width, dpi),
                     Scale(c.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        if (font) SendMessageW(settingsControls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    // The controls hold the new font now; only then may the old one go.
    if (font) settingsFont = std::move(font);
}

int CurrentLayer() { return LayerForTab(selectedLayer); }

std::wstring FieldText(HWND field, size_t capacity) {
    std::wstring text(capacity, L'\0');
    int got = GetWindowTextW(field, text.data(), static_cast<int>(capacity));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void ClearFields() {
    SetWindowTextW(labelField, L"");
    SetWindowTextW(targetField, L"");
}

int ListSelection() { return static_cast<int>(SendMessageW(settingsList, LB_GETCURSEL, 0, 0)); }

// Shows the box an edit asks for; true when the user answered yes.
bool ShowNotice(HWND owner, SettingsNotice notice) {
    NoticeText n = NoticeFor(notice);
    UINT type = n.kind == NoticeKind::Question ? (MB_ICONQUESTION | MB_YESNO) : (MB_ICONWARNING | MB_OK);
    return MessageBoxW(owner, n.text, n.caption, type) == IDYES;
}

void Apply(HWND hwnd, const SettingsEdit& edit) {
    if (edit.notice != SettingsNotice::None) ShowNotice(hwnd, edit.notice);
    if (edit.refreshList) RefreshSectorList();
    if (edit.clearFields) ClearFields();
}

void OnCreate(HWND hwnd) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TAB_CLASSES};
    if (!InitCommonControlsEx(&icc)) LogMessage(L"SettingsWindow: InitCommonControlsEx failed, err=%lu", GetLastError());
    HINSTANCE instance = GetModuleHandleW(nullptr);
    UINT dpi = WindowDpi(hwnd);
    for (size_t i = 0; i < kControlCount; ++i) {
        const ControlSpec& c = kControls[i];
        HWND control = CreateWindowExW(c.exStyle, c.className, c.text, c.style, Scale(c.x, dpi), Scale(c.y, dpi),
                                       Scale(c.width, dpi), Scale(c.height, dpi), hwnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        if (!control) LogMessage(L"SettingsWindow: CreateWindowExW(%ls) failed, err=%lu", c.className, GetLastError());
        settingsControls[i] = control;
        switch (c.id) {
        case IDC_SETTINGS_TABS: {
            settingsTab = control;
            const wchar_t* names[] = {L"Media Tools (Page 0)", L"Web Launcher (Page 1)"};
            for (int t = 0; t < 2; ++t) {
                TCITEMW item = {};
                item.mask = TCIF_TEXT;
                item.pszText = const_cast<wchar_t*>(names[t]);
                SendMessageW(control, TCM_INSERTITEMW, t, reinterpret_cast<LPARAM>(&item));
            }
            SendMessageW(control, TCM_SETCURSEL, CurrentLayer() == kLayerMedia ? 0 : 1, 0);
            break;
        }
        case IDC_SETTINGS_LIST: settingsList = control; break;
        case IDC_SETTINGS_LABEL: labelField = control; break;
        case IDC_SETTINGS_TARGET: targetField = control; break;
        }
    }
    ApplyDpi(dpi);
    RefreshSectorList();
}

void OnCommand(HWND hwnd, int id, int code) {
    if (id == IDC_SETTINGS_LIST) {
        if (code != LBN_SELCHANGE) return;
        const WheelSector* sector = SectorAt(wheelConfig, CurrentLayer(), static_cast<size_t>(ListSelection()));
        if (ListSelection() < 0 || !sector) return;
        SetWindowTextW(labelField, sector->label.c_str());
        SetWindowTextW(targetField, sector->target.c_str());
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
    case IDC_SETTINGS_ADD:
        Apply(hwnd, AddOrUpdateSector(wheelConfig, CurrentLayer(), ListSelection(),
                                      FieldText(labelField, kSettingsLabelChars + 1),
                                      FieldText(targetField, kSettingsTargetChars + 1)));
        break;
    case IDC_SETTINGS_DELETE: Apply(hwnd, DeleteSelectedSector(wheelConfig, CurrentLayer(), ListSelection())); break;
    case IDC_SETTINGS_RESET:
        if (ShowNotice(hwnd, SettingsNotice::ConfirmReset)) Apply(hwnd, ResetBothLayers(wheelConfig));
        break;
    case IDC_SETTINGS_SAVE:
        // A save that did not reach the disk must not be announced: the window stays, with the edits.
        if (!SaveWheelConfig()) {
            ShowNotice(hwnd, SettingsNotice::SaveFailed);
            break;
        }
        ShowTrayBalloon(L"Pengaturan Tersimpan", L"Susunan wheel berhasil diperbarui!");
        DestroyWindow(hwnd);
        break;
    }
}

}  // namespace

HWND CurrentSettingsWindow() { return settingsWindow; }

void RefreshSectorList() {
    if (!settingsList) return;
    SendMessageW(settingsList, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& line : SectorListLines(wheelConfig, CurrentLayer()))
        SendMessageW(settingsList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

LRESULT CALLBACK SettingsWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        settingsWindow = hwnd;
        OnCreate(hwnd);
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == IDC_SETTINGS_TABS && header->code == TCN_SELCHANGE) {
            selectedLayer = static_cast<int>(SendMessageW(settingsTab, TCM_GETCURSEL, 0, 0));
            RefreshSectorList();
            ClearFields();
        }
        break;
    }
    case WM_COMMAND: OnCommand(hwnd, LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_DPICHANGED: {
        // Moved to a monitor of another scale: take the size the system suggests and lay out again.
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi(LOWORD(wParam));
        return 0;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_DESTROY:
        settingsWindow = nullptr;
        settingsTab = settingsList = labelField = targetField = nullptr;
        for (HWND& control : settingsControls) control = nullptr;
        // The window was the biggest user of memory since the last trim.
        SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
        return 0;
    case WM_NCDESTROY:
        // The controls are gone now, so nothing draws with the font any more.
        settingsFont.reset();
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void OpenSettingsWindow() {
    if (settingsWindow && IsWindow(settingsWindow)) {
        SetForegroundWindow(settingsWindow);
        return;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = SettingsWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kSettingsWindowClass;
    RegisterClassExW(&wc);  // fails harmlessly when the class exists from an earlier opening

    // The program is per-monitor DPI aware, so the system does not scale this window for it.
    UINT dpi = PrimaryMonitorDpi();
    int width = Scale(kWindowWidth, dpi), height = Scale(kWindowHeight, dpi);
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND hwnd = CreateWindowExW(WS_EX_DLGMODALFRAME, kSettingsWindowClass, L"Tarvix Tool Pro - Pengaturan Wheel",
                                WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, x, y, width, height, nullptr, nullptr,
                                instance, nullptr);
    if (!hwnd) {
        LogMessage(L"OpenSettingsWindow: CreateWindowExW failed, err=%lu", GetLastError());
        return;
    }
    settingsWindow = hwnd;
    LogMessage(L"OpenSettingsWindow: opened at %d,%d size %dx%d, dpi=%u", x, y, width, height, settingsDpi);
    SetForegroundWindow(hwnd);
}
