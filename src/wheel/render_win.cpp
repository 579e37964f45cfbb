#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "base/dpi_win.h"
#include "base/gdiplus_flat.h"
#include "base/log_line.h"
#include "base/win_handles.h"
#include "config/wheel_config.h"
#include "targets/targets_win.h"
#include "wheel/wheel_picture.h"
#include "wheel/wheel_win.h"

RenderTimings lastRenderTimings;

namespace {

double Micros(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// The face the wheel is designed for. Where it is missing the generic sans-serif family stands
// in, then common faces, then any installed face: a missing face would otherwise leave the
// wheel with no text at all (and some systems have no generic family either).
const wchar_t kFontFace[] = L"Segoe UI";
const wchar_t* const kFallbackFaces[] = {L"Tahoma", L"Arial", L"Liberation Sans", L"DejaVu Sans", L"Noto Sans"};

bool FaceExists(const wchar_t* face) {
    GdipFontFamilyHolder family;
    return face && face[0] && GdipCreateFontFamilyFromName(face, nullptr, family.put()) == Ok && family;
}

std::wstring FirstInstalledFace() {
    GpFontCollection* installed = nullptr;  // the library's own collection: not ours to delete
    INT count = 0;
    if (GdipNewInstalledFontCollection(&installed) != Ok || !installed ||
        GdipGetFontCollectionFamilyCount(installed, &count) != Ok || count <= 0)
        return {};
    std::vector<GpFontFamily*> families(static_cast<size_t>(count));
    INT found = 0;
    if (GdipGetFontCollectionFamilyList(installed, count, families.data(), &found) != Ok || found <= 0) return {};
    WCHAR name[LF_FACESIZE] = {};
    GdipGetFamilyName(families[0], name, LANG_NEUTRAL);
    return name;
}

// Resolved once per process: asking the font system for a missing face by name on every render
// would repeat the same failed search each time.
const std::wstring& FontFaceName() {
    static const std::wstring name = []() -> std::wstring {
        if (FaceExists(kFontFace)) return kFontFace;
        // The generic family is the library's own object: take its name, never delete it.
        GpFontFamily* generic = nullptr;
        WCHAR genericName[LF_FACESIZE] = {};
        if (GdipGetGenericFontFamilySansSerif(&generic) == Ok && generic)
            GdipGetFamilyName(generic, genericName, LANG_NEUTRAL);
        if (FaceExists(genericName)) return genericName;
        for (const wchar_t* face : kFallbackFaces)
            if (FaceExists(face)) return face;
        return FirstInstalledFace();
    }();
    return name;
}

// The icon glyphs are symbols that text faces often lack, and the library draws a missing
// glyph as an empty box rather than borrowing it from another face. Each glyph is drawn in the
// first of these that has it; the wheel's own face comes first, so its look is kept wherever it can.
const wchar_t* const kSymbolFaces[] = {L"Segoe UI Symbol", L"Segoe UI Emoji", L"DejaVu Sans", L"DejaVu Sans Mono",
                                       L"Symbola"};

// Whether the font system has a face of exactly this name holding every character of text.
// Asked through a DC, since only there a missing glyph can be told from one that is present.
bool FaceHasGlyphs(const std::wstring& face, std::wstring_view text) {
    if (face.empty() || face.size() >= LF_FACESIZE || text.empty() || !FaceExists(face.c_str())) return false;
    ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc) return false;
    LOGFONTW lf = {};
    lf.lfHeight = -32;
    lf.lfCharSet = DEFAULT_CHARSET;
    face.copy(lf.lfFaceName, face.size());
    ScopedGdiObject<HFONT> font(CreateFontIndirectW(&lf));
    if (!font) return false;
    ScopedSelectObject selected(dc.get(), font.get());
    // The font mapper hands out some other face for a name it does not know.
    WCHAR selectedFace[LF_FACESIZE] = {};
    if (!GetTextFaceW(dc.get(), LF_FACESIZE, selectedFace) || _wcsicmp(selectedFace, face.c_str()) != 0) return false;
    std::vector<WORD> indices(text.size());
    if (GetGlyphIndicesW(dc.get(), text.data(), static_cast<int>(text.size()), indices.data(),
                         GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
        return false;
    return std::none_of(indices.begin(), indices.end(), [](WORD i) { return i == 0xFFFF; });
}

bool CreateFamily(const std::wstring& face, GdipFontFamilyHolder& family) {
    return !face.empty() && GdipCreateFontFamilyFromName(face.c_str(), nullptr, family.put()) == Ok;
}

// One icon face per face actually used by the picture being drawn.
struct IconFont {
    const std::wstring* face;
    GdipFontFamilyHolder family;
    GdipFontHolder font;
};

struct Fonts {
    GdipFontHolder label, smallFont;
    std::vector<IconFont> icons;
    GpFont* For(const DrawOp& op) const {
        switch (op.font) {
        case FontRole::Icon: {
            const std::wstring& face = IconFaceFor(op.text);
            for (const IconFont& icon : icons)
                if (*icon.face == face) return icon.font.get();
            return nullptr;
        }
        case FontRole::Small: return smallFont.get();
        default: return label.get();
        }
    }
};

void CreateIconFonts(const WheelPicture& picture, float pixels, Fonts& fonts) {
    for (const DrawOp& op : picture.ops) {
        if (op.kind != DrawKind::Text || op.font != FontRole::Icon || op.text.empty()) continue;
        const std::wstring* face = &IconFaceFor(op.text);
        if (std::any_of(fonts.icons.begin(), fonts.icons.end(), [&](const IconFont& f) { return *f.face == *face; }))
            continue;
        IconFont icon{face, {}, {}};
        if (CreateFamily(*face, icon.family))
            GdipCreateFont(icon.family.get(), pixels, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel, icon.font.put());
        fonts.icons.push_back(std::move(icon));
    }
}

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
    for (const DrawOp* lead = first; lead != last; ++lead) {
        // A pie whose style appeared earlier in the run was drawn with that earlier pie.
        if (std::any_of(first, lead, [&](const DrawOp& o) { return SameStyle(o, *lead); })) continue;
        GdipPathHolder path;
        if (GdipCreatePath(Gdiplus::FillModeAlternate, path.put()) != Ok) return;
        for (const DrawOp* pie = lead; pie != last; ++pie) {
            if (!SameStyle(*pie, *lead)) continue;
            const ::RectF& r = pie->rect;
            GdipStartPathFigure(path.get());
            GdipAddPathPie(path.get(), r.x, r.y, r.width, r.height, pie->startAngle, pie->sweepAngle);
        }
        FillAndOutline(g, path.get(), *lead);
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

void DrawTextOp(GpGraphics* g, const DrawOp& op, const Fonts& fonts, GpStringFormat* format) {
    GpFont* font = fonts.For(op);
    if (!font || op.text.empty()) return;
    GpSolidFill* fill = nullptr;
    if (GdipCreateSolidFill(op.color, &fill) != Ok) return;
    GdipBrushHolder brush(fill);
    Gdiplus::RectF layout(op.rect.x, op.rect.y, op.rect.width, op.rect.height);
    GdipDrawString(g, op.text.data(), static_cast<INT>(op.text.size()), font, &layout, format, brush.get());
}

}  // namespace

const std::wstring& IconFaceFor(std::wstring_view glyph) {
    // Resolved once per glyph and process, like the label face; the table holds a dozen glyphs.
    // A deque: the references handed out stay valid as entries are added.
    static std::deque<std::pair<std::wstring, std::wstring>> resolved;
    for (const auto& [text, face] : resolved)
        if (text == glyph) return face;
    std::wstring face = FontFaceName();
    if (!FaceHasGlyphs(face, glyph)) {
        for (const wchar_t* candidate : kSymbolFaces)
            if (FaceHasGlyphs(candidate, glyph)) {
                face = candidate;
                break;
            }
    }
    resolved.emplace_back(std::wstring(glyph), std::move(face));
    return resolved.back().second;
}

bool PaintWheelPicture(void* bits, const WheelPicture& picture, RenderTimings* timings) {
    using Clock = std::chrono::steady_clock;
    Clock::duration shapeTime{}, textTime{};
    const int size = picture.metrics.size;
    // Draw straight into the caller's memory as premultiplied ARGB, which is what a
    // per-pixel-alpha layered window takes; a DC-based graphics object would drop the alpha.
    // Every render starts from fully transparent pixels (a plain fill: the library's own clear
    // costs more than a millisecond in some implementations).
    std::memset(bits, 0, static_cast<size_t>(size) * size * 4);
    GpBitmap* rawCanvas = nullptr;
    if (GdipCreateBitmapFromScan0(size, size, size * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits), &rawCanvas) !=
        Ok)
        return false;
    GdipImageHolder canvas(rawCanvas);
    GdipGraphicsHolder graphics;
    if (GdipGetImageGraphicsContext(canvas.get(), graphics.put()) != Ok) return false;
    GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);
    GdipSetTextRenderingHint(graphics.get(), Gdiplus::TextRenderingHintClearTypeGridFit);

    Clock::time_point t0 = Clock::now();
    // Font sizes in pixels of the wheel's DPI: the surface's own resolution is whatever the
    // library assumes for a bitmap and need not be the monitor's.
    const int32_t dpi = picture.metrics.dpi;
    GdipFontFamilyHolder family;
    Fonts fonts;
    GdipStringFormatHolder format;
    if (CreateFamily(FontFaceName(), family)) {
        GdipCreateFont(family.get(), FontPixelSize(FontRole::Label, dpi), Gdiplus::FontStyleBold, Gdiplus::UnitPixel,
                       fonts.label.put());
        GdipCreateFont(family.get(), FontPixelSize(FontRole::Small, dpi), Gdiplus::FontStyleBold, Gdiplus::UnitPixel,
                       fonts.smallFont.put());
    }
    CreateIconFonts(picture, FontPixelSize(FontRole::Icon, dpi), fonts);
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
            DrawTextOp(graphics.get(), ops[i], fonts, format.get());
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

int32_t MonitorDpiAt(ScreenPoint point) {
    return MonitorDpi(MonitorFromPoint(POINT{point.x, point.y}, MONITOR_DEFAULTTONEAREST));
}

void RenderWheel(HWND hwnd) {
    const auto start = std::chrono::steady_clock::now();
    ScopedGetDc screen(nullptr);
    if (!screen) return;
    ScopedMemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!memory) return;

    static WheelPicture picture;  // reused: its operation list keeps its capacity between renders
    BuildWheelPicture(wheelState, wheelConfig, targets.size(), picture);
    const WheelMetrics& m = picture.metrics;

    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = m.size;
    bmi.bmiHeader.biHeight = -m.size;  // top-down rows
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ScopedGdiObject<HBITMAP> bitmap(CreateDIBSection(screen.get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return;
    ScopedSelectObject selected(memory.get(), bitmap.get());

    RenderTimings timings;
    PaintWheelPicture(bits, picture, &timings);

    POINT destination = {wheelState.pressPoint.x - m.centre, wheelState.pressPoint.y - m.centre};
    SIZE size = {m.size, m.size};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(hwnd, screen.get(), &destination, &size, memory.get(), &source, 0, &blend, ULW_ALPHA);

    timings.total = Micros(std::chrono::steady_clock::now() - start);
    timings.present = timings.total - timings.shapes - timings.texts;
    lastRenderTimings = timings;
}
