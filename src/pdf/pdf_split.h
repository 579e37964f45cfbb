#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/jpeg_frame.h"

// One JPEG page found in a PDF, copied out of the file unchanged.
struct ExtractedJpeg {
    std::vector<uint8_t> bytes;
    uint32_t width = 0;   // as reported by the decoder; used for the log only
    uint32_t height = 0;
};

// One JPEG page found in a PDF, seen in place inside the file's bytes.
struct JpegStreamView {
    const uint8_t* data;
    size_t size;
    uint32_t width;
    uint32_t height;
};

// Position of the first occurrence of `pattern` lying wholly inside the range, or nothing. Nothing
// too for a null pointer, an empty pattern or a pattern longer than the range.
std::optional<size_t> FindBytes(const uint8_t* range, size_t rangeSize, const uint8_t* pattern, size_t patternSize);

// Confirms that a candidate body decodes and tells its size; nothing rejects the candidate.
using JpegDecoder = std::function<std::optional<JpegDimensions>(const uint8_t* data, size_t size)>;

// Finds the stream bodies of a PDF that are whole JPEG files by scanning for "stream" and
// "endstream"; the PDF's structure is not parsed beyond the stream's own dictionary. A direct
// /Length that "endstream" confirms (after an optional end-of-line) gives the body exactly, so a
// JPEG holding "endstream" or bytes after its end comes out whole; otherwise the body runs to the
// next "endstream", CR and LF around it left out, and must end FF D9. Either way it starts FF D8 FF,
// is longer than 100 bytes and is confirmed with `decoder`. Streams named by a page's /Thumb entry
// are thumbnails, not pages; since the entry may come after the thumbnail, candidates are decoded
// and reported once the scan has reached the end of the file. Calls onPage for every page in file
// order, without copying the page; returns the page count.
size_t ForEachJpegStream(const uint8_t* bytes, size_t size, const JpegDecoder& decoder,
                         const std::function<void(size_t pageNumber, const JpegStreamView& page)>& onPage);

// ForEachJpegStream with every page copied out.
std::vector<ExtractedJpeg> ScanJpegStreams(const uint8_t* bytes, size_t size, const JpegDecoder& decoder);

// The base name for the page files of a PDF: the file name (no folder, no extension) with a
// trailing, case-sensitive "-merged" cut off.
std::wstring SplitBaseName(std::wstring_view fileName);

// "-page-01" ... "-page-99", "-page-100": at least two digits.
std::wstring PageSuffix(size_t pageNumber);
