#include "pdf/jpeg_frame.h"

namespace {

uint32_t ReadBigEndian16(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 8) | p[1];
}

// C4 (huffman tables), C8 (reserved for extensions) and CC (arithmetic conditioning) share the
// C0..CF range with the frame headers but are not frames.
bool IsFrameMarker(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length field: TEM and the restart markers.
bool IsStandaloneMarker(uint8_t marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

}  // namespace

std::optional<JpegDimensions> ReadJpegFrameSize(const uint8_t* data, size_t size) {
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        return std::nullopt;
    }
    size_t pos = 2;
    while (pos < size) {
        if (data[pos] != 0xFF) {
            return std::nullopt;  // garbage where a marker must stand
        }
        // Any number of FF fill bytes may precede a marker code.
        while (pos < size && data[pos] == 0xFF) {
            ++pos;
        }
        if (pos >= size) {
            return std::nullopt;
        }
        const uint8_t marker = data[pos++];
        if (IsStandaloneMarker(marker)) {
            continue;
        }
        if (marker == 0x00 || marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
            // A stuffed zero, a second image start, the image end or the scan: no frame header
            // came first, so this is not a usable image.
            return std::nullopt;
        }
        if (size - pos < 2) {
            return std::nullopt;
        }
        const uint32_t length = ReadBigEndian16(data + pos);
        if (length < 2 || length > size - pos) {
            return std::nullopt;
        }
        if (IsFrameMarker(marker)) {
            // length(2) precision(1) height(2) width(2) components(1), then 3 bytes per component.
            if (length < 8) {
                return std::nullopt;
            }
            const uint8_t* frame = data + pos;
            const uint32_t components = frame[7];
            if (components == 0 || length < 8 + 3 * components) {
                return std::nullopt;
            }
            JpegDimensions dims;
            dims.height = ReadBigEndian16(frame + 3);
            dims.width = ReadBigEndian16(frame + 5);
            if (dims.width == 0 || dims.height == 0) {
                return std::nullopt;
            }
            return dims;
        }
        pos += length;
    }
    return std::nullopt;
}
