// Outside bytes through the JPEG page scanner, with the frame-header reader as its decoder.
// Every page returned must be a whole JPEG body as the scanner promises.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pdf/jpeg_frame.h"
#include "pdf/pdf_split.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t announced = 0;
    const std::vector<ExtractedJpeg> pages =
        ScanJpegStreams(data, size, ReadJpegFrameSize, [&announced](size_t number, const ExtractedJpeg&) {
            Require(number == ++announced);
        });
    Require(announced == pages.size());

    for (const ExtractedJpeg& page : pages) {
        const std::vector<uint8_t>& b = page.bytes;
        Require(b.size() > 100);
        Require(b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF);
        Require(b[b.size() - 2] == 0xFF && b[b.size() - 1] == 0xD9);
        Require(page.width > 0 && page.height > 0);
        const std::optional<JpegDimensions> dims = ReadJpegFrameSize(b.data(), b.size());
        Require(dims && dims->width == page.width && dims->height == page.height);
    }

    // FindBytes against a plain loop: the last few input bytes as the pattern, the rest as range.
    if (size >= 1) {
        const size_t patternSize = 1 + data[0] % 9;
        if (patternSize < size) {
            const uint8_t* pattern = data + size - patternSize;
            const size_t rangeSize = size - patternSize;
            const std::optional<size_t> found = FindBytes(data, rangeSize, pattern, patternSize);
            std::optional<size_t> expected;
            for (size_t i = 0; i + patternSize <= rangeSize; ++i) {
                if (std::memcmp(data + i, pattern, patternSize) == 0) {
                    expected = i;
                    break;
                }
            }
            Require(found == expected);
        }
    }
    return 0;
}
