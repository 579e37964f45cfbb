// Outside bytes through the EXIF orientation reader: never a crash, never a value outside 0..8,
// and the TIFF reader agrees with the JPEG walk on the same segment.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/exif_orientation.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly sized copies, so the sanitizer sees a read one byte past the end.
    const std::vector<uint8_t> jpeg(data, data + size);
    const int fromJpeg = ReadJpegExifOrientation(jpeg.data(), jpeg.size());
    Require(fromJpeg >= 0 && fromJpeg <= 8);

    const int fromTiff = ReadTiffOrientation(jpeg.data(), jpeg.size());
    Require(fromTiff >= 0 && fromTiff <= 8);

    // The same bytes as the body of an EXIF segment right after SOI must give the TIFF reader's answer.
    if (size <= 0xFFFF - 8) {
        std::vector<uint8_t> wrapped = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t((size + 8) >> 8), uint8_t(size + 8),
                                        'E',  'x',  'i',  'f',  0,                       0};
        wrapped.insert(wrapped.end(), data, data + size);
        Require(ReadJpegExifOrientation(wrapped.data(), wrapped.size()) == fromTiff);
    }
    return 0;
}
