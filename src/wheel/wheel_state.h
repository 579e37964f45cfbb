// What the wheel shows and where: shared by the cycle, hit test, renderer and dispatcher.
#pragma once

#include <cstdint>

enum class WheelMode : int32_t { Main = 0, FormatSub = 1, SnipSub = 2 };

struct ScreenPoint {
    int32_t x = 0;
    int32_t y = 0;
};

inline constexpr int32_t kHoveredNone = -1;
inline constexpr int32_t kHoveredCentre = -2;

// The picture's lengths are given at this DPI and scaled by dpi / kBaseDpi.
inline constexpr int32_t kBaseDpi = 96;

struct WheelState {
    WheelMode mode = WheelMode::Main;
    int32_t layer = 0;
    int32_t hovered = kHoveredNone;
    ScreenPoint pressPoint;
    int32_t dpi = kBaseDpi;  // of the monitor under pressPoint, taken at each opening
};

// Window geometry at kBaseDpi, in window pixels.
inline constexpr int kWheelSize = 340;
inline constexpr int kWheelCentre = 170;
inline constexpr float kCentreRadius = 45.0f;
inline constexpr float kPieRadius = 150.0f;
inline constexpr float kLabelRadius = 97.5f;

inline constexpr int kFormatSubCount = 4;
inline constexpr int kSnipSubCount = 3;
inline constexpr float kFormatSubAngle = 90.0f;
inline constexpr float kSnipSubAngle = 120.0f;
