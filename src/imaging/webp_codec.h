// WebP encoding and decoding over libwebp, on plain 32-bit pixel buffers. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/pixel_buffer.h"

// The quality of every WebP the program writes (lossy, 0..100).
constexpr float kWebpQuality = 85.0f;

// Byte order of one 32-bit pixel in memory. Bgra is what GDI+ and WIC hand out.
enum class PixelOrder { Bgra, Rgba };

// A decoded picture: top-down rows of width * 4 bytes, BGRA, straight (not premultiplied) alpha.
struct WebpPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    bool hasAlpha = false;  // the file carries an alpha channel
    PixelBuffer bgra;
};

// "RIFF" <size> "WEBP": the file's first 12 bytes say it is a WebP, whatever its name.
bool IsWebpSignature(const uint8_t* data, size_t size);

// Lossy WebP at kWebpQuality; with `keepAlpha` the alpha channel is encoded too (dropped when
// every pixel is opaque). `stride` is the byte distance between rows. Returns the libwebp error
// code (0 for success); `out` holds the file's bytes on success and is empty otherwise.
int EncodeWebp(const uint8_t* pixels, uint32_t width, uint32_t height, size_t stride, PixelOrder order,
               bool keepAlpha, std::vector<uint8_t>& out);

// Decodes a WebP file's bytes; an animation gives its first frame on the full canvas. Returns the
// libwebp status code (0 for success); `picture` is left empty on failure.
int DecodeWebp(const uint8_t* data, size_t size, WebpPicture& picture);
