// The sectors of both wheel layers, their limits and their built-in defaults.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct WheelSector {
    std::wstring label;
    std::wstring target;
    bool operator==(const WheelSector&) const = default;
};

inline constexpr int kLayerMedia = 0;
inline constexpr int kLayerWeb = 1;
inline constexpr int kLayerCount = 2;
inline constexpr size_t kMaxSectorsPerLayer = 5;
// The settings window keeps at least this many; files may hold fewer.
inline constexpr size_t kMinEditableSectors = 2;

struct WheelConfig {
    std::vector<WheelSector> layers[kLayerCount];
    bool operator==(const WheelConfig&) const = default;
};

// The one configuration of the running program; the platform layer owns it.
extern WheelConfig wheelConfig;

void ApplyDefaultWheelConfig(WheelConfig& config);
// Replaces only the web layer with its five defaults (used when the file's web section is unusable).
void ApplyDefaultWebSectors(WheelConfig& config);

// List operations; a layer outside 0..1 or an index past the end is refused, never undefined.
size_t LayerLength(const WheelConfig& config, int layer);
const WheelSector* SectorAt(const WheelConfig& config, int layer, size_t index);
void ClearLayer(WheelConfig& config, int layer);
bool AppendSector(WheelConfig& config, int layer, WheelSector&& sector);
bool UpdateSector(WheelConfig& config, int layer, size_t index, std::wstring label, std::wstring target);
bool EraseSector(WheelConfig& config, int layer, size_t index);
