// Hit test cost per pointer position, against a bare atan2f on the same points as its peer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "wheel/geometry.h"

namespace {

struct Points {
    std::vector<int> xs, ys;
    Points() {
        unsigned seed = 7;
        for (int i = 0; i < 4096; ++i) {
            seed = seed * 1103515245u + 12345u;
            xs.push_back(static_cast<int>(seed % 340));
            seed = seed * 1103515245u + 12345u;
            ys.push_back(static_cast<int>(seed % 340));
        }
    }
};

const Points& TestPoints() {
    static Points p;
    return p;
}

void BM_HitTestSector(benchmark::State& state) {
    WheelConfig config;
    ApplyDefaultWheelConfig(config);
    WheelState wheel;
    const Points& p = TestPoints();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HitTestSector(wheel, config, p.xs[i & 4095], p.ys[i & 4095]));
        ++i;
    }
}
BENCHMARK(BM_HitTestSector);

void BM_PeerAtan2(benchmark::State& state) {
    const Points& p = TestPoints();
    size_t i = 0;
    for (auto _ : state) {
        float dx = static_cast<float>(p.xs[i & 4095] - 170), dy = static_cast<float>(p.ys[i & 4095] - 170);
        benchmark::DoNotOptimize(std::atan2(dy, dx));
        ++i;
    }
}
BENCHMARK(BM_PeerAtan2);

}  // namespace
