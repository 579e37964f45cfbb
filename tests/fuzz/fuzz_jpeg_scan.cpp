// Outside bytes through the JPEG page scanner, with the frame-header reader as its decoder.
// Every page returned must be a whole JPEG body as the scanner promises: it starts FF D8 FF, stands
// between "stream" and "endstream" (CR and LF aside), and ends FF D9 unless a stated length that a
// single end-of-line and "endstream" confirm gave it.

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

bool IsLineBreak(uint8_t b) {
    return b == 0x0A || b == 0x0D;
}

bool MatchesAt(const uint8_t* data, size_t size, size_t pos, const char* text) {
    const size_t length = std::strlen(text);
    return pos <= size && size - pos >= length && std::memcmp(data + pos, text, length) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<JpegStreamView> views;
    const size_t count = ForEachJpegStream(data, size, ReadJpegFrameSize, [&views](size_t number, const JpegStreamView& page) {
        views.push_back(page);
        Require(number == views.size());
    });
    Require(count == views.size());

    for (const JpegStreamView& page : views) {
        Require(page.data >= data && page.size <= size && page.data - data <= static_cast<std::ptrdiff_t>(size - page.size));
        const uint8_t* b = page.data;
        Require(page.size > 100);
        Require(b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF);
        const std::optional<JpegDimensions> dims = ReadJpegFrameSize(b, page.size);
        Require(dims && dims->width == page.width && dims->height == page.height && page.width > 0 && page.height > 0);

        const size_t offset = static_cast<size_t>(b - data);
        size_t before = offset;
        while (before > 0 && IsLineBreak(data[before - 1])) {
            --before;
        }
        Require(before >= 6 && MatchesAt(data, size, before - 6, "stream"));

        const size_t end = offset + page.size;
        size_t after = end;
        while (after < size && IsLineBreak(data[after])) {
            ++after;
        }
        Require(MatchesAt(data, size, after, "endstream"));
        if (b[page.size - 2] != 0xFF || b[page.size - 1] != 0xD9) {
            size_t eol = end;
            eol += (eol < size && data[eol] == 0x0D) ? 1 : 0;
            eol += (eol < size && data[eol] == 0x0A) ? 1 : 0;
            Require(MatchesAt(data, size, eol, "endstream"));
        }
    }

    const std::vector<ExtractedJpeg> copies = ScanJpegStreams(data, size, ReadJpegFrameSize);
    Require(copies.size() == views.size());
    for (size_t i = 0; i < copies.size(); ++i) {
        Require(copies[i].bytes.size() == views[i].size &&
                std::memcmp(copies[i].bytes.data(), views[i].data, views[i].size) == 0);
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
