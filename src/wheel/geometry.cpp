#include "wheel/geometry.h"

#include <cmath>

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
    float dx = static_cast<float>(x - kWheelCentre);
    float dy = static_cast<float>(y - kWheelCentre);
    if (std::sqrt(dx * dx + dy * dy) < kCentreRadius) return kHoveredCentre;
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
