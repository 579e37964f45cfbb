#include "pdf/pdf_split.h"

#include <algorithm>
#include <compare>
#include <cstring>

namespace {

constexpr uint8_t kStream[] = {'s', 't', 'r', 'e', 'a', 'm'};
constexpr uint8_t kEndstream[] = {'e', 'n', 'd', 's', 't', 'r', 'e', 'a', 'm'};
constexpr uint8_t kLengthKey[] = {'/', 'L', 'e', 'n', 'g', 't', 'h'};
constexpr uint8_t kThumbKey[] = {'/', 'T', 'h', 'u', 'm', 'b'};
constexpr size_t kMinPageBytes = 101;      // a body of 100 bytes or less is never a page
constexpr size_t kMaxNumberDigits = 15;    // object numbers and lengths of any real file fit easily

bool IsLineBreak(uint8_t b) {
    return b == 0x0A || b == 0x0D;
}

bool StartsJpeg(const uint8_t* p) {
    return p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF;
}

// PDF white-space characters.
bool IsWhite(uint8_t b) {
    return b == 0x00 || b == 0x09 || b == 0x0A || b == 0x0C || b == 0x0D || b == 0x20;
}

bool IsDigit(uint8_t b) {
    return b >= '0' && b <= '9';
}

// Whether a token may end before `b`: white space or a PDF delimiter.
bool EndsToken(uint8_t b) {
    return IsWhite(b) || std::memchr("()<>[]{}/%", b, 10) != nullptr;
}

bool Matches(const uint8_t* bytes, size_t size, size_t pos, const uint8_t* pattern, size_t patternSize) {
    return pos <= size && size - pos >= patternSize && std::memcmp(bytes + pos, pattern, patternSize) == 0;
}

size_t SkipWhite(const uint8_t* bytes, size_t pos, size_t end) {
    while (pos < end && IsWhite(bytes[pos])) {
        ++pos;
    }
    return pos;
}

// An unsigned decimal number at `pos`, which must end in a token end (or at `end`).
std::optional<uint64_t> ReadNumber(const uint8_t* bytes, size_t& pos, size_t end) {
    uint64_t value = 0;
    const size_t first = pos;
    while (pos < end && IsDigit(bytes[pos])) {
        if (pos - first == kMaxNumberDigits) {
            return std::nullopt;
        }
        value = value * 10 + (bytes[pos] - '0');
        ++pos;
    }
    if (pos == first || (pos < end && !EndsToken(bytes[pos]))) {
        return std::nullopt;
    }
    return value;
}

struct ObjectRef {
    uint64_t number = 0;
    uint64_t generation = 0;
    auto operator<=>(const ObjectRef&) const = default;
};

// "N G R" (white space between the parts) from `pos` on, within `end`.
std::optional<ObjectRef> ReadReference(const uint8_t* bytes, size_t pos, size_t end) {
    pos = SkipWhite(bytes, pos, end);
    const std::optional<uint64_t> number = ReadNumber(bytes, pos, end);
    if (!number || pos == end || !IsWhite(bytes[pos])) {
        return std::nullopt;
    }
    pos = SkipWhite(bytes, pos, end);
    const std::optional<uint64_t> generation = ReadNumber(bytes, pos, end);
    if (!generation || pos == end || !IsWhite(bytes[pos])) {
        return std::nullopt;
    }
    pos = SkipWhite(bytes, pos, end);
    if (pos == end || bytes[pos] != 'R' || (pos + 1 < end && !EndsToken(bytes[pos + 1]))) {
        return std::nullopt;
    }
    return ObjectRef{*number, *generation};
}

// The objects named by "/Thumb N G R" in [from, to): page thumbnails, which are images but not pages.
void CollectThumbnails(const uint8_t* bytes, size_t from, size_t to, std::vector<ObjectRef>& thumbnails) {
    while (from < to) {
        const std::optional<size_t> found = FindBytes(bytes + from, to - from, kThumbKey, sizeof(kThumbKey));
        if (!found) {
            return;
        }
        const size_t after = from + *found + sizeof(kThumbKey);
        if (after < to && EndsToken(bytes[after])) {
            if (const std::optional<ObjectRef> ref = ReadReference(bytes, after, to)) {
                thumbnails.push_back(*ref);
            }
        }
        from = after;
    }
}

// "N G obj" with "obj" at `objAt`, read backwards; nothing before `from` is part of it.
std::optional<ObjectRef> ReadObjectHeader(const uint8_t* bytes, size_t from, size_t objAt) {
    size_t pos = objAt;
    size_t ends[2] = {};
    size_t starts[2] = {};
    for (int part = 1; part >= 0; --part) {  // the generation first, then the object number
        if (pos == from || !IsWhite(bytes[pos - 1])) {
            return std::nullopt;
        }
        while (pos > from && IsWhite(bytes[pos - 1])) {
            --pos;
        }
        ends[part] = pos;
        while (pos > from && IsDigit(bytes[pos - 1])) {
            --pos;
        }
        starts[part] = pos;
        if (starts[part] == ends[part]) {
            return std::nullopt;
        }
    }
    if (pos > 0 && !EndsToken(bytes[pos - 1])) {
        return std::nullopt;
    }
    size_t at = starts[0];
    const std::optional<uint64_t> number = ReadNumber(bytes, at, ends[0]);
    at = starts[1];
    const std::optional<uint64_t> generation = ReadNumber(bytes, at, ends[1]);
    if (!number || !generation) {
        return std::nullopt;
    }
    return ObjectRef{*number, *generation};
}

// What the text before one "stream" keyword says about its stream: the object it belongs to and a
// direct /Length. Only [from, keyword) is looked at: the text since the previous stream.
struct StreamHead {
    std::optional<ObjectRef> object;
    std::optional<uint64_t> length;
};

StreamHead ReadStreamHead(const uint8_t* bytes, size_t from, size_t keyword) {
    StreamHead head;
    if (keyword >= 3 && std::memcmp(bytes + keyword - 3, "end", 3) == 0) {
        return head;  // the tail of "endstream" opens nothing
    }
    size_t dictEnd = keyword;
    while (dictEnd > from && IsWhite(bytes[dictEnd - 1])) {
        --dictEnd;
    }
    if (dictEnd - from < 2 || bytes[dictEnd - 1] != '>' || bytes[dictEnd - 2] != '>') {
        return head;
    }
    // The nearest "N G obj" before the dictionary; an "endobj" on the way means the stream has none.
    size_t objAt = dictEnd - 2;
    while (objAt > from + 2) {
        --objAt;
        if (bytes[objAt] != 'o' || bytes[objAt + 1] != 'b' || bytes[objAt + 2] != 'j') {
            continue;
        }
        if (objAt >= 3 && std::memcmp(bytes + objAt - 3, "end", 3) == 0) {
            return head;
        }
        if (!EndsToken(bytes[objAt + 3])) {
            continue;
        }
        head.object = ReadObjectHeader(bytes, from, objAt);
        if (head.object) {
            break;
        }
    }
    if (!head.object) {
        return head;
    }

    // The dictionary's /Length (not /Length1 and the like), when it is a plain integer.
    size_t pos = objAt + 3;
    while (pos < dictEnd) {
        const std::optional<size_t> found = FindBytes(bytes + pos, dictEnd - pos, kLengthKey, sizeof(kLengthKey));
        if (!found) {
            return head;
        }
        pos += *found + sizeof(kLengthKey);
        if (pos < dictEnd && EndsToken(bytes[pos])) {
            break;
        }
    }
    pos = SkipWhite(bytes, pos, dictEnd);
    const std::optional<uint64_t> length = ReadNumber(bytes, pos, dictEnd);
    pos = SkipWhite(bytes, pos, dictEnd);
    if (length && pos < dictEnd && !IsDigit(bytes[pos])) {  // a digit here starts "G R": indirect
        head.length = length;
    }
    return head;
}

// Where "endstream" stands when the body of `length` bytes from `start` is followed by an optional
// end-of-line (CR, LF or CR LF) and the keyword; nothing when it is not there.
std::optional<size_t> EndstreamAfter(const uint8_t* bytes, size_t size, size_t start, uint64_t length) {
    if (length > size - start) {
        return std::nullopt;
    }
    size_t at = start + static_cast<size_t>(length);
    if (at < size && bytes[at] == 0x0D) {
        ++at;
    }
    if (at < size && bytes[at] == 0x0A) {
        ++at;
    }
    if (!Matches(bytes, size, at, kEndstream, sizeof(kEndstream))) {
        return std::nullopt;
    }
    return at;
}

// A body that passed the byte tests; the decoder has the last word.
struct Candidate {
    size_t start = 0;
    size_t size = 0;
    std::optional<ObjectRef> object;
};

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

size_t ForEachJpegStream(const uint8_t* bytes, size_t size, const JpegDecoder& decoder,
                         const std::function<void(size_t pageNumber, const JpegStreamView& page)>& onPage) {
    if (bytes == nullptr || size <= 5) {
        return 0;
    }
    // Bodies are only noted during the scan and confirmed afterwards: a /Thumb entry may come after
    // the thumbnail it names. /Thumb is looked for only in the text between streams, so image data
    // that happens to spell it cannot hide a page.
    std::vector<Candidate> candidates;
    std::vector<ObjectRef> thumbnails;

    // Once a search for "endstream" from some position fails, it fails from every later position
    // too. Remembering that keeps a file full of JPEG starts without an "endstream" from being
    // searched to its end again for each of them.
    size_t noEndstreamFrom = size;

    size_t base = 0;
    for (;;) {
        const std::optional<size_t> found = FindBytes(bytes + base, size - base, kStream, sizeof(kStream));
        if (!found) {
            CollectThumbnails(bytes, base, size, thumbnails);
            break;
        }
        const size_t keyword = base + *found;
        CollectThumbnails(bytes, base, keyword, thumbnails);
        const StreamHead head = ReadStreamHead(bytes, base, keyword);
        size_t start = keyword + sizeof(kStream);
        while (start < size && IsLineBreak(bytes[start])) {
            ++start;
        }
        if (start + 3 >= size) {
            break;
        }

        // A length that "endstream" confirms gives the body exactly, whatever bytes it holds.
        const std::optional<size_t> trustedEnd =
            head.length ? EndstreamAfter(bytes, size, start, *head.length) : std::nullopt;
        if (trustedEnd) {
            const size_t bodySize = static_cast<size_t>(*head.length);
            if (bodySize >= kMinPageBytes && StartsJpeg(bytes + start)) {
                candidates.push_back({start, bodySize, head.object});
            }
            if (*trustedEnd + 12 >= size) {
                break;
            }
            base = *trustedEnd + sizeof(kEndstream);
            if (size - base <= 5) {
                break;
            }
            continue;
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
        if (bodySize >= kMinPageBytes && bytes[end - 2] == 0xFF && bytes[end - 1] == 0xD9) {
            candidates.push_back({start, bodySize, head.object});
        }

        if (endstream + 12 >= size) {
            break;
        }
        base = endstream + sizeof(kEndstream);
        if (size - base <= 5) {
            break;
        }
    }

    std::sort(thumbnails.begin(), thumbnails.end());
    size_t pages = 0;
    for (const Candidate& candidate : candidates) {
        if (!decoder ||
            (candidate.object && std::binary_search(thumbnails.begin(), thumbnails.end(), *candidate.object))) {
            continue;
        }
        const std::optional<JpegDimensions> dims = decoder(bytes + candidate.start, candidate.size);
        if (!dims || dims->width == 0 || dims->height == 0) {
            continue;
        }
        ++pages;
        if (onPage) {
            onPage(pages, JpegStreamView{bytes + candidate.start, candidate.size, dims->width, dims->height});
        }
    }
    return pages;
}

std::vector<ExtractedJpeg> ScanJpegStreams(const uint8_t* bytes, size_t size, const JpegDecoder& decoder) {
    std::vector<ExtractedJpeg> pages;
    ForEachJpegStream(bytes, size, decoder, [&pages](size_t, const JpegStreamView& page) {
        ExtractedJpeg& copy = pages.emplace_back();
        copy.bytes.assign(page.data, page.data + page.size);
        copy.width = page.width;
        copy.height = page.height;
    });
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
