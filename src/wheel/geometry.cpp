#include "wheel/geometry.h"

#include <cmath>

namespace {

// Beyond what displays report; also keeps the window's size far inside the int range.
constexpr int32_t kMinDpi = kBaseDpi / 2;
constexpr int32_t kMaxDpi = kBaseDpi * 8;

}  // namespace

WheelMetrics MetricsForDpi(int32_t dpi) {
    WheelMetrics m;
    if (dpi < kMinDpi || dpi > kMaxDpi) dpi = kBaseDpi;
    m.dpi = dpi;
    m.scale = static_cast<float>(dpi) / static_cast<float>(kBaseDpi);
    m.centre = static_cast<int>(std::lround(static_cast<float>(kWheelCentre) * m.scale));
    m.size = 2 * m.centre;
    return m;
}

int SectorCount(const WheelState& state, const WheelConfig& config) {
    switch (state.mode) {
    case WheelMode::FormatSub: return kFormatSubCount;
    case WheelMode::SnipSub: return kSnipSubCount;
    default: {
        size_t n = LayerLength(config, state.layer);
        return n == 0 ? 1 : static_cast<int>(n);
    }
    }
}

float SectorAngle(const WheelState& state, const WheelConfig& config) {
    switch (state.mode) {
    case WheelMode::FormatSub: return kFormatSubAngle;
    case WheelMode::SnipSub: return kSnipSubAngle;
    default: return 360.0f / static_cast<float>(SectorCount(state, config));
    }
}

int32_t HitTestSector(const WheelState& state, const WheelConfig& config, int x, int y) {
    const WheelMetrics m = MetricsForDpi(state.dpi);
    float dx = static_cast<float>(x - m.centre);
    float dy = static_cast<float>(y - m.centre);
    if (std::sqrt(dx * dx + dy * dy) < kCentreRadius * m.scale) return kHoveredCentre;
    float angle = std::atan2(dy, dx) * 57.295776f;
    if (angle < 0.0f) angle += 360.0f;
    int32_t index = static_cast<int32_t>(angle / SectorAngle(state, config));
    // Rounding can only reach the count for an angle a hair below 360; keep it in the last sector.
    int count = SectorCount(state, config);
    return index < count ? index : count - 1;
}

bool UpdateHovered(WheelState& state, const WheelConfig& config, int x, int y) {
    int32_t hit = HitTestSector(state, config, x, y);
    if (hit == state.hovered) return false;
    state.hovered = hit;
    return true;
}
