// The wheel on scaled displays and its icon glyphs, drawn by the real graphics library.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/gdiplus_flat.h"
#include "config/wheel_config.h"
#include "targets/targets_win.h"
#include "wheel/geometry.h"
#include "wheel/wheel_picture.h"
#include "wheel/wheel_win.h"

namespace {

// No face has a glyph for an unassigned code point: the face draws its missing-glyph box.
constexpr std::wstring_view kUnassigned = L"\u0378";

class GdiplusScope {
public:
    GdiplusScope() {
        GdiplusStartupInput input;
        GdiplusStartup(&token_, &input, nullptr);
    }
    ~GdiplusScope() { GdiplusShutdown(token_); }

private:
    ULONG_PTR token_ = 0;
};

std::vector<uint32_t> Paint(const WheelPicture& picture) {
    std::vector<uint32_t> px(static_cast<size_t>(picture.metrics.size) * picture.metrics.size, 0);
    EXPECT_TRUE(PaintWheelPicture(px.data(), picture, nullptr));
    return px;
}

// A picture of one icon-font text in a glyph box the size the wheel gives it at dpi.
std::vector<uint32_t> PaintIcon(std::wstring_view text, int dpi) {
    WheelPicture p;
    p.metrics = MetricsForDpi(dpi);
    const float s = p.metrics.scale;
    DrawOp op{DrawKind::Text, {100 * s, 100 * s, 70 * s, 20 * s}};
    op.text = text;
    op.font = FontRole::Icon;
    op.color = 0xFFFFFFFF;
    p.ops.push_back(op);
    return Paint(p);
}

// The same text drawn in a named face the way the renderer draws icons, for the face's own box.
std::vector<uint32_t> PaintInFace(const std::wstring& face, std::wstring_view text, int dpi) {
    const WheelMetrics m = MetricsForDpi(dpi);
    std::vector<uint32_t> px(static_cast<size_t>(m.size) * m.size, 0);
    GpBitmap* raw = nullptr;
    if (GdipCreateBitmapFromScan0(m.size, m.size, m.size * 4, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(px.data()),
                                  &raw) != Ok)
        return px;
    GdipImageHolder canvas(raw);
    GdipGraphicsHolder g;
    GdipGetImageGraphicsContext(canvas.get(), g.put());
    GdipSetSmoothingMode(g.get(), Gdiplus::SmoothingModeAntiAlias);
    GdipSetTextRenderingHint(g.get(), Gdiplus::TextRenderingHintClearTypeGridFit);
    GdipFontFamilyHolder family;
    GdipFontHolder font;
    GdipStringFormatHolder format;
    EXPECT_EQ(GdipCreateFontFamilyFromName(face.c_str(), nullptr, family.put()), Ok) << "face exists";
    GdipCreateFont(family.get(), FontPixelSize(FontRole::Icon, dpi), Gdiplus::FontStyleRegular, Gdiplus::UnitPixel,
                   font.put());
    GdipCreateStringFormat(0, LANG_NEUTRAL, format.put());
    GdipSetStringFormatAlign(format.get(), Gdiplus::StringAlignmentCenter);
    GdipSetStringFormatLineAlign(format.get(), Gdiplus::StringAlignmentCenter);
    GpSolidFill* fill = nullptr;
    GdipCreateSolidFill(0xFFFFFFFF, &fill);
    GdipBrushHolder brush(fill);
    Gdiplus::RectF rect(100 * m.scale, 100 * m.scale, 70 * m.scale, 20 * m.scale);
    GdipDrawString(g.get(), text.data(), static_cast<INT>(text.size()), font.get(), &rect, format.get(), brush.get());
    GdipFlush(g.get(), Gdiplus::FlushIntentionSync);
    return px;
}

int Ink(const std::vector<uint32_t>& px) {
    int n = 0;
    for (uint32_t v : px) n += (v >> 24) > 96;
    return n;
}

int Different(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += ((a[i] >> 24) > 96) != ((b[i] >> 24) > 96);
    return n;
}

int Bright(const std::vector<uint32_t>& px, int size, float left, float top, float width, float height) {
    int n = 0;
    for (int y = static_cast<int>(top); y < static_cast<int>(top + height); ++y)
        for (int x = static_cast<int>(left); x < static_cast<int>(left + width); ++x) {
            uint32_t v = px[static_cast<size_t>(y) * size + x];
            n += (v >> 24) > 200 && ((v >> 16) & 0xFF) > 200 && ((v >> 8) & 0xFF) > 200 && (v & 0xFF) > 200;
        }
    return n;
}

}  // namespace

// Every glyph of the table is drawn in a face that has it: not as that face's box, nor as the
// label face's box, at the base DPI and at 150 %.
TEST(WheelGlyphFaces, EveryTableGlyphDrawsUnlikeTheMissingGlyphBox) {
    GdiplusScope gdiplus;
    const std::wstring labelFace = IconFaceFor(L"A");  // a letter stays in the label face
    ASSERT_FALSE(labelFace.empty());
    EXPECT_EQ(IconFaceFor(kUnassigned), labelFace) << "no face of the chain claims a glyph none has";
    for (int dpi : {96, 144}) {
        const std::vector<uint32_t> labelBox = PaintInFace(labelFace, kUnassigned, dpi);
        for (std::wstring_view glyph : TableGlyphs()) {
            const std::wstring& face = IconFaceFor(glyph);
            const std::vector<uint32_t> drawn = PaintIcon(glyph, dpi);
            const std::vector<uint32_t> ownBox = PaintInFace(face, kUnassigned, dpi);
            const int ink = Ink(drawn);
            const std::string what = "U+" + std::to_string(static_cast<unsigned>(glyph[0])) + " at " +
                                     std::to_string(dpi) + " dpi in " + std::string(face.begin(), face.end());
            EXPECT_GT(ink, 12 * dpi / 96) << what;
            // Differing in a good share of the drawn pixels: a shape other than the box.
            EXPECT_GT(Different(drawn, ownBox), ink / 4) << what << ": the face's own box";
            EXPECT_GT(Different(drawn, labelBox), ink / 4) << what << ": the label face's box";
        }
    }
}

// At 150 % the wheel window is 510 pixels wide, drawn and hit-tested about (255, 255).
TEST(WheelDpi, WindowPictureAndHitTestAt144Dpi) {
    ApplyDefaultWheelConfig(wheelConfig);
    RegisterWheelClass(GetModuleHandleW(nullptr));
    if (!wheelWindow) CreateWheelWindow(GetModuleHandleW(nullptr));
    ASSERT_NE(wheelWindow, nullptr) << GetLastError();
    wheelState = WheelState{};
    targets.clear();

    const ScreenPoint press{500, 400};
    SendMessageW(wheelWindow, WM_APP_OPENWHEEL, PackPressPoint(press), 0);
    const WheelMetrics opened = MetricsForDpi(MonitorDpiAt(press));
    EXPECT_EQ(wheelState.dpi, MonitorDpiAt(press));
    RECT r;
    GetWindowRect(wheelWindow, &r);
    EXPECT_EQ(r.right - r.left, opened.size) << "sized for the monitor's DPI";
    EXPECT_EQ(r.left, press.x - opened.centre);

    // The window follows the DPI the state is drawn at.
    wheelState.dpi = 144;
    RenderWheel(wheelWindow);
    GetWindowRect(wheelWindow, &r);
    EXPECT_EQ(r.right - r.left, 510);
    EXPECT_EQ(r.bottom - r.top, 510);
    EXPECT_EQ(r.left, press.x - 255);
    EXPECT_EQ(r.top, press.y - 255);
    struct Move {
        int x, y;
        int32_t hovered;
    } moves[] = {{255 + 150, 255 + 30, 0}, {255 + 67, 255, kHoveredCentre}, {255 + 68, 255, 0}, {255, 255 + 150, 1},
                 {255 - 200, 255, 2}, {255, 255 - 69, 3}, {255, 255 - 66, kHoveredCentre}};
    for (const Move& m : moves) {
        SendMessageW(wheelWindow, WM_MOUSEMOVE, 0, MAKELPARAM(m.x, m.y));
        EXPECT_EQ(wheelState.hovered, m.hovered) << m.x << "," << m.y;
    }
    HideWheel(wheelWindow);

    // The picture: the 96-DPI sample points of the wheel, scaled, show the same colours.
    GdiplusScope gdiplus;
    WheelState s;
    s.dpi = 144;
    WheelPicture picture;
    BuildWheelPicture(s, wheelConfig, 0, picture);
    ASSERT_EQ(picture.metrics.size, 510);
    const std::vector<uint32_t> px = Paint(picture);
    auto at = [&](float x96, float y96) { return px[static_cast<size_t>(ScalePosition(picture.metrics, y96)) * 510 +
                                                    static_cast<size_t>(ScalePosition(picture.metrics, x96))]; };
    EXPECT_EQ(at(3, 3) >> 24, 0u) << "corners stay transparent";
    EXPECT_EQ(at(336, 170) >> 24, 0u) << "beyond the shadow ring";
    EXPECT_NEAR(static_cast<int>(at(293, 192) >> 24), 0xE1, 3) << "sector 0 body";
    EXPECT_LT(static_cast<int>(at(300, 170) >> 24), 120) << "the gap between sectors 4 and 0";
    EXPECT_NEAR(static_cast<int>(at(170, 196) >> 24), 0xFE, 3) << "centre disc over sector 1";
    // Label of sector 0 drawn inside its scaled box, the layer title inside its own.
    const DrawOp& label0 = picture.ops[1 + 5 + 3 + 1];
    ASSERT_EQ(label0.font, FontRole::Label);
    EXPECT_GT(Bright(px, 510, label0.rect.x, label0.rect.y, label0.rect.width, label0.rect.height), 30);
    EXPECT_GT(Bright(px, 510, ScalePosition(picture.metrics, 135), ScalePosition(picture.metrics, 156), 105, 21), 10);
}
