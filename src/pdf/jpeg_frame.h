#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Pixel size of a JPEG image as its frame header states it.
struct JpegDimensions {
    uint32_t width = 0;
    uint32_t height = 0;
};

// Reads the size from the frame header (SOF0..SOF15) of a JPEG file held in memory, walking the
// marker segments from the start-of-image marker. No pixel data is decoded. Returns nothing for
// data that does not start with FF D8, whose segments run past the end, that reaches the scan or
// the end of the image before a frame header, or whose frame header is short or states a zero
// width or height. Stands in for the platform decoder where there is none (tests, benchmarks,
// fuzzing).
std::optional<JpegDimensions> ReadJpegFrameSize(const uint8_t* data, size_t size);
