#include "pdf/jpeg_frame.h"

#include <cstring>

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

// APP14 with the identifier "Adobe"; `segment` starts at the length field.
bool IsAdobeSegment(uint8_t marker, const uint8_t* segment, uint32_t length) {
    return marker == 0xEE && length >= 2 + 5 && std::memcmp(segment + 2, "Adobe", 5) == 0;
}

}  // namespace

std::optional<JpegFrameInfo> ReadJpegFrameInfo(const uint8_t* data, size_t size) {
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        return std::nullopt;
    }
    std::optional<JpegFrameInfo> info;
    bool adobe = false;
    size_t pos = 2;
    // Before the frame header every fault rejects the file; after it the walk only goes on to find
    // an Adobe segment placed between the frame and the scan, and stops quietly at anything odd.
    const auto finish = [&info, &adobe]() -> std::optional<JpegFrameInfo> {
        if (info) {
            info->adobe = adobe;
        }
        return info;
    };
    while (pos < size) {
        if (data[pos] != 0xFF) {
            return finish();  // garbage where a marker must stand
        }
        // Any number of FF fill bytes may precede a marker code.
        while (pos < size && data[pos] == 0xFF) {
            ++pos;
        }
        if (pos >= size) {
            return finish();
        }
        const uint8_t marker = data[pos++];
        if (IsStandaloneMarker(marker)) {
            continue;
        }
        if (marker == 0x00 || marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
            // A stuffed zero, a second image start, the image end or the scan: without a frame
            // header before it this is not a usable image.
            return finish();
        }
        if (size - pos < 2) {
            return finish();
        }
        const uint32_t length = ReadBigEndian16(data + pos);
        if (length < 2 || length > size - pos) {
            return finish();
        }
        if (IsAdobeSegment(marker, data + pos, length)) {
            adobe = true;
        } else if (IsFrameMarker(marker) && !info) {
            // length(2) precision(1) height(2) width(2) components(1), then 3 bytes per component.
            if (length < 8) {
                return std::nullopt;
            }
            const uint8_t* frame = data + pos;
            const uint32_t components = frame[7];
            if (components == 0 || length < 8 + 3 * components) {
                return std::nullopt;
            }
            JpegFrameInfo found;
            found.marker = marker;
            found.precision = frame[2];
            found.height = ReadBigEndian16(frame + 3);
            found.width = ReadBigEndian16(frame + 5);
            found.components = static_cast<uint8_t>(components);
            if (found.width == 0 || found.height == 0) {
                return std::nullopt;
            }
            info = found;
        }
        pos += length;
    }
    return finish();
}

std::optional<JpegDimensions> ReadJpegFrameSize(const uint8_t* data, size_t size) {
    const std::optional<JpegFrameInfo> info = ReadJpegFrameInfo(data, size);
    if (!info) {
        return std::nullopt;
    }
    return JpegDimensions{info->width, info->height};
}
