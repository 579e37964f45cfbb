// Image files for the imaging and PDF tests, made on the spot with GDI+ (so they work under Wine),
// and a decoder that reads an output back as plain ARGB pixels.
//
// The pattern has no symmetry: four quadrants of different colours, so a swapped axis, a missing
// or doubled rotation, a mirror or a red/blue swap each lands a wrong colour in a known corner.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/gdiplus_flat.h"
#include "base/notify_win.h"
#include "targets/targets_win.h"
#include "win_test_util.h"

namespace fixture {

// Quadrant colours of the pattern, as 0xAARRGGBB.
constexpr uint32_t kTopLeft = 0xFFE01010;      // red
constexpr uint32_t kTopRight = 0xFF10C010;     // green
constexpr uint32_t kBottomLeft = 0xFF1020E0;   // blue
constexpr uint32_t kBottomRight = 0xFFF0E020;  // yellow
constexpr uint32_t kTransparent = 0x00000000;
constexpr uint32_t kWhite = 0xFFFFFFFF;

// The pattern's colour at (x, y); with `transparentBottomRight` that quadrant is fully transparent.
inline uint32_t PatternColour(UINT x, UINT y, UINT width, UINT height, bool transparentBottomRight = false) {
    const bool right = x >= width / 2, bottom = y >= height / 2;
    if (!bottom) return right ? kTopRight : kTopLeft;
    if (!right) return kBottomLeft;
    return transparentBottomRight ? kTransparent : kBottomRight;
}

// The encoder for a MIME type, looked up here rather than through the code under test.
inline bool EncoderFor(const wchar_t* mime, CLSID& clsid) {
    UINT count = 0, size = 0;
    if (GdipGetImageEncodersSize(&count, &size) != Ok || size == 0) return false;
    std::vector<uint8_t> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (GdipGetImageEncoders(count, size, codecs) != Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, mime) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// Writes the pattern (width x height, 32-bit ARGB) with the encoder of `mime` ("image/png", "image/jpeg").
inline bool WritePattern(const std::wstring& path, const wchar_t* mime, UINT width, UINT height,
                         bool transparentBottomRight = false) {
    CLSID encoder;
    if (!EncoderFor(mime, encoder)) return false;
    std::vector<uint32_t> pixels(size_t(width) * height);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x)
            pixels[size_t(y) * width + x] = PatternColour(x, y, width, height, transparentBottomRight);
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), static_cast<INT>(width * 4),
                                  PixelFormat32bppARGB, reinterpret_cast<BYTE*>(pixels.data()), &bitmap) != Ok)
        return false;
    GdipImageHolder image(bitmap);
    return GdipSaveImageToFile(image.get(), path.c_str(), &encoder, nullptr) == Ok;
}

// A PNG with alpha: the pattern with its bottom-right quadrant fully transparent.
inline bool WriteTransparentPng(const std::wstring& path, UINT width = 64, UINT height = 48) {
    return WritePattern(path, L"image/png", width, height, true);
}

// An opaque JPEG of the pattern, made by the platform's encoder.
inline bool WritePatternJpeg(const std::wstring& path, UINT width = 64, UINT height = 48) {
    return WritePattern(path, L"image/jpeg", width, height, false);
}

// An APP1 "Exif" segment whose IFD0 holds only the orientation tag (SHORT, count 1).
inline std::string ExifOrientationSegment(int orientation, bool bigEndian = false) {
    auto u16 = [bigEndian](std::string& s, unsigned v) {
        if (bigEndian) s += {char(v >> 8), char(v & 0xFF)};
        else s += {char(v & 0xFF), char(v >> 8)};
    };
    auto u32 = [&u16, bigEndian](std::string& s, unsigned v) {
        if (bigEndian) {
            u16(s, v >> 16);
            u16(s, v & 0xFFFF);
        } else {
            u16(s, v & 0xFFFF);
            u16(s, v >> 16);
        }
    };
    std::string tiff = bigEndian ? "MM" : "II";
    u16(tiff, 42);
    u32(tiff, 8);                  // IFD0 right after the header
    u16(tiff, 1);                  // one entry
    u16(tiff, 0x0112);             // Orientation
    u16(tiff, 3);                  // SHORT
    u32(tiff, 1);                  // count
    u16(tiff, unsigned(orientation));
    u16(tiff, 0);                  // value field padding
    u32(tiff, 0);                  // no IFD1
    std::string body = std::string("Exif\0\0", 6) + tiff;
    const size_t length = body.size() + 2;
    return std::string{char(0xFF), char(0xE1), char(length >> 8), char(length & 0xFF)} + body;
}

// The JPEG with the EXIF segment inserted right after SOI; the bytes are otherwise unchanged.
inline std::string WithExifOrientation(const std::string& jpeg, int orientation, bool bigEndian = false) {
    if (jpeg.size() < 2) return jpeg;
    return jpeg.substr(0, 2) + ExifOrientationSegment(orientation, bigEndian) + jpeg.substr(2);
}

// A JPEG of the pattern as stored (width x height) that carries EXIF orientation `orientation`.
// Upright (as a viewer shows it) it is the pattern turned by that orientation.
inline bool WriteOrientedJpeg(const std::wstring& path, int orientation, UINT width = 64, UINT height = 48) {
    const std::wstring plain = path + L".plain.jpg";
    if (!WritePatternJpeg(plain, width, height)) return false;
    std::string bytes = ReadFileBytes(plain);
    DeleteFileW(plain.c_str());
    if (bytes.size() < 4) return false;
    return WriteFileBytes(path, WithExifOrientation(bytes, orientation));
}

// What a viewer shows at (u, v) of the upright picture of a pattern stored as storedWidth x
// storedHeight with EXIF orientation 1..8 (EXIF's meaning of the value, worked out independently
// of the library's rotate/flip types).
inline uint32_t UprightPatternColour(int orientation, UINT u, UINT v, UINT storedWidth, UINT storedHeight,
                                     bool transparentBottomRight = false) {
    const bool swapped = orientation >= 5;
    const UINT w = swapped ? storedHeight : storedWidth, h = swapped ? storedWidth : storedHeight;
    UINT sx = u, sy = v;
    switch (orientation) {
    case 2: sx = w - 1 - u; break;
    case 3: sx = w - 1 - u; sy = h - 1 - v; break;
    case 4: sy = h - 1 - v; break;
    case 5: sx = v; sy = u; break;
    case 6: sx = v; sy = w - 1 - u; break;
    case 7: sx = h - 1 - v; sy = w - 1 - u; break;
    case 8: sx = h - 1 - v; sy = u; break;
    default: break;
    }
    return PatternColour(sx, sy, storedWidth, storedHeight, transparentBottomRight);
}

// A file with an image extension whose bytes no decoder accepts.
inline bool WriteUndecodable(const std::wstring& path) {
    return WriteFileBytes(path, "this is not an image, only text with an image name\r\n");
}

// An image file read back as 32-bit ARGB rows.
struct DecodedImage {
    UINT width = 0;
    UINT height = 0;
    UINT pixelFormat = 0;
    std::vector<uint32_t> argb;
    uint32_t at(UINT x, UINT y) const { return argb[size_t(y) * width + x]; }
};

// An opened image's size, pixel format and pixels, converted to 32-bit ARGB.
inline bool ReadPixels(GpImage* image, DecodedImage& out) {
    out = {};
    Gdiplus::PixelFormat format = 0;
    if (!image || GdipGetImageWidth(image, &out.width) != Ok || GdipGetImageHeight(image, &out.height) != Ok ||
        GdipGetImagePixelFormat(image, &format) != Ok)
        return false;
    out.pixelFormat = format;
    out.argb.assign(size_t(out.width) * out.height, 0);
    Gdiplus::Rect rect(0, 0, static_cast<INT>(out.width), static_cast<INT>(out.height));
    Gdiplus::BitmapData data = {};
    data.Width = out.width;
    data.Height = out.height;
    data.Stride = static_cast<INT>(out.width * 4);
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = out.argb.data();
    // Our own buffer receives the pixels converted to ARGB, whatever the file's format.
    auto* bitmap = static_cast<GpBitmap*>(image);
    if (GdipBitmapLockBits(bitmap, &rect, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                           PixelFormat32bppARGB, &data) != Ok)
        return false;
    return GdipBitmapUnlockBits(bitmap, &data) == Ok;
}

inline bool DecodeImage(const std::wstring& path, DecodedImage& out) {
    out = {};
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Ok) return false;
    GdipImageHolder image(bitmap);
    return ReadPixels(image.get(), out);
}

// Each channel within `tolerance` (JPEG shifts colours a little).
inline bool ColourNear(uint32_t actual, uint32_t expected, int tolerance = 48) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = int((actual >> shift) & 0xFF), e = int((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) return false;
    }
    return true;
}

// The colour in the middle of each quadrant, in the order top-left, top-right, bottom-left, bottom-right.
inline std::vector<uint32_t> QuadrantColours(const DecodedImage& image) {
    const UINT w = image.width, h = image.height;
    return {image.at(w / 4, h / 4), image.at(3 * w / 4, h / 4), image.at(w / 4, 3 * h / 4),
            image.at(3 * w / 4, 3 * h / 4)};
}

// The expected colours at the same four points of the upright picture (see UprightPatternColour).
inline std::vector<uint32_t> UprightQuadrantColours(int orientation, UINT storedWidth, UINT storedHeight,
                                                    bool transparentBottomRight = false) {
    const bool swapped = orientation >= 5;
    const UINT w = swapped ? storedHeight : storedWidth, h = swapped ? storedWidth : storedHeight;
    std::vector<uint32_t> colours;
    for (auto [u, v] : {std::pair{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}})
        colours.push_back(UprightPatternColour(orientation, u, v, storedWidth, storedHeight, transparentBottomRight));
    return colours;
}

// Whether GDI+ reports an orientation property for the file.
inline bool LibraryReportsOrientation(const std::wstring& path) {
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Ok) return false;
    GdipImageHolder image(bitmap);
    UINT size = 0;
    return GdipGetPropertyItemSize(image.get(), 0x0112, &size) == Ok && size > 0;
}

}  // namespace fixture

// An action run on files of a fresh folder, with the log in a temporary folder of its own.
class ImageActionTest : public ::testing::Test {
protected:
    void SetUp() override {
        redirect_.emplace();
        folder_.emplace();
        targets.clear();
    }
    void TearDown() override {
        targets.clear();
        SetNotifyWindow(nullptr);
        folder_.reset();
        redirect_.reset();
    }
    std::wstring Path(const std::wstring& name) const { return folder_->path() + L"\\" + name; }

    std::optional<TempDirRedirect> redirect_;
    std::optional<TempFolder> folder_;
};
