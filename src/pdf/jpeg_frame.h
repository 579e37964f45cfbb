#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Pixel size of a JPEG image as its frame header states it.
struct JpegDimensions {
    uint32_t width = 0;
    uint32_t height = 0;
};

// What a PDF image dictionary must state about a JPEG: its size, its colour layout and whether an
// Adobe segment marks it (4-component files carrying one store their inks inverted).
struct JpegFrameInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t marker = 0;      // the frame header's marker code, C0 (baseline) .. CF
    uint8_t precision = 0;   // bits per sample
    uint8_t components = 0;
    bool adobe = false;      // an APP14 "Adobe" segment was seen before the scan
};

// Reads the frame header (SOF0..SOF15) of a JPEG file held in memory, walking the marker segments
// from the start-of-image marker. No pixel data is decoded. Returns nothing for data that does not
// start with FF D8, whose segments run past the end, that reaches the scan or the end of the image
// before a frame header, or whose frame header is short or states a zero width or height. Segments
// after the frame header are only looked at for the Adobe segment; damage there is no failure.
std::optional<JpegFrameInfo> ReadJpegFrameInfo(const uint8_t* data, size_t size);

// The size part of ReadJpegFrameInfo. Stands in for the platform decoder where there is none
// (tests, benchmarks, fuzzing).
std::optional<JpegDimensions> ReadJpegFrameSize(const uint8_t* data, size_t size);
