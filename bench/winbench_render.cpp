// Times RenderWheel under the real window system and a from-nothing peer render of the same
// kind (five pies, rings, ten strings, presented with UpdateLayeredWindow), in one process.
#include <windows.h>

#include <chrono>
#include <cstdio>

#include "base/gdiplus_flat.h"
#include "base/win_handles.h"
#include "config/wheel_config.h"
#include "targets/targets_win.h"
#include "wheel/wheel_win.h"

namespace {

using Clock = std::chrono::steady_clock;

// The peer: everything created and released inside the call, drawn through a DC-bound graphics.
void PeerRender(HWND hwnd) {
    ScopedGetDc screen(nullptr);
    ScopedMemoryDc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO bmi = {};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), 340, -340, 1, 32, BI_RGB};
    void* bits = nullptr;
    ScopedGdiObject<HBITMAP> bitmap(CreateDIBSection(screen.get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    ScopedSelectObject selected(memory.get(), bitmap.get());
    {
        GdipGraphicsHolder g;
        GdipCreateFromHDC(memory.get(), g.put());
        GdipSetSmoothingMode(g.get(), Gdiplus::SmoothingModeAntiAlias);
        GdipSetTextRenderingHint(g.get(), Gdiplus::TextRenderingHintClearTypeGridFit);
        GdipFontFamilyHolder family;
        GdipCreateFontFamilyFromName(L"Tahoma", nullptr, family.put());
        GdipFontHolder font;
        GdipCreateFont(family.get(), 9.5f, Gdiplus::FontStyleBold, Gdiplus::UnitPoint, font.put());
        GdipStringFormatHolder format;
        GdipCreateStringFormat(0, LANG_NEUTRAL, format.put());
        for (int i = 0; i < 5; ++i) {
            GpSolidFill* fill = nullptr;
            GdipCreateSolidFill(0xE1161B22, &fill);
            GdipBrushHolder brush(fill);
            GdipFillPie(g.get(), brush.get(), 20, 20, 300, 300, i * 72.0f + 1.1f, 69.8f);
        }
        for (int r = 0; r < 3; ++r) {
            GdipPenHolder pen;
            GdipCreatePen1(0x32FFFFFF, 1.5f, Gdiplus::UnitPixel, pen.put());
            GdipDrawEllipse(g.get(), pen.get(), 20.0f + r * 50, 20.0f + r * 50, 300.0f - r * 100, 300.0f - r * 100);
        }
        for (int t = 0; t < 10; ++t) {
            GpSolidFill* fill = nullptr;
            GdipCreateSolidFill(0xFFFFFFFF, &fill);
            GdipBrushHolder brush(fill);
            Gdiplus::RectF rect(20.0f + t * 25, 150.0f, 96.0f, 22.0f);
            GdipDrawString(g.get(), L"Image to PDF", -1, font.get(), &rect, format.get(), brush.get());
        }
    }
    POINT dst = {100, 100}, src = {0, 0};
    SIZE size = {340, 340};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(hwnd, screen.get(), &dst, &size, memory.get(), &src, 0, &blend, ULW_ALPHA);
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    GdiplusStartup(&token, &input, nullptr);
    ApplyDefaultWheelConfig(wheelConfig);
    RegisterWheelClass(GetModuleHandleW(nullptr));
    // The peer presents into a window of its own: sharing one would resize it on every render
    // once the wheel is drawn larger than the peer.
    HWND peerWindow = CreateWheelWindow(GetModuleHandleW(nullptr));
    HWND hwnd = CreateWheelWindow(GetModuleHandleW(nullptr));
    wheelState.pressPoint = {400, 300};
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ShowWindow(peerWindow, SW_SHOWNOACTIVATE);

    const int rounds = 200;
    for (int i = 0; i < 20; ++i) {
        RenderWheel(hwnd);
        PeerRender(peerWindow);
    }
    // At the base DPI and at 150 %, where the picture has 2.25 times the pixels.
    for (int dpi : {96, 144}) {
        wheelState.dpi = dpi;
        RenderWheel(hwnd);  // the fonts of this size warmed up
        // Interleaved, so that load from other work on the machine falls on both alike.
        RenderTimings sum;
        double ours = 0, peer = 0;
        for (int i = 0; i < rounds; ++i) {
            wheelState.hovered = i % 6 - 1;
            auto t0 = Clock::now();
            RenderWheel(hwnd);
            auto t1 = Clock::now();
            PeerRender(peerWindow);
            auto t2 = Clock::now();
            ours += std::chrono::duration<double, std::milli>(t1 - t0).count();
            peer += std::chrono::duration<double, std::milli>(t2 - t1).count();
            sum.shapes += lastRenderTimings.shapes;
            sum.texts += lastRenderTimings.texts;
            sum.present += lastRenderTimings.present;
        }
        ours /= rounds;
        peer /= rounds;
        std::printf("RenderWheel at %d DPI: %.2f ms per render (shapes %.2f, texts %.2f, setup+present %.2f)\n", dpi,
                    ours, sum.shapes / rounds / 1000, sum.texts / rounds / 1000, sum.present / rounds / 1000);
        std::printf("peer render from nothing (340 x 340): %.2f ms\n", peer);
        std::printf("ratio RenderWheel at %d DPI / peer: %.2f\n", dpi, ours / peer);
    }
    DestroyWindow(hwnd);
    DestroyWindow(peerWindow);
    GdiplusShutdown(token);
    CoUninitialize();
    return 0;
}
