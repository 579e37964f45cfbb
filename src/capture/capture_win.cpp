#include "capture/capture_win.h"

#include <commdlg.h>
#include <dwmapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <string>
#include <utility>

#include "base/gdiplus_flat.h"
#include "base/log_line.h"
#include "base/notify_win.h"
#include "base/text.h"
#include "imaging/codec_win.h"

namespace {

constexpr wchar_t kSnipClass[] = L"TarvixSnipWnd";
constexpr Gdiplus::ARGB kDimFill = 0x78000000;
constexpr Gdiplus::ARGB kHoleFill = 0x00000000;
constexpr Gdiplus::ARGB kOutline = 0xFF00B4FF;
constexpr float kOutlineWidth = 2.0f;

// The open overlay and the picture of the screen it was opened on. The picture is what the user
// sees and frames, and what is saved: nothing drawn later can get into the file.
struct SnipState {
    HWND overlay = nullptr;
    SnipDrag drag;
    ScopedGdiObject<HBITMAP> picture;
    int width = 0;
    int height = 0;
};
SnipState snip;

class ScopedPaint {
public:
    explicit ScopedPaint(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {}
    ~ScopedPaint() { EndPaint(hwnd_, &ps_); }
    ScopedPaint(const ScopedPaint&) = delete;
    ScopedPaint& operator=(const ScopedPaint&) = delete;
    HDC get() const { return dc_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_ = {};
    HDC dc_;
};

void ReportSaveFailure(const wchar_t* path) {
    wchar_t text[256];
    FormatText(text, ARRAYSIZE(text), L"Screenshot tidak bisa disimpan ke %ls. Detailnya ada di TarvixTool.log (folder Temp).",
               path);
    ShowTrayBalloon(L"Screenshot Gagal Disimpan", text);
}

// Writes next to the target and then puts the new file in its place, so a write that fails
// half-way (a full disk) leaves the file the user chose to replace as it was.
DWORD WriteReplacing(const wchar_t* path, const std::vector<uint8_t>& bytes) {
    std::wstring folder = path;
    const size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash + 1);
    wchar_t temp[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"tvx", 0, temp)) return GetLastError();
    DeleteFileW(temp);  // WriteNewFile makes it afresh and removes it again on failure
    if (DWORD err = WriteNewFile(temp, bytes.data(), bytes.size()); err != ERROR_SUCCESS) return err;
    if (!MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING)) {
        const DWORD err = GetLastError();
        DeleteFileW(temp);
        return err == ERROR_SUCCESS ? ERROR_WRITE_FAULT : err;
    }
    return ERROR_SUCCESS;
}

// The save dialog: one PNG filter, no default extension (a name typed without ".png" is kept
// as typed), and the dialog's own prompt before an existing file is replaced.
bool AskSavePath(const wchar_t* action, const wchar_t* suggested, wchar_t (&path)[MAX_PATH]) {
    FormatText(path, MAX_PATH, L"%ls", suggested);
    OPENFILENAMEW ofn = {sizeof(ofn)};
    ofn.lpstrFilter = L"PNG Image (*.png)\0*.png\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_OVERWRITEPROMPT;
    if (GetSaveFileNameW(&ofn)) return true;
    if (const DWORD err = CommDlgExtendedError(); err != 0) LogMessage(L"%ls: save dialog FAILED, err=%lu", action, err);
    return false;
}

void FillRect(GpGraphics* g, Gdiplus::ARGB colour, int x, int y, int w, int h) {
    GpSolidFill* fill = nullptr;
    if (GdipCreateSolidFill(colour, &fill) != Ok) return;
    GdipBrushHolder brush(fill);
    GdipFillRectangleI(g, brush.get(), x, y, w, h);
}

void PaintOverlay(HWND hwnd) {
    ScopedPaint paint(hwnd);
    if (!paint.get()) return;
    const int w = snip.width, h = snip.height;
    ScopedMemoryDc frameDc(CreateCompatibleDC(paint.get()));
    ScopedGdiObject<HBITMAP> frame(CreateCompatibleBitmap(paint.get(), w, h));
    if (!frameDc || !frame) return;
    ScopedSelectObject frameSel(frameDc.get(), frame.get());
    ScopedMemoryDc pictureDc(CreateCompatibleDC(paint.get()));
    ScopedSelectObject pictureSel(pictureDc.get(), snip.picture.get());
    if (pictureDc && snip.picture) BitBlt(frameDc.get(), 0, 0, w, h, pictureDc.get(), 0, 0, SRCCOPY);

    const SelectionRect sel = SelectionFromDrag(snip.drag.startX, snip.drag.startY, snip.drag.currentX, snip.drag.currentY);
    {
        GdipGraphicsHolder g;
        if (GdipCreateFromHDC(frameDc.get(), g.put()) == Ok) {
            FillRect(g.get(), kDimFill, 0, 0, w, h);
            if (snip.drag.dragging) {
                GdipSetCompositingMode(g.get(), Gdiplus::CompositingModeSourceCopy);
                FillRect(g.get(), kHoleFill, sel.left, sel.top, sel.width, sel.height);
                GdipSetCompositingMode(g.get(), Gdiplus::CompositingModeSourceOver);
            }
        }
    }  // flushed to the frame before GDI draws on it again
    if (snip.drag.dragging) {
        // The hole shows the picture at full brightness, then the outline goes over its edge.
        if (pictureDc && snip.picture)
            BitBlt(frameDc.get(), sel.left, sel.top, sel.width, sel.height, pictureDc.get(), sel.left, sel.top, SRCCOPY);
        GdipGraphicsHolder g;
        GdipPenHolder pen;
        if (GdipCreateFromHDC(frameDc.get(), g.put()) == Ok &&
            GdipCreatePen1(kOutline, kOutlineWidth, Gdiplus::UnitWorld, pen.put()) == Ok)
            GdipDrawRectangleI(g.get(), pen.get(), sel.left, sel.top, sel.width, sel.height);
    }
    BitBlt(paint.get(), 0, 0, w, h, frameDc.get(), 0, 0, SRCCOPY);
}

void CancelAreaCrop(HWND hwnd) {
    ReleaseCapture();
    snip.drag = {};
    DestroyWindow(hwnd);
}

void FinishAreaCrop(HWND hwnd) {
    const std::optional<SelectionRect> area = FinishDrag(snip.drag, snip.width, snip.height);
    ReleaseCapture();
    ShowWindow(hwnd, SW_HIDE);
    if (!area) {
        DestroyWindow(hwnd);
        return;
    }
    // Ours for the length of the dialog, whatever happens to the overlay meanwhile.
    ScopedGdiObject<HBITMAP> picture = std::move(snip.picture);
    wchar_t path[MAX_PATH];
    if (AskSavePath(L"StartAreaCrop", L"crop_screenshot.png", path))
        SaveScreenshotPng(L"StartAreaCrop", picture.get(), *area, path);
    DestroyWindow(hwnd);
}

LRESULT CALLBACK SnipWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    switch (msg) {
    case WM_PAINT:
        PaintOverlay(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // every frame covers the whole window
    case WM_LBUTTONDOWN:
        BeginDrag(snip.drag, x, y);
        SetCapture(hwnd);
        return 0;
    case WM_MOUSEMOVE:
        if (MoveDrag(snip.drag, x, y)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP:
        if (snip.drag.dragging) FinishAreaCrop(hwnd);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) CancelAreaCrop(hwnd);
        return 0;
    case WM_RBUTTONDOWN:
        CancelAreaCrop(hwnd);
        return 0;
    case WM_DESTROY:
        if (snip.overlay == hwnd) {
            snip.overlay = nullptr;
            snip.drag = {};
            snip.picture.reset();
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The wheel has just been hidden, but the screen does not show that at once: a picture taken
// straight away can still hold the wheel. With desktop composition the next composed frame is
// without it. Without composition the windows it covered repaint that area in their own time
// (other processes): ours repaint here, the others get a short grace.
constexpr DWORD kScreenSettleMs = 250;

void WaitForTheScreenToCatchUp() {
    BOOL composed = FALSE;
    if (SUCCEEDED(DwmIsCompositionEnabled(&composed)) && composed && SUCCEEDED(DwmFlush())) return;
    const ULONGLONG end = GetTickCount64() + kScreenSettleMs;
    for (;;) {
        MSG msg;
        // Only paint messages: nothing else of the program runs in between.
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) DispatchMessageW(&msg);
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_PAINT);
    }
}

}  // namespace

HWND AreaCropWindow() { return snip.overlay; }

ScopedGdiObject<HBITMAP> CaptureScreenPicture(int width, int height) {
    if (width <= 0 || height <= 0) return {};
    ScopedGetDc screen(nullptr);
    if (!screen) return {};
    ScopedMemoryDc mem(CreateCompatibleDC(screen.get()));
    ScopedGdiObject<HBITMAP> picture(CreateCompatibleBitmap(screen.get(), width, height));
    if (!mem || !picture) return {};
    ScopedSelectObject sel(mem.get(), picture.get());
    if (!BitBlt(mem.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY)) return {};
    return picture;
}

bool EncodePngArea(const wchar_t* action, HBITMAP picture, const SelectionRect& area, std::vector<uint8_t>& png) {
    png.clear();
    BITMAP info = {};
    if (!picture || !GetObjectW(picture, sizeof(info), &info) ||
        ClipSelection(area, info.bmWidth, info.bmHeight) != area || area.width <= 0 || area.height <= 0) {
        LogMessage(L"%ls: area %d,%d %dx%d is not on the picture", action, area.left, area.top, area.width, area.height);
        return false;
    }
    ScopedMemoryDc source(CreateCompatibleDC(nullptr));
    ScopedMemoryDc target(CreateCompatibleDC(nullptr));
    if (!source || !target) {
        LogMessage(L"%ls: CreateCompatibleDC FAILED, err=%lu", action, GetLastError());
        return false;
    }
    ScopedSelectObject sourceSel(source.get(), picture);
    ScopedGdiObject<HBITMAP> crop(CreateCompatibleBitmap(source.get(), area.width, area.height));
    if (!crop) {
        LogMessage(L"%ls: CreateCompatibleBitmap FAILED, err=%lu", action, GetLastError());
        return false;
    }
    {
        ScopedSelectObject targetSel(target.get(), crop.get());
        if (!BitBlt(target.get(), 0, 0, area.width, area.height, source.get(), area.left, area.top, SRCCOPY)) {
            LogMessage(L"%ls: BitBlt FAILED, err=%lu", action, GetLastError());
            return false;
        }
    }  // deselected: GDI+ copies a bitmap that no DC holds

    GpBitmap* bitmap = nullptr;
    GpStatus status = GdipCreateBitmapFromHBITMAP(crop.get(), nullptr, &bitmap);
    GdipImageHolder image(bitmap);
    if (status != Ok || !image) {
        LogMessage(L"%ls: GdipCreateBitmapFromHBITMAP FAILED, status=%d", action, static_cast<int>(status));
        return false;
    }
    CLSID encoder = {};
    if (FindEncoderClsid(L"image/png", &encoder) < 0) {
        LogMessage(L"%ls: no PNG encoder", action);
        return false;
    }
    const EncodeResult encoded = EncodeToMemory(image.get(), encoder, nullptr, png);
    if (encoded.failedAt == EncodeStep::Save) {
        LogMessage(L"%ls: PNG encode FAILED, status=%d", action, static_cast<int>(encoded.status));
        return false;
    }
    if (!encoded.ok()) {
        LogMessage(L"%ls: PNG encode FAILED, hr=0x%08X", action, static_cast<unsigned>(encoded.hr));
        return false;
    }
    return true;
}

bool SaveScreenshotPng(const wchar_t* action, HBITMAP picture, const SelectionRect& area, const wchar_t* path) {
    std::vector<uint8_t> png;
    // Encoded in memory first: a failed encode never touches the chosen file.
    if (!EncodePngArea(action, picture, area, png)) {
        LogMessage(L"%ls: save FAILED for %ls", action, path);
        ReportSaveFailure(path);
        return false;
    }
    if (const DWORD err = WriteReplacing(path, png); err != ERROR_SUCCESS) {
        LogMessage(L"%ls: save FAILED for %ls, err=%lu", action, path, err);
        ReportSaveFailure(path);
        return false;
    }
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, path, nullptr);
    std::wstring folder = path;
    if (const size_t slash = folder.find_last_of(L"\\/"); slash != std::wstring::npos) {
        folder.resize(slash);
        SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, folder.c_str(), nullptr);
    }
    return true;
}

void StartAreaCrop() {
    // One overlay at a time: a second start while the first one's dialog is up is ignored.
    if (snip.overlay) return;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = SnipWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_CROSS);
    wc.lpszClassName = kSnipClass;
    RegisterClassExW(&wc);  // fails harmlessly from the second opening on: the class exists

    // The program is per-monitor DPI aware, so these are physical pixels.
    snip.width = GetSystemMetrics(SM_CXSCREEN);
    snip.height = GetSystemMetrics(SM_CYSCREEN);
    snip.drag = {};
    // The wheel is hidden by now; once the screen has caught up, the picture shows it as the
    // user left it.
    WaitForTheScreenToCatchUp();
    snip.picture = CaptureScreenPicture(snip.width, snip.height);
    if (!snip.picture) {
        LogMessage(L"StartAreaCrop: screen capture FAILED, err=%lu", GetLastError());
        return;
    }
    snip.overlay = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kSnipClass, L"", WS_POPUP, 0, 0, snip.width,
                                   snip.height, nullptr, nullptr, instance, nullptr);
    if (!snip.overlay) {
        LogMessage(L"StartAreaCrop: CreateWindowExW FAILED, err=%lu", GetLastError());
        snip.picture.reset();
        return;
    }
    ShowWindow(snip.overlay, SW_SHOW);
    SetForegroundWindow(snip.overlay);  // Esc must reach it
    UpdateWindow(snip.overlay);
}

void CaptureFullScreen() {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    // Taken before the dialog opens, so the dialog is not in the picture, and once the screen
    // has caught up with the hidden wheel.
    WaitForTheScreenToCatchUp();
    ScopedGdiObject<HBITMAP> picture = CaptureScreenPicture(width, height);
    if (!picture) {
        LogMessage(L"CaptureFullScreen: screen capture FAILED, err=%lu", GetLastError());
        return;
    }
    wchar_t path[MAX_PATH];
    if (!AskSavePath(L"CaptureFullScreen", L"screenshot.png", path)) return;
    SaveScreenshotPng(L"CaptureFullScreen", picture.get(), SelectionRect{0, 0, width, height}, path);
}
