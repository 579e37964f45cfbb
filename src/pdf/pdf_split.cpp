#include "pdf/pdf_split.h"

#include <cstring>

namespace {

constexpr uint8_t kStream[] = {'s', 't', 'r', 'e', 'a', 'm'};
constexpr uint8_t kEndstream[] = {'e', 'n', 'd', 's', 't', 'r', 'e', 'a', 'm'};
constexpr size_t kMinPageBytes = 101;  // a body of 100 bytes or less is never a page

bool IsLineBreak(uint8_t b) {
    return b == 0x0A || b == 0x0D;
}

bool StartsJpeg(const uint8_t* p) {
    return p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF;
}

}  // namespace

std::optional<size_t> FindBytes(const uint8_t* range, size_t rangeSize, const uint8_t* pattern, size_t patternSize) {
    if (range == nullptr || pattern == nullptr || patternSize == 0 || patternSize > rangeSize) {
        return std::nullopt;
    }
    const uint8_t first = pattern[0];
    const uint8_t last = pattern[patternSize - 1];
    const uint8_t* const lastStart = range + (rangeSize - patternSize);
    const uint8_t* p = range;
    while (p <= lastStart) {
        // memchr is the vectorised first-byte test; the last byte is checked before memcmp is
        // called, because most first-byte hits in compressed data are chance ones.
        p = static_cast<const uint8_t*>(std::memchr(p, first, static_cast<size_t>(lastStart - p) + 1));
        if (p == nullptr) {
            return std::nullopt;
        }
        if (p[patternSize - 1] == last && std::memcmp(p + 1, pattern + 1, patternSize - 1) == 0) {
            return static_cast<size_t>(p - range);
        }
        ++p;
    }
    return std::nullopt;
}

std::vector<ExtractedJpeg> ScanJpegStreams(const uint8_t* bytes, size_t size, const JpegDecoder& decoder,
                                           const JpegPageObserver& onPage) {
    std::vector<ExtractedJpeg> pages;
    if (bytes == nullptr || size <= 5) {
        return pages;
    }
    // Once a search for "endstream" from some position fails, it fails from every later position
    // too. Remembering that keeps a file full of JPEG starts without an "endstream" from being
    // searched to its end again for each of them.
    size_t noEndstreamFrom = size;

    size_t base = 0;
    for (;;) {
        const std::optional<size_t> found = FindBytes(bytes + base, size - base, kStream, sizeof(kStream));
        if (!found) {
            break;
        }
        size_t start = base + *found + sizeof(kStream);
        while (start < size && IsLineBreak(bytes[start])) {
            ++start;
        }
        if (start + 3 >= size) {
            break;
        }
        base = start;
        const size_t remaining = size - start;
        if (!StartsJpeg(bytes + start) || remaining <= 8) {
            if (remaining > 5) {
                continue;
            }
            break;
        }

        std::optional<size_t> endFound;
        if (start < noEndstreamFrom) {
            endFound = FindBytes(bytes + start, remaining, kEndstream, sizeof(kEndstream));
            if (!endFound) {
                noEndstreamFrom = start;
            }
        }
        if (!endFound) {
            continue;  // resumes the search for "stream" from this body's start
        }
        const size_t endstream = start + *endFound;
        size_t end = endstream;
        while (end > start && IsLineBreak(bytes[end - 1])) {
            --end;
        }
        const size_t bodySize = end - start;
        if (bodySize >= kMinPageBytes && bytes[end - 2] == 0xFF && bytes[end - 1] == 0xD9 && decoder) {
            const std::optional<JpegDimensions> dims = decoder(bytes + start, bodySize);
            if (dims && dims->width > 0 && dims->height > 0) {
                ExtractedJpeg& page = pages.emplace_back();
                page.bytes.assign(bytes + start, bytes + end);
                page.width = dims->width;
                page.height = dims->height;
                if (onPage) {
                    onPage(pages.size(), page);
                }
            }
        }

        if (endstream + 12 >= size) {
            break;
        }
        base = endstream + sizeof(kEndstream);
        if (size - base <= 5) {
            break;
        }
    }
    return pages;
}

std::wstring SplitBaseName(std::wstring_view fileName) {
    constexpr std::wstring_view kMerged = L"-merged";
    if (fileName.size() >= kMerged.size() && fileName.substr(fileName.size() - kMerged.size()) == kMerged) {
        fileName.remove_suffix(kMerged.size());
    }
    return std::wstring(fileName);
}

std::wstring PageSuffix(size_t pageNumber) {
    std::wstring suffix = L"-page-";
    if (pageNumber < 10) {
        suffix += L'0';
    }
    suffix += std::to_wstring(pageNumber);
    return suffix;
}
