#include <chrono>
#include <string>

#include "app/gdiplus_flat.h"
#include "app/win_handles.h"
#include "config/wheel_config.h"
#include "targets/targets_win.h"
#include "wheel/wheel_picture.h"
#include "wheel/wheel_win.h"

RenderTimings lastRenderTimings;

namespace {

double Micros(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// The face the wheel is designed for, then faces that most systems have. A machine without
// the first would otherwise draw no text at all.
const wchar_t* const kFontFaces[] = {L"Segoe UI", L"Tahoma", L"Arial", L"Microsoft Sans Serif", L"DejaVu Sans"};

// Resolved once: probing for installed faces on every render would cost a font enumeration each time.
const std::wstring& FontFaceName() {
    static const std::wstring name = [] {
        for (const wchar_t* face : kFontFaces) {
            GdipFontFamilyHolder family;
            if (GdipCreateFontFamilyFromName(face, nullptr, family.put()) == Ok && family) return std::wstring(face);
        }
        return std::wstring();
    }();
    return name;
}

bool CreateFamily(GdipFontFamilyHolder& family) {
    const std::wstring& face = FontFaceName();
    if (!face.empty() && GdipCreateFontFamilyFromName(face.c_str(), nullptr, family.put()) == Ok) return true;
    // Last resort: the generic sans-serif family, copied by name so that we own what we delete.
    GpFontFamily* generic = nullptr;
    if (GdipGetGenericFontFamilySansSerif(&generic) != Ok || !generic) return false;
    WCHAR name[LF_FACESIZE] = {};
    GdipGetFamilyName(generic, name, LANG_NEUTRAL);
    return GdipCreateFontFamilyFromName(name, nullptr, family.put()) == Ok;
}

struct Fonts {
    GdipFontHolder label, icon, small;
    GpFont* For(FontRole role) const {
        switch (role) {
        case FontRole::Icon: return icon.get();
        case FontRole::Small: return small.get();
        default: return label.get();
        }
    }
};

void FillAndOutline(GpGraphics* g, GpPath* path, const DrawOp& style) {
    if (style.fill) {
        GpSolidFill* fill = nullptr;
        if (GdipCreateSolidFill(style.fill, &fill) == Ok) {
            GdipBrushHolder brush(fill);
            GdipFillPath(g, brush.get(), path);
        }
    }
    if (style.penWidth > 0) {
        GdipPenHolder pen;
        if (GdipCreatePen1(style.pen, style.penWidth, Gdiplus::UnitPixel, pen.put()) == Ok) GdipDrawPath(g, pen.get(), path);
    }
}

bool SameStyle(const DrawOp& a, const DrawOp& b) {
    return a.fill == b.fill && a.pen == b.pen && a.penWidth == b.penWidth;
}

// Draws a run of consecutive pies. The sectors never overlap (gaps separate them, and they
// meet only at the centre, which the centre disc covers), so pies of one style can share a
// path: one fill and one outline per style instead of one per sector, which roughly halves
// the sector cost in software rasterisers.
void DrawPies(GpGraphics* g, const DrawOp* first, const DrawOp* last) {
    bool done[16] = {};
    const size_t count = static_cast<size_t>(last - first);
    for (size_t i = 0; i < count; ++i) {
        if (i < 16 && done[i]) continue;
        GdipPathHolder path;
        if (GdipCreatePath(Gdiplus::FillModeAlternate, path.put()) != Ok) return;
        for (size_t j = i; j < count; ++j) {
            if (!SameStyle(first[i], first[j]) || (j < 16 && done[j])) continue;
            const ::RectF& r = first[j].rect;
            GdipStartPathFigure(path.get());
            GdipAddPathPie(path.get(), r.x, r.y, r.width, r.height, first[j].startAngle, first[j].sweepAngle);
            if (j < 16) done[j] = true;
            if (j >= 16) break;  // more sectors than the wheel ever has: draw them one by one
        }
        FillAndOutline(g, path.get(), first[i]);
    }
}

void DrawCircle(GpGraphics* g, const DrawOp& op) {
    const ::RectF& r = op.rect;
    if (op.fill) {
        GpSolidFill* fill = nullptr;
        if (GdipCreateSolidFill(op.fill, &fill) == Ok) {
            GdipBrushHolder brush(fill);
            GdipFillEllipse(g, brush.get(), r.x, r.y, r.width, r.height);
        }
    }
    if (op.penWidth > 0) {
        GdipPenHolder pen;
        if (GdipCreatePen1(op.pen, op.penWidth, Gdiplus::UnitPixel, pen.put()) == Ok)
            GdipDrawEllipse(g, pen.get(), r.x, r.y, r.width, r.height);
    }
}

void DrawText(GpGraphics* g, const DrawOp& op, const Fonts& fonts, GpStringFormat* format) {
    GpFont* font = fonts.For(op.font);
    if (!font || op.text.empty()) return;
    GpSolidFill* fill = nullptr;
    if (GdipCreateSolidFill(op.color, &fill) != Ok) return;
    GdipBrushHolder brush(fill);
    Gdiplus::RectF layout(op.rect.x, op.rect.y, op.rect.width, op.rect.height);
    GdipDrawString(g, op.text.data(), static_cast<INT>(op.text.size()), font, &layout, format, brush.get());
}

}  // namespace

bool PaintWheelPicture(void* bits, const WheelPicture& picture, RenderTimings* timings) {
    using Clock = std::chrono::steady_clock;
    Clock::duration shapeTime{}, textTime{};
    // Draw straight into the caller's memory as premultiplied ARGB, which is what a
    // per-pixel-alpha layered window takes; a DC-based graphics object would drop the alpha.
    GpBitmap* rawCanvas = nullptr;
    if (GdipCreateBitmapFromScan0(kWheelSize, kWheelSize, kWheelSize * 4, PixelFormat32bppPARGB,
                                  static_cast<BYTE*>(bits), &rawCanvas) != Ok)
        return false;
    GdipImageHolder canvas(rawCanvas);
    GdipGraphicsHolder graphics;
    if (GdipGetImageGraphicsContext(canvas.get(), graphics.put()) != Ok) return false;
    GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);
    GdipSetTextRenderingHint(graphics.get(), Gdiplus::TextRenderingHintClearTypeGridFit);

    Clock::time_point t0 = Clock::now();
    GdipFontFamilyHolder family;
    Fonts fonts;
    GdipStringFormatHolder format;
    if (CreateFamily(family)) {
        GdipCreateFont(family.get(), kLabelFontSize, Gdiplus::FontStyleBold, Gdiplus::UnitPoint, fonts.label.put());
        GdipCreateFont(family.get(), kIconFontSize, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint, fonts.icon.put());
        GdipCreateFont(family.get(), kSmallFontSize, Gdiplus::FontStyleBold, Gdiplus::UnitPoint, fonts.small.put());
    }
    if (GdipCreateStringFormat(0, LANG_NEUTRAL, format.put()) == Ok) {
        GdipSetStringFormatAlign(format.get(), Gdiplus::StringAlignmentCenter);
        GdipSetStringFormatLineAlign(format.get(), Gdiplus::StringAlignmentCenter);
    }
    Clock::time_point t1 = Clock::now();
    textTime += t1 - t0;
    const DrawOp* ops = picture.ops.data();
    const size_t n = picture.ops.size();
    for (size_t i = 0; i < n;) {
        const DrawKind kind = ops[i].kind;
        size_t next = i + 1;
        if (kind == DrawKind::Pie) {
            while (next < n && ops[next].kind == DrawKind::Pie) ++next;
            DrawPies(graphics.get(), ops + i, ops + next);
        } else if (kind == DrawKind::Circle) {
            DrawCircle(graphics.get(), ops[i]);
        } else {
            DrawText(graphics.get(), ops[i], fonts, format.get());
        }
        Clock::time_point t2 = Clock::now();
        (kind == DrawKind::Text ? textTime : shapeTime) += t2 - t1;
        t1 = t2;
        i = next;
    }
    GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync);
    if (timings) {
        timings->shapes = Micros(shapeTime);
        timings->texts = Micros(textTime);
    }
    return true;
}

void RenderWheel(HWND hwnd) {
    const auto start = std::chrono::steady_clock::now();
    ScopedGetDc screen(nullptr);
    if (!screen) return;
    ScopedMemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!memory) return;

    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = kWheelSize;
    bmi.bmiHeader.biHeight = -kWheelSize;  // top-down rows
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ScopedGdiObject<HBITMAP> bitmap(CreateDIBSection(screen.get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return;
    ScopedSelectObject selected(memory.get(), bitmap.get());

    static WheelPicture picture;  // reused: its operation list keeps its capacity between renders
    BuildWheelPicture(wheelState, wheelConfig, targets.size(), picture);
    RenderTimings timings;
    PaintWheelPicture(bits, picture, &timings);

    POINT destination = {wheelState.pressPoint.x - kWheelCentre, wheelState.pressPoint.y - kWheelCentre};
    SIZE size = {kWheelSize, kWheelSize};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(hwnd, screen.get(), &destination, &size, memory.get(), &source, 0, &blend, ULW_ALPHA);

    timings.total = Micros(std::chrono::steady_clock::now() - start);
    timings.present = timings.total - timings.shapes - timings.texts;
    lastRenderTimings = timings;
}
