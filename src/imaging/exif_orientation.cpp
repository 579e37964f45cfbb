#include "imaging/exif_orientation.h"

#include <cstring>

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kTypeShort = 3;
constexpr size_t kIfdEntrySize = 12;

uint16_t ReadU16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}

uint32_t ReadU32(const uint8_t* p, bool bigEndian) {
    return bigEndian ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                     : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

bool IsStandaloneMarker(uint8_t marker) {
    // TEM and the restart markers carry no length.
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

}  // namespace

int ReadTiffOrientation(const uint8_t* tiff, size_t size) {
    if (!tiff || size < 8) return 0;
    bool bigEndian;
    if (tiff[0] == 'I' && tiff[1] == 'I') bigEndian = false;
    else if (tiff[0] == 'M' && tiff[1] == 'M') bigEndian = true;
    else return 0;
    if (ReadU16(tiff + 2, bigEndian) != 42) return 0;

    const uint32_t ifd0 = ReadU32(tiff + 4, bigEndian);
    if (ifd0 > size || size - ifd0 < 2) return 0;
    const uint16_t count = ReadU16(tiff + ifd0, bigEndian);
    // Only IFD0 is read, so a chain of IFDs that loops back cannot hold us.
    const size_t entries = ifd0 + size_t(2);
    for (uint16_t i = 0; i < count; ++i) {
        const size_t at = entries + size_t(i) * kIfdEntrySize;
        if (at > size || size - at < kIfdEntrySize) return 0;
        const uint8_t* entry = tiff + at;
        if (ReadU16(entry, bigEndian) != kOrientationTag) continue;
        if (ReadU16(entry + 2, bigEndian) != kTypeShort || ReadU32(entry + 4, bigEndian) != 1) return 0;
        // A single SHORT sits in the first two bytes of the value field, in the file's byte order.
        const uint16_t value = ReadU16(entry + 8, bigEndian);
        return value >= 1 && value <= 8 ? value : 0;
    }
    return 0;
}

int ReadJpegExifOrientation(const uint8_t* data, size_t size) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return 0;
    size_t pos = 2;
    while (pos < size) {
        if (data[pos] != 0xFF) return 0;
        // Any number of fill bytes may precede a marker.
        while (pos < size && data[pos] == 0xFF) ++pos;
        if (pos >= size) return 0;
        const uint8_t marker = data[pos++];
        if (IsStandaloneMarker(marker)) continue;
        // Start of scan or end of image: the metadata segments are behind us.
        if (marker == 0xDA || marker == 0xD9 || marker == 0x00) return 0;
        if (size - pos < 2) return 0;
        const size_t length = size_t(data[pos]) << 8 | data[pos + 1];
        if (length < 2 || length > size - pos) return 0;
        const uint8_t* body = data + pos + 2;
        const size_t bodySize = length - 2;
        if (marker == 0xE1 && bodySize >= 6 && std::memcmp(body, "Exif\0\0", 6) == 0)
            return ReadTiffOrientation(body + 6, bodySize - 6);
        pos += length;  // length >= 2, so every round moves forward
    }
    return 0;
}
