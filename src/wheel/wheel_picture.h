// The wheel picture as data: an ordered list of drawing operations for one state.
// The platform layer only turns each operation into a drawing call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "config/wheel_config.h"
#include "wheel/geometry.h"
#include "wheel/wheel_state.h"

enum class DrawKind { Circle, Pie, Text };
enum class FontRole { Label, Icon, Small };

struct RectF {
    float x, y, width, height;
};

struct DrawOp {
    DrawKind kind;
    RectF rect;
    // Circle and Pie: fill first (when fill != 0), then the outline (when penWidth > 0).
    uint32_t fill = 0;
    uint32_t pen = 0;
    float penWidth = 0.0f;
    float startAngle = 0.0f;  // Pie, degrees clockwise from 3 o'clock
    float sweepAngle = 0.0f;
    // Text: centred both ways in rect.
    std::wstring_view text;
    FontRole font = FontRole::Label;
    uint32_t color = 0;
};

// Colours, ARGB.
inline constexpr uint32_t kShadowColor = 0x23000000;
inline constexpr uint32_t kSectorFill = 0xE1161B22;
inline constexpr uint32_t kSectorPen = 0x28FFFFFF;
inline constexpr uint32_t kHoverFill = 0xF50EA5E9;
inline constexpr uint32_t kWhite = 0xFFFFFFFF;
inline constexpr uint32_t kRimPen = 0x32FFFFFF;
inline constexpr uint32_t kInnerRingPen = 0x2DFFFFFF;
inline constexpr uint32_t kCentreFill = 0xFA0D1117;
inline constexpr uint32_t kCentrePen = 0x3CFFFFFF;
inline constexpr uint32_t kCentreHoverFill = 0xF5E11D48;
inline constexpr uint32_t kGlyphColor = 0xC8FFFFFF;
inline constexpr uint32_t kAccent = 0xFF38BDF8;
inline constexpr uint32_t kDimDot = 0x50FFFFFF;

// Font sizes in points; every font is bold except the icon font.
inline constexpr float kLabelFontSize = 9.5f;
inline constexpr float kIconFontSize = 14.0f;
inline constexpr float kSmallFontSize = 8.0f;

// The font's size in pixels at dpi: its points at that DPI, so that it grows with the boxes
// it is laid out in rather than with whatever DPI the drawing surface claims.
float FontPixelSize(FontRole role, int32_t dpi);

struct WheelPicture {
    std::vector<DrawOp> ops;
    WheelMetrics metrics;  // the window the ops are laid out in
    wchar_t countText[32] = {};  // "%d FILE"; ops point into it
    WheelPicture() = default;
    WheelPicture(const WheelPicture&) = delete;  // ops hold views into countText
    WheelPicture& operator=(const WheelPicture&) = delete;
};

// The glyph drawn above a label; "○" for any label without one of its own.
std::wstring_view GlyphForLabel(std::wstring_view label);
// Every glyph GlyphForLabel can give, the one for other labels last.
std::vector<std::wstring_view> TableGlyphs();
// Labels of the current mode's sectors (the active layer's list on the main wheel).
std::vector<std::wstring_view> WheelLabels(const WheelState& state, const WheelConfig& config);
// Rebuilds picture.ops for the state at state.dpi; texts refer to config, to static text or to
// picture.countText.
void BuildWheelPicture(const WheelState& state, const WheelConfig& config, size_t fileCount, WheelPicture& picture);
