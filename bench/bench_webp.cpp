// WebP encoding of one photo through the program's encoder (EncodeWebp: libwebp, quality 85).
//
// Environment: TARVIX_BENCH_PPM, a binary PPM (P6, 8 bits) of the photo. Its pixels are turned
// into the 32-bit BGRA rows the program hands over from GDI+ before timing starts.
// scripts/bench_webp.sh makes a 12-megapixel photo and times `cwebp -q 85` on the same file.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "imaging/webp_codec.h"

namespace {

struct Photo {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> bgra;
};

const Photo& LoadPhoto() {
    static const Photo photo = [] {
        Photo p;
        const char* path = std::getenv("TARVIX_BENCH_PPM");
        std::ifstream in(path ? path : "", std::ios::binary);
        std::string magic;
        unsigned maxval = 0;
        in >> magic >> p.width >> p.height >> maxval;
        in.get();
        if (!in || magic != "P6" || maxval != 255) {
            std::fprintf(stderr, "TARVIX_BENCH_PPM must name a binary 8-bit PPM\n");
            std::exit(2);
        }
        std::vector<uint8_t> rgb(size_t(p.width) * p.height * 3);
        in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
        p.bgra.resize(size_t(p.width) * p.height * 4);
        for (size_t i = 0, j = 0; i < rgb.size(); i += 3, j += 4) {
            p.bgra[j] = rgb[i + 2];
            p.bgra[j + 1] = rgb[i + 1];
            p.bgra[j + 2] = rgb[i];
            p.bgra[j + 3] = 255;
        }
        return p;
    }();
    return photo;
}

void BM_EncodeWebp(benchmark::State& state) {
    const Photo& photo = LoadPhoto();
    std::vector<uint8_t> out;
    for (auto _ : state) {
        if (EncodeWebp(photo.bgra.data(), photo.width, photo.height, size_t(photo.width) * 4, PixelOrder::Bgra, false,
                       out) != 0)
            state.SkipWithError("EncodeWebp failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(out.size());
    state.counters["megapixels"] = photo.width * double(photo.height) / 1e6;
}
BENCHMARK(BM_EncodeWebp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
