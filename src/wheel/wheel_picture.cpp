#include "wheel/wheel_picture.h"

#include <cmath>

#include "base/text.h"
#include "wheel/geometry.h"

namespace {

struct GlyphEntry {
    std::wstring_view label;
    std::wstring_view glyph;
};

constexpr GlyphEntry kGlyphs[] = {
    {L"Format Image", L"\u27F3"}, {L"Image to PDF", L"\u25A4"}, {L"Screenshot", L"\u25A3"},
    {L"Compress", L"\u25BC"},     {L"PDF Split", L"\u2702"},    {L"YouTube", L"\u25B6"},
    {L"Netflix", L"\u25C9"},      {L"GitHub", L"\u2699"},       {L"ChatGPT", L"\u2728"},
    {L"Google", L"\u2315"},       {L"Kembali", L"\u21A9"},
};
constexpr std::wstring_view kDefaultGlyph = L"\u25CB";

constexpr std::wstring_view kFormatLabels[] = {L"PNG", L"JPG", L"WebP", L"Kembali"};
constexpr std::wstring_view kSnipLabels[] = {L"Area Crop", L"Full Screen", L"Kembali"};

DrawOp Circle(RectF r, uint32_t fill, uint32_t pen, float penWidth) {
    DrawOp op{DrawKind::Circle, r};
    op.fill = fill;
    op.pen = pen;
    op.penWidth = penWidth;
    return op;
}

DrawOp Text(std::wstring_view text, RectF r, FontRole font, uint32_t color) {
    DrawOp op{DrawKind::Text, r};
    op.text = text;
    op.font = font;
    op.color = color;
    return op;
}

}  // namespace

std::wstring_view GlyphForLabel(std::wstring_view label) {
    for (const GlyphEntry& e : kGlyphs)
        if (e.label == label) return e.glyph;
    return kDefaultGlyph;
}

std::vector<std::wstring_view> TableGlyphs() {
    std::vector<std::wstring_view> glyphs;
    for (const GlyphEntry& e : kGlyphs) glyphs.push_back(e.glyph);
    glyphs.push_back(kDefaultGlyph);
    return glyphs;
}

std::vector<std::wstring_view> WheelLabels(const WheelState& state, const WheelConfig& config) {
    switch (state.mode) {
    case WheelMode::FormatSub: return {std::begin(kFormatLabels), std::end(kFormatLabels)};
    case WheelMode::SnipSub: return {std::begin(kSnipLabels), std::end(kSnipLabels)};
    default: break;
    }
    std::vector<std::wstring_view> labels;
    size_t n = LayerLength(config, state.layer);
    for (size_t i = 0; i < n; ++i) labels.push_back(SectorAt(config, state.layer, i)->label);
    return labels;
}

float FontPixelSize(FontRole role, int32_t dpi) {
    const float points = role == FontRole::Icon ? kIconFontSize : role == FontRole::Small ? kSmallFontSize : kLabelFontSize;
    return points * static_cast<float>(MetricsForDpi(dpi).dpi) / 72.0f;
}

void BuildWheelPicture(const WheelState& state, const WheelConfig& config, size_t fileCount, WheelPicture& picture) {
    auto& ops = picture.ops;
    ops.clear();
    const WheelMetrics m = MetricsForDpi(state.dpi);
    picture.metrics = m;
    // Every rectangle and length below is given at kBaseDpi; at that DPI both maps are the identity.
    auto at = [&m](RectF r) {
        return RectF{ScalePosition(m, r.x), ScalePosition(m, r.y), r.width * m.scale, r.height * m.scale};
    };
    auto len = [&m](float v) { return v * m.scale; };
    const std::vector<std::wstring_view> labels = WheelLabels(state, config);
    const int n = labels.empty() ? 1 : static_cast<int>(labels.size());
    const float d = 360.0f / static_cast<float>(n);
    const bool centreHovered = state.hovered == kHoveredCentre;

    ops.push_back(Circle(at({16, 16, 308, 308}), 0, kShadowColor, len(12.0f)));

    for (int i = 0; i < n; ++i) {
        bool hot = i == state.hovered;
        DrawOp pie{DrawKind::Pie, at({20, 20, 300, 300})};
        pie.startAngle = static_cast<float>(i) * d + 1.1f;
        pie.sweepAngle = d - 2.2f;
        pie.fill = hot ? kHoverFill : kSectorFill;
        pie.pen = hot ? kWhite : kSectorPen;
        pie.penWidth = len(hot ? 2.0f : 1.0f);
        ops.push_back(pie);
    }

    ops.push_back(Circle(at({20, 20, 300, 300}), 0, kRimPen, len(1.5f)));
    ops.push_back(Circle(at({123, 123, 94, 94}), 0, kInnerRingPen, len(2.0f)));
    ops.push_back(Circle(at({125, 125, 90, 90}), centreHovered ? kCentreHoverFill : kCentreFill,
                         centreHovered ? kWhite : kCentrePen, len(1.5f)));

    const float centre = static_cast<float>(m.centre);
    const float labelRadius = len(kLabelRadius);
    for (size_t j = 0; j < labels.size(); ++j) {
        float a = (static_cast<float>(j) + 0.5f) * d;
        float x = centre + labelRadius * std::cos(a * 0.017453292f);
        float y = centre + labelRadius * std::sin(a * 0.017453292f);
        bool hot = static_cast<int32_t>(j) == state.hovered;
        ops.push_back(Text(GlyphForLabel(labels[j]), {x - len(35), y - len(22), len(70), len(20)}, FontRole::Icon,
                           hot ? kWhite : kGlyphColor));
        ops.push_back(Text(labels[j], {x - len(48), y + len(1), len(96), len(22)}, FontRole::Label, kWhite));
    }

    if (centreHovered) {
        ops.push_back(Text(L"\u2715 BATAL", at({135, 156, 70, 28}), FontRole::Label, kWhite));
    } else if (state.mode == WheelMode::Main && fileCount > 0) {
        FormatText32(picture.countText, L"%d FILE", static_cast<int>(fileCount));
        ops.push_back(Text(picture.countText, at({135, 154, 70, 16}), FontRole::Label, kAccent));
        ops.push_back(Text(L"\u2715 Tutup", at({135, 171, 70, 12}), FontRole::Small, kAccent));
    } else if (state.mode == WheelMode::Main) {
        ops.push_back(Text(state.layer == kLayerWeb ? L"WEB" : L"MEDIA", at({135, 156, 70, 14}), FontRole::Small, kWhite));
        ops.push_back(Circle(at({164, 174, 4, 4}), state.layer == kLayerWeb ? kDimDot : kAccent, 0, 0.0f));
        ops.push_back(Circle(at({176, 174, 4, 4}), state.layer == kLayerWeb ? kAccent : kDimDot, 0, 0.0f));
    } else {
        ops.push_back(Text(state.mode == WheelMode::FormatSub ? L"FORMAT" : L"SNIP", at({135, 156, 70, 14}),
                           FontRole::Small, kWhite));
        ops.push_back(Text(L"\u2715 Tutup", at({135, 172, 70, 12}), FontRole::Small, kAccent));
    }
}
