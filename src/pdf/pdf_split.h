#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/jpeg_frame.h"

// One JPEG page found in a PDF: the stream body from FF D8 FF to FF D9, unchanged.
struct ExtractedJpeg {
    std::vector<uint8_t> bytes;
    uint32_t width = 0;   // as reported by the decoder; used for the log only
    uint32_t height = 0;
};

// Position of the first occurrence of `pattern` lying wholly inside the range, or nothing. Nothing
// too for a null pointer, an empty pattern or a pattern longer than the range.
std::optional<size_t> FindBytes(const uint8_t* range, size_t rangeSize, const uint8_t* pattern, size_t patternSize);

// Confirms that a candidate body decodes and tells its size; nothing rejects the candidate.
using JpegDecoder = std::function<std::optional<JpegDimensions>(const uint8_t* data, size_t size)>;

// Told of every accepted page: its number in this file (from 1) and the page itself.
using JpegPageObserver = std::function<void(size_t pageNumber, const ExtractedJpeg& page)>;

// Finds the stream bodies of a PDF that are whole JPEG files (longer than 100 bytes, CR and LF
// around them left out) by scanning for "stream" and "endstream"; the PDF's structure is not
// parsed. Each candidate is confirmed with `decoder`. Pages come in file order.
std::vector<ExtractedJpeg> ScanJpegStreams(const uint8_t* bytes, size_t size, const JpegDecoder& decoder,
                                           const JpegPageObserver& onPage = {});

// The base name for the page files of a PDF: the file name (no folder, no extension) with a
// trailing, case-sensitive "-merged" cut off.
std::wstring SplitBaseName(std::wstring_view fileName);

// "-page-01" ... "-page-99", "-page-100": at least two digits.
std::wstring PageSuffix(size_t pageNumber);
