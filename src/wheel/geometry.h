// Sector geometry and the hit test: pure single-precision arithmetic on window coordinates.
#pragma once

#include "config/wheel_config.h"
#include "wheel/wheel_state.h"

// The wheel window at one DPI. Lengths scale by dpi / 96; the centre stays on a whole pixel so
// that the window can be centred on the press point, and the window is twice the centre wide.
struct WheelMetrics {
    int32_t dpi = kBaseDpi;
    float scale = 1.0f;
    int size = kWheelSize;
    int centre = kWheelCentre;
};

// A DPI outside what any display reports (a failed lookup gives 0) is taken as kBaseDpi.
WheelMetrics MetricsForDpi(int32_t dpi);
// A position of the kBaseDpi picture (window pixels) in the window at m.
inline float ScalePosition(const WheelMetrics& m, float p) {
    return static_cast<float>(m.centre) + (p - static_cast<float>(kWheelCentre)) * m.scale;
}

// Sectors of the current mode; an empty main-mode list counts as one.
int SectorCount(const WheelState& state, const WheelConfig& config);
// 360 / SectorCount for the main wheel; the sub-wheels' fixed angles otherwise.
float SectorAngle(const WheelState& state, const WheelConfig& config);

// The sector index under window point (x, y) of the wheel at state.dpi, or kHoveredCentre
// inside the dead zone.
int32_t HitTestSector(const WheelState& state, const WheelConfig& config, int x, int y);
// Stores the hit in state.hovered; true when it changed (the caller then redraws).
bool UpdateHovered(WheelState& state, const WheelConfig& config, int x, int y);
