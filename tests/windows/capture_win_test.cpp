// Screen tools: cropping a picture to PNG, replacing a chosen file safely, reporting a failed
// save, the overlay's life, and a real capture of a window of our own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/gdiplus_flat.h"
#include "base/notify_win.h"
#include "base/win_handles.h"
#include "capture/capture_win.h"
#include "win_test_util.h"
#include "fake_tray_win.h"

namespace {

// No symmetry: a swapped axis, a red/blue swap or an off-by-one shift all show.
COLORREF Pattern(int x, int y) { return RGB((x * 5) & 255, (y * 7) & 255, (x * 3 + y * 11) & 255); }

ScopedGdiObject<HBITMAP> PatternPicture(int w, int h) {
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
    void* bits = nullptr;
    ScopedGdiObject<HBITMAP> bmp(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bmp) return bmp;
    auto* px = static_cast<uint32_t*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = Pattern(x, y);
            px[y * w + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    GdiFlush();
    return bmp;
}

struct Decoded {
    UINT width = 0, height = 0;
    std::vector<uint32_t> argb;
    uint32_t at(UINT x, UINT y) const { return argb[y * width + x]; }
};

// Read back through the library's own decoder.
bool DecodePng(const std::wstring& path, Decoded& out) {
    if (ReadFileBytes(path).rfind("\x89PNG\r\n\x1a\n", 0) != 0) return false;
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Ok) return false;
    GdipImageHolder image(bitmap);
    GdipGetImageWidth(image.get(), &out.width);
    GdipGetImageHeight(image.get(), &out.height);
    out.argb.resize(size_t{out.width} * out.height);
    for (UINT y = 0; y < out.height; ++y)
        for (UINT x = 0; x < out.width; ++x) {
            Gdiplus::ARGB c = 0;
            GdipBitmapGetPixel(bitmap, static_cast<INT>(x), static_cast<INT>(y), &c);
            out.argb[y * out.width + x] = c;
        }
    return true;
}

uint32_t Opaque(COLORREF c) { return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

void Pump(DWORD ms = 0) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (ms) Sleep(10);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

// A top-most window of our own, painted with the pattern, as the "screen" to be captured.
class PatternWindow {
public:
    PatternWindow(int x, int y, int w, int h) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CapturePatternWnd";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, x, y, w, h,
                                nullptr, nullptr, wc.hInstance, nullptr);
        UpdateWindow(hwnd_);
        Pump(300);
    }
    ~PatternWindow() { DestroyWindow(hwnd_); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wParam, lParam);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        ScopedGdiObject<HBITMAP> picture = PatternPicture(r.right, r.bottom);
        ScopedMemoryDc mem(CreateCompatibleDC(dc));
        ScopedSelectObject sel(mem.get(), picture.get());
        BitBlt(dc, 0, 0, r.right, r.bottom, mem.get(), 0, 0, SRCCOPY);
        EndPaint(hwnd, &ps);
        return 0;
    }
    HWND hwnd_ = nullptr;
};

class CaptureTest : public ::testing::Test {
protected:
    std::wstring Path(const std::wstring& name) const { return folder_.path() + L"\\" + name; }
    TempDirRedirect redirect_;
    TempFolder folder_;
};

}  // namespace

TEST_F(CaptureTest, SavedAreaHasItsSizeAndExactlyThePicturesPixels) {
    ScopedGdiObject<HBITMAP> picture = PatternPicture(64, 48);
    ASSERT_TRUE(picture);
    const SelectionRect areas[] = {{0, 0, 64, 48}, {10, 7, 20, 13}, {58, 42, 6, 6}};
    int n = 0;
    for (const SelectionRect& a : areas) {
        // Saved as typed, without an extension: the content is PNG all the same.
        const std::wstring path = Path(L"shot" + std::to_wstring(++n));
        ASSERT_TRUE(SaveScreenshotPng(L"StartAreaCrop", picture.get(), a, path.c_str()));
        Decoded png;
        ASSERT_TRUE(DecodePng(path, png)) << n;
        ASSERT_EQ(png.width, static_cast<UINT>(a.width));
        ASSERT_EQ(png.height, static_cast<UINT>(a.height));
        int bad = 0;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) bad += png.at(x, y) != Opaque(Pattern(a.left + x, a.top + y));
        EXPECT_EQ(bad, 0) << "area " << n;
    }
}

TEST_F(CaptureTest, ChosenFileIsReplacedOnlyByACompletePictureAndFailuresAreReported) {
    FakeTray tray;
    ScopedGdiObject<HBITMAP> picture = PatternPicture(64, 48);
    const std::wstring chosen = Path(L"old.png");
    ASSERT_TRUE(WriteFileBytes(chosen, "old picture"));

    // Nothing to encode: the file the user chose to replace stays as it was.
    EXPECT_FALSE(SaveScreenshotPng(L"StartAreaCrop", picture.get(), {60, 40, 10, 10}, chosen.c_str()));
    EXPECT_EQ(ReadFileBytes(chosen), "old picture");
    EXPECT_NE(LogText().find(L"StartAreaCrop: save FAILED for " + chosen), std::wstring::npos) << NarrowPath(LogText());
    EXPECT_TRUE(FakeTray::Saw(L"Screenshot Gagal Disimpan"));
    EXPECT_TRUE(FakeTray::Saw(L"Screenshot tidak bisa disimpan ke " + chosen));

    // A folder that does not exist: the system's code is in the log.
    const std::wstring missing = Path(L"no-such-folder\\shot.png");
    EXPECT_FALSE(SaveScreenshotPng(L"CaptureFullScreen", picture.get(), {0, 0, 64, 48}, missing.c_str()));
    EXPECT_NE(LogText().find(L"CaptureFullScreen: save FAILED for " + missing + L", err="), std::wstring::npos)
        << NarrowPath(LogText());
    EXPECT_TRUE(FakeTray::Saw(L"Screenshot tidak bisa disimpan ke " + missing));

    // Confirmed in the dialog: replaced by the new picture, with no temporary file left behind.
    ASSERT_TRUE(SaveScreenshotPng(L"StartAreaCrop", picture.get(), {1, 2, 30, 20}, chosen.c_str()));
    Decoded png;
    ASSERT_TRUE(DecodePng(chosen, png));
    EXPECT_EQ(png.width, 30u);
    EXPECT_EQ(png.at(0, 0), Opaque(Pattern(1, 2)));
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(Path(L"*.tmp").c_str(), &fd);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "left: " << NarrowPath(fd.cFileName);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(CaptureTest, ScreenPictureHoldsWhatIsOnScreenAndTheOverlayShowsItDimmed) {
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    PatternWindow window(100, 80, 120, 90);
    ScopedGdiObject<HBITMAP> screen = CaptureScreenPicture(sw, sh);
    ASSERT_TRUE(screen);
    const std::wstring path = Path(L"screen.png");
    ASSERT_TRUE(SaveScreenshotPng(L"CaptureFullScreen", screen.get(), {100, 80, 120, 90}, path.c_str()));
    Decoded png;
    ASSERT_TRUE(DecodePng(path, png));
    int bad = 0;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x) bad += png.at(x, y) != Opaque(Pattern(x, y));
    EXPECT_EQ(bad, 0);

    // The overlay over it, with a drag in progress: dim outside, the picture itself inside.
    StartAreaCrop();
    HWND overlay = AreaCropWindow();
    ASSERT_NE(overlay, nullptr);
    // The real pointer goes where the drag ends: with the mouse captured, its moves reach the overlay too.
    SetCursorPos(200, 150);
    SendMessageW(overlay, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(130, 100));
    SendMessageW(overlay, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 150));
    UpdateWindow(overlay);
    Pump(300);
    ScopedGdiObject<HBITMAP> shown = CaptureScreenPicture(sw, sh);
    SendMessageW(overlay, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(SaveScreenshotPng(L"StartAreaCrop", shown.get(), {100, 80, 120, 90}, path.c_str()));
    ASSERT_TRUE(DecodePng(path, png));
    auto channelsNear = [](uint32_t a, uint32_t b) {
        for (int s = 0; s < 24; s += 8)
            if (std::abs(static_cast<int>((a >> s) & 255) - static_cast<int>((b >> s) & 255)) > 3) return false;
        return true;
    };
    const struct {
        int x, y;
        bool dimmed;
    } probes[] = {{10, 10}, {110, 80}, {5, 60}, {45, 35}, {90, 60}, {60, 40}};
    for (auto p : probes) {
        const bool inside = p.x > 31 && p.x < 99 && p.y > 21 && p.y < 69;  // clear of the outline
        const COLORREF c = Pattern(p.x, p.y);
        const uint32_t want = inside ? Opaque(c)
                                     : Opaque(RGB(GetRValue(c) * 135 / 255, GetGValue(c) * 135 / 255, GetBValue(c) * 135 / 255));
        EXPECT_TRUE(channelsNear(png.at(p.x, p.y), want))
            << p.x << "," << p.y << " got " << std::hex << png.at(p.x, p.y) << " want " << want;
    }
}

TEST_F(CaptureTest, OverlayIsNewEachTimeClosesOnCancelAndSmallDragsAndLeaksNothing) {
    const size_t before = CountGdiObjects();
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    // Esc, a right press, a 6 x 5 drag and a plain click all close it without a dialog.
    const struct {
        const char* name;
        UINT msg;
        WPARAM wParam;
        int x1, y1;
    } closers[] = {
        {"Esc", WM_KEYDOWN, VK_ESCAPE, 0, 0},
        {"right press", WM_RBUTTONDOWN, MK_RBUTTON, 0, 0},
        {"6 x 5 drag", WM_LBUTTONUP, 0, 56, 45},
        {"plain click", WM_LBUTTONUP, 0, 50, 40},
    };
    for (const auto& c : closers) {
        StartAreaCrop();
        HWND overlay = AreaCropWindow();
        ASSERT_NE(overlay, nullptr) << c.name;
        wchar_t cls[64] = {};
        GetClassNameW(overlay, cls, 64);
        EXPECT_STREQ(cls, L"TarvixSnipWnd");
        RECT r;
        GetWindowRect(overlay, &r);
        EXPECT_TRUE(r.left == 0 && r.top == 0 && r.right == sw && r.bottom == sh) << c.name;
        EXPECT_TRUE(GetWindowLongW(overlay, GWL_EXSTYLE) & WS_EX_TOPMOST);
        SendMessageW(overlay, WM_KEYDOWN, 'A', 0);  // other keys do nothing
        SendMessageW(overlay, WM_LBUTTONUP, 0, MAKELPARAM(300, 300));  // a release without a press neither
        ASSERT_TRUE(IsWindow(overlay)) << c.name;
        if (c.msg == WM_LBUTTONUP) {
            SendMessageW(overlay, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 40));
            SendMessageW(overlay, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(c.x1, c.y1));
            UpdateWindow(overlay);
        }
        SendMessageW(overlay, c.msg, c.wParam, MAKELPARAM(c.x1, c.y1));
        EXPECT_FALSE(IsWindow(overlay)) << c.name;
        EXPECT_EQ(AreaCropWindow(), nullptr) << c.name;
        Pump();
    }
    EXPECT_EQ(CountGdiObjects(), before);
}
