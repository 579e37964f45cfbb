// Any bytes as a configuration file: the reader never crashes, the loaded model always has
// 1 to 5 sectors per layer, and what it loaded survives a save and a second load unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/config_file.h"

namespace {

WheelConfig Load(const std::string& bytes, std::string* saved) {
    WheelConfig config;
    ConfigFileAccess access{[] { return true; },
                            [&](std::string& out) {
                                out = bytes;
                                return true;
                            },
                            [&](const WheelConfig& c) {
                                if (saved) *saved = SerializeWheelConfig(c);
                                return true;
                            }};
    LoadWheelConfigWith(access, config);
    return config;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    WheelConfig first = Load(bytes, nullptr);
    for (int l = 0; l < kLayerCount; ++l)
        if (first.layers[l].empty() || first.layers[l].size() > kMaxSectorsPerLayer) std::abort();
    for (const auto& layer : first.layers)
        for (const auto& s : layer)
            if (s.label.size() > kMaxIniValueLength || s.target.size() > kMaxIniValueLength) std::abort();

    WheelConfig second = Load(SerializeWheelConfig(first), nullptr);
    if (!(first == second)) std::abort();
    return 0;
}
