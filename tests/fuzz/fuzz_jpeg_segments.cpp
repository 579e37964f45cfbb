// The structural check that stands before the platform decoder: any bytes, no read outside them,
// and nothing it accepts may lack the frame header the writer relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "pdf/jpeg_frame.h"
#include "pdf/pdf_actions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so the sanitizer sees any read past the end.
    std::vector<uint8_t> copy(data, data + size);
    copy.shrink_to_fit();
    const bool fits = JpegSegmentsFit(copy.data(), copy.size());
    if (fits && copy.size() >= 2 && (copy[0] != 0xFF || copy[1] != 0xD8)) std::abort();
    return 0;
}
