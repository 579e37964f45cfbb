// The wheel window under a real window manager: rendering, the cycle and leak checks.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include "app/gdiplus_flat.h"
#include "config/wheel_config.h"
#include "targets/targets_win.h"
#include "wheel/wheel_win.h"

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

// Live GDI objects of this process. Where the system does not count them (GetGuiResources
// answers 0 under some compatibility layers), probe every handle slot with GetObjectType.
size_t CountGdiObjects() {
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (n > 0) return n;
    size_t live = 0;
    for (uintptr_t slot = 1; slot < 0x10000; ++slot)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0) ++live;
    return live;
}

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
    wheelState.pressPoint = {500, 400};
    SendMessageW(wheelWindow, WM_APP_OPENWHEEL, 0, 0);
    EXPECT_TRUE(IsWindowVisible(wheelWindow));
    EXPECT_EQ(wheelState.mode, WheelMode::Main);
    EXPECT_EQ(wheelState.layer, 0);
    EXPECT_EQ(wheelState.hovered, kHoveredNone);
    RECT r;
    GetWindowRect(wheelWindow, &r);
    EXPECT_EQ(r.left, 330);
    EXPECT_EQ(r.top, 230);
    EXPECT_EQ(r.right - r.left, 340);
    EXPECT_EQ(r.bottom - r.top, 340);

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
    SendMessageW(wheelWindow, WM_APP_OPENWHEEL, 0, 0);
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
