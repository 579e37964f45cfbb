// Sector geometry and the hit test: pure single-precision arithmetic on window coordinates.
#pragma once

#include "config/wheel_config.h"
#include "wheel/wheel_state.h"

// Sectors of the current mode; an empty main-mode list counts as one.
int SectorCount(const WheelState& state, const WheelConfig& config);
// 360 / SectorCount for the main wheel; the sub-wheels' fixed angles otherwise.
float SectorAngle(const WheelState& state, const WheelConfig& config);

// The sector index under window point (x, y), or kHoveredCentre inside the dead zone.
int32_t HitTestSector(const WheelState& state, const WheelConfig& config, int x, int y);
// Stores the hit in state.hovered; true when it changed (the caller then redraws).
bool UpdateHovered(WheelState& state, const WheelConfig& config, int x, int y);
