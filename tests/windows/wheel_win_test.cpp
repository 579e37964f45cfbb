// The wheel window under a real window manager: rendering, the cycle and leak checks.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <cstdlib>
#include <vector>

#include "base/gdiplus_flat.h"
#include "base/win_handles.h"
#include "config/wheel_config.h"
#include "targets/targets_win.h"
#include "wheel/wheel_picture.h"
#include "wheel/wheel_win.h"
#include "win_test_util.h"

namespace {

class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        CoInitialize(nullptr);
        GdiplusStartupInput input;
        GdiplusStartup(&token_, &input, nullptr);
    }
    void TearDown() override {
        GdiplusShutdown(token_);
        CoUninitialize();
    }

private:
    ULONG_PTR token_ = 0;
};

[[maybe_unused]] auto* const gdiplusEnvironment = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc));
    return pmc.PrivateUsage;
}

class WheelWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ApplyDefaultWheelConfig(wheelConfig);
        RegisterWheelClass(GetModuleHandleW(nullptr));
        if (!wheelWindow) CreateWheelWindow(GetModuleHandleW(nullptr));
        ASSERT_NE(wheelWindow, nullptr);
        wheelState = WheelState{};
        wheelState.pressPoint = {400, 300};
    }
    void TearDown() override { HideWheel(wheelWindow); }

    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
};

}  // namespace

TEST_F(WheelWindowTest, ThousandRendersLeakNoGdiObjectsAndNoMemory) {
    targets = {L"C:\\a.png", L"C:\\b.png"};
    // Warm up: fonts, codecs and caches that the library keeps for the process.
    for (int i = 0; i < 50; ++i) {
        wheelState.hovered = i % 7 - 2;
        RenderWheel(wheelWindow);
    }
    size_t gdiBefore = CountGdiObjects();
    size_t bytesBefore = PrivateBytes();
    ASSERT_GT(gdiBefore, 0u) << "the probe must see at least the stock objects";
    for (int i = 0; i < 1000; ++i) {
        wheelState.mode = static_cast<WheelMode>(i % 3);
        wheelState.layer = (i / 3) % 2;
        wheelState.hovered = i % 7 - 2;
        if (i % 2) targets.clear();
        else targets = {L"C:\\a.png"};
        RenderWheel(wheelWindow);
    }
    size_t gdiAfter = CountGdiObjects();
    size_t bytesAfter = PrivateBytes();
    EXPECT_LE(gdiAfter, gdiBefore) << "GDI objects grew over 1000 renders";
    // A leak of even one pen per render would be far above this allowance.
    EXPECT_LT(bytesAfter, bytesBefore + 2 * 1024 * 1024)
        << "private bytes grew from " << bytesBefore << " to " << bytesAfter;
}

TEST_F(WheelWindowTest, OpeningShowsTheWheelCentredOnThePressPointAndHideTrims) {
    wheelState.mode = WheelMode::SnipSub;
    wheelState.layer = 1;
    // The press point comes with the message; a screen left of and above the primary one has
    // negative coordinates.
    const struct {
        ScreenPoint press;
        LONG left, top;
    } openings[] = {{{-100, -50}, -270, -220}, {{500, 400}, 330, 230}};
    for (const auto& o : openings) {
        SendMessageW(wheelWindow, WM_APP_OPENWHEEL, PackPressPoint(o.press), 0);
        EXPECT_TRUE(IsWindowVisible(wheelWindow));
        EXPECT_EQ(wheelState.pressPoint.x, o.press.x);
        EXPECT_EQ(wheelState.pressPoint.y, o.press.y);
        RECT r;
        GetWindowRect(wheelWindow, &r);
        EXPECT_EQ(r.left, o.left);
        EXPECT_EQ(r.top, o.top);
        EXPECT_EQ(r.right - r.left, 340);
        EXPECT_EQ(r.bottom - r.top, 340);
    }
    EXPECT_EQ(wheelState.mode, WheelMode::Main);
    EXPECT_EQ(wheelState.layer, 0);
    EXPECT_EQ(wheelState.hovered, kHoveredNone);

    // Scroll flips the layer; a right click cancels and keeps mode and layer until the next opening.
    SendMessageW(wheelWindow, WM_APP_WHEELSCROLL, static_cast<WPARAM>(static_cast<DWORD>(-120) << 16), 0);
    EXPECT_EQ(wheelState.layer, 1);
    SendMessageW(wheelWindow, WM_MOUSEMOVE, 0, MAKELPARAM(250, 170));
    EXPECT_EQ(wheelState.hovered, 0);
    targets = {L"C:\\x.png"};
    SendMessageW(wheelWindow, WM_RBUTTONDOWN, 0, MAKELPARAM(250, 170));
    EXPECT_FALSE(IsWindowVisible(wheelWindow));
    EXPECT_TRUE(targets.empty());
    EXPECT_EQ(targets.capacity(), 0u) << "the list's storage is given back too";
    EXPECT_EQ(wheelState.layer, 1);
    EXPECT_EQ(wheelState.hovered, kHoveredNone);
    Pump();
}

TEST_F(WheelWindowTest, ReleaseOnFormatImageOpensTheSubWheelAndBackReturns) {
    SendMessageW(wheelWindow, WM_APP_OPENWHEEL, PackPressPoint({400, 300}), 0);
    SendMessageW(wheelWindow, WM_MOUSEMOVE, 0, MAKELPARAM(250, 180));  // sector 0, "Format Image"
    SendMessageW(wheelWindow, WM_APP_WHEELRELEASE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(wheelWindow));
    EXPECT_EQ(wheelState.mode, WheelMode::FormatSub);
    EXPECT_EQ(wheelState.hovered, kHoveredNone);
    SendMessageW(wheelWindow, WM_MOUSEMOVE, 0, MAKELPARAM(170, 60));  // 270 degrees: "Kembali"
    SendMessageW(wheelWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(170, 60));
    EXPECT_EQ(wheelState.mode, WheelMode::Main);
    EXPECT_TRUE(IsWindowVisible(wheelWindow));
    SendMessageW(wheelWindow, WM_MOUSEMOVE, 0, MAKELPARAM(170, 170));
    SendMessageW(wheelWindow, WM_APP_WHEELRELEASE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(wheelWindow)) << "release on the centre cancels";
    Pump();
}

namespace {

struct Argb {
    int a, r, g, b;
};

// Reads a premultiplied pixel back as straight colour.
Argb PixelAt(const std::vector<uint32_t>& px, int x, int y) {
    uint32_t v = px[static_cast<size_t>(y) * 340 + x];
    int a = v >> 24;
    auto un = [&](int c) { return a ? (c * 255 + a / 2) / a : 0; };
    return {a, un((v >> 16) & 0xFF), un((v >> 8) & 0xFF), un(v & 0xFF)};
}

void ExpectColour(const Argb& got, uint32_t want, int tolerance, const char* what) {
    EXPECT_NEAR(got.a, static_cast<int>(want >> 24), tolerance) << what;
    EXPECT_NEAR(got.r, static_cast<int>((want >> 16) & 0xFF), tolerance) << what;
    EXPECT_NEAR(got.g, static_cast<int>((want >> 8) & 0xFF), tolerance) << what;
    EXPECT_NEAR(got.b, static_cast<int>(want & 0xFF), tolerance) << what;
}

std::vector<uint32_t> Paint(const WheelState& state, size_t files) {
    std::vector<uint32_t> px(340 * 340, 0);
    WheelPicture picture;
    BuildWheelPicture(state, wheelConfig, files, picture);
    EXPECT_TRUE(PaintWheelPicture(px.data(), picture, nullptr));
    return px;
}

// Straight-alpha "source over" of two colours, as the picture composites its layers.
uint32_t Over(uint32_t fg, uint32_t bg) {
    double fa = (fg >> 24) / 255.0, ba = (bg >> 24) / 255.0;
    double a = fa + ba * (1 - fa);
    auto ch = [&](int shift) {
        double c = (((fg >> shift) & 0xFF) * fa + ((bg >> shift) & 0xFF) * ba * (1 - fa)) / a;
        return static_cast<uint32_t>(c + 0.5) << shift;
    };
    return static_cast<uint32_t>(a * 255 + 0.5) << 24 | ch(16) | ch(8) | ch(0);
}

int AccentPixels(const std::vector<uint32_t>& px, int left, int top, int width, int height) {
    int n = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) {
            Argb p = PixelAt(px, x, y);
            if (p.a > 200 && std::abs(p.r - 0x38) < 40 && std::abs(p.g - 0xBD) < 40 && std::abs(p.b - 0xF8) < 40) ++n;
        }
    return n;
}

int BrightPixels(const std::vector<uint32_t>& px, int left, int top, int width, int height) {
    int n = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) {
            Argb p = PixelAt(px, x, y);
            if (p.a > 200 && p.r > 200 && p.g > 200 && p.b > 200) ++n;
        }
    return n;
}

}  // namespace

TEST_F(WheelWindowTest, PaintedPixelsFollowThePicture) {
    WheelState s;
    std::vector<uint32_t> px = Paint(s, 0);
    EXPECT_EQ(PixelAt(px, 3, 3).a, 0) << "corners stay fully transparent";
    EXPECT_EQ(PixelAt(px, 336, 170).a, 0) << "beyond the shadow ring";
    ExpectColour(PixelAt(px, 293, 192), 0xE1161B22, 3, "sector 0 body");
    // The pies run to the centre, so the disc lies over sector 1 there.
    ExpectColour(PixelAt(px, 170, 196), Over(0xFA0D1117, 0xE1161B22), 3, "centre disc");
    EXPECT_LT(PixelAt(px, 300, 170).a, 120) << "the gap between sectors 4 and 0 lets the desktop through";
    EXPECT_GT(AccentPixels(px, 164, 174, 4, 4), 0) << "left dot lit on MEDIA";
    EXPECT_EQ(AccentPixels(px, 176, 174, 4, 4), 0) << "right dot dim on MEDIA";
    // Text is drawn even without the wheel's preferred font face.
    EXPECT_GT(BrightPixels(px, 201, 229, 96, 22), 10) << "label of sector 0";
    EXPECT_GT(BrightPixels(px, 135, 156, 70, 14), 5) << "layer title";

    s.hovered = 2;
    px = Paint(s, 0);
    ExpectColour(PixelAt(px, 48, 214), 0xF50EA5E9, 3, "hovered sector 2");
    ExpectColour(PixelAt(px, 293, 192), 0xE1161B22, 3, "other sectors stay dark");

    s.hovered = kHoveredCentre;
    px = Paint(s, 3);
    ExpectColour(PixelAt(px, 170, 200), Over(0xF5E11D48, 0xE1161B22), 3, "hovered centre");
    EXPECT_EQ(AccentPixels(px, 135, 150, 70, 40), 0) << "no file count, dots or sky-blue text while the centre is hovered";
    EXPECT_GT(BrightPixels(px, 135, 156, 70, 28), 10) << "the cancel hint";

    s.hovered = kHoveredNone;
    px = Paint(s, 3);
    EXPECT_GT(AccentPixels(px, 135, 154, 70, 16), 10) << "file count in sky blue";

    s.hovered = kHoveredNone;
    s.mode = WheelMode::FormatSub;
    px = Paint(s, 0);
    EXPECT_LT(PixelAt(px, 170, 290).a, 120) << "FORMAT has a gap at 90 degrees";
    ExpectColour(PixelAt(px, 255, 255), 0xE1161B22, 3, "and a sector at 45 degrees");
}

namespace {

MediaAction seenAction = MediaAction::None;
std::wstring seenArgument;
std::vector<std::wstring> seenTargets;
bool seenVisible = true;

void RecordAction(MediaAction action, const std::wstring& argument) {
    seenAction = action;
    seenArgument = argument;
    seenTargets = targets;
    seenVisible = IsWindowVisible(wheelWindow);
}

}  // namespace

TEST_F(WheelWindowTest, ActionGetsTheTargetsDetectedAtTheOpeningDespiteTheFocusLoss) {
    SendMessageW(wheelWindow, WM_APP_OPENWHEEL, PackPressPoint({400, 300}), 0);
    ASSERT_EQ(GetFocus(), wheelWindow) << "the wheel must hold the focus for the hide to take it away";
    targets = {L"C:\\foto\\a.png", L"C:\\foto\\b.jpg"};
    MediaActionRunner previous = mediaActionRunner;
    mediaActionRunner = RecordAction;
    SendMessageW(wheelWindow, WM_MOUSEMOVE, 0, MAKELPARAM(170, 60));  // FORMAT's "Kembali" is not here: main wheel
    SendMessageW(wheelWindow, WM_MOUSEMOVE, 0, MAKELPARAM(120, 250)); // sector 1, "Image to PDF"
    SendMessageW(wheelWindow, WM_APP_WHEELRELEASE, 0, 0);
    mediaActionRunner = previous;
    EXPECT_EQ(seenAction, MediaAction::Pdf);
    EXPECT_FALSE(seenVisible) << "the wheel is off the screen while the action runs";
    EXPECT_EQ(seenTargets, (std::vector<std::wstring>{L"C:\\foto\\a.png", L"C:\\foto\\b.jpg"}));
    EXPECT_TRUE(targets.empty()) << "emptied once the action returned";
    EXPECT_EQ(wheelState.hovered, kHoveredNone);
    Pump();
}

namespace {

// What the screen shows of the wheel window, in window coordinates (the window sits at pressPoint - 170).
std::vector<uint32_t> CaptureWheel() {
    std::vector<uint32_t> px(340 * 340, 0);
    ScopedGetDc screen(nullptr);
    ScopedMemoryDc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO bmi = {};
    bmi.bmiHeader = {sizeof(bmi.bmiHeader), 340, -340, 1, 32, BI_RGB};
    void* bits = nullptr;
    ScopedGdiObject<HBITMAP> bitmap(CreateDIBSection(screen.get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return px;
    {
        ScopedSelectObject selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, 340, 340, screen.get(), wheelState.pressPoint.x - 170, wheelState.pressPoint.y - 170,
               SRCCOPY);
    }
    GdiFlush();
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    // The screen has no alpha of its own: everything read back is opaque.
    for (size_t i = 0; i < px.size(); ++i) px[i] = p[i] | 0xFF000000u;
    return px;
}

int CountDifferent(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int left, int top, int w, int h) {
    int n = 0;
    for (int y = top; y < top + h; ++y)
        for (int x = left; x < left + w; ++x) {
            Argb p = PixelAt(a, x, y), q = PixelAt(b, x, y);
            if (std::abs(p.r - q.r) > 48 || std::abs(p.g - q.g) > 48 || std::abs(p.b - q.b) > 48) ++n;
        }
    return n;
}

// The painted picture as it shows over a black screen (what the capture reads where nothing is behind).
std::vector<uint32_t> OverBlack(std::vector<uint32_t> px) {
    for (uint32_t& v : px) v |= 0xFF000000u;  // premultiplied: the colour over black is the stored colour
    return px;
}

}  // namespace

TEST_F(WheelWindowTest, ThreeDetectedFilesShowTheirCountInsteadOfTheLayerDots) {
    SendMessageW(wheelWindow, WM_APP_OPENWHEEL, PackPressPoint({400, 300}), 0);
    ASSERT_TRUE(IsWindowVisible(wheelWindow));
    // The shell here has no Explorer selection: hand the wheel three images the way the opening does.
    KeepDetectedSelection({{L"C:\\foto\\a.png", L"C:\\foto\\b.jpg", L"C:\\foto\\c.webp"}, {L"C:\\foto\\d.pdf"}});
    ASSERT_EQ(targets.size(), 3u);
    RenderWheel(wheelWindow);
    Pump();
    Sleep(200);  // the window manager may show the new picture a moment later
    std::vector<uint32_t> shown = CaptureWheel();

    WheelState main;
    std::vector<uint32_t> withFiles = OverBlack(Paint(main, 3)), withDots = OverBlack(Paint(main, 0));
    EXPECT_GT(AccentPixels(shown, 135, 154, 70, 16), 10) << "\"3 FILE\" in sky blue";
    EXPECT_GT(AccentPixels(shown, 135, 171, 70, 12), 5) << "\"\u2715 Tutup\" in sky blue";
    EXPECT_EQ(BrightPixels(shown, 135, 156, 70, 14), 0) << "no white layer title";
    // The centre as drawn on the screen is the picture of three files, not the one with title and dots.
    EXPECT_LT(CountDifferent(shown, withFiles, 130, 150, 80, 40), 40);
    EXPECT_GT(CountDifferent(shown, withDots, 130, 150, 80, 40), 60);
    // The square inside the centre disc: outside it, partly transparent pixels show whatever is behind.
    EXPECT_LT(CountDifferent(shown, withFiles, 139, 139, 62, 62), 40) << "the centre disc";

    HideWheel(wheelWindow);
    EXPECT_TRUE(targets.empty());
    EXPECT_TRUE(selectedPdfs.empty()) << "the PDFs of the opening go with the targets";
    Pump();
}
