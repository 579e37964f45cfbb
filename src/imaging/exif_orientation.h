// The EXIF orientation stated in a JPEG file's own bytes, for decoders that do not report it.
#pragma once

#include <cstddef>
#include <cstdint>

// The APP1 "Exif" segment sits among the first segments; this much of a file is enough to find it
// (a segment is at most 64 KiB, and only small ones usually come before it).
inline constexpr size_t kExifProbeBytes = 128 * 1024;

// Walks the marker segments from SOI to the first APP1 "Exif\0\0" segment and reads tag 0x0112 of
// IFD0 (type SHORT, count 1) in either byte order. Returns 1..8, or 0 when the bytes are not a
// JPEG, the tag is absent or malformed, or its value is out of range. Never reads outside
// [data, data + size), whatever the offsets and lengths in the file say.
int ReadJpegExifOrientation(const uint8_t* data, size_t size);

// The same for a TIFF structure (the body of the EXIF segment after "Exif\0\0").
int ReadTiffOrientation(const uint8_t* tiff, size_t size);
