// Image decoding and encoding for the image and PDF actions, over GDI+'s flat interface.
// Win32 side. Every object is handed out in a holder, so it is released on every path.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/gdiplus_flat.h"

// Index of the first encoder whose MIME type equals `mimeType` exactly, with its identifier in
// *clsid; -1 when there is none (then *clsid is left as it was).
int FindEncoderClsid(const wchar_t* mimeType, CLSID* clsid);

// One EncoderQuality parameter of type Long, built once per run and passed to every save.
class QualityParameter {
public:
    explicit QualityParameter(ULONG quality);
    QualityParameter(const QualityParameter&) = delete;
    QualityParameter& operator=(const QualityParameter&) = delete;
    const Gdiplus::EncoderParameters* get() const { return &params_; }
private:
    Gdiplus::EncoderParameters params_;
    ULONG quality_;
};

// Opens an image file; on a non-zero status the holder stays empty. This is the one place that
// picks the decoder: a WebP (known by its bytes, not its name) goes to libwebp, which GDI+ lacks,
// with an animation giving its first frame; everything else to GDI+; whatever that fails on is
// tried once more through WIC. The status is the first decoder's.
GpStatus OpenImageFile(const wchar_t* path, GdipImageHolder& image);

// A new bitmap holding a copy of top-down BGRA rows (straight alpha): 32bppARGB with alpha,
// 32bppRGB without. On a non-zero status the holder stays empty.
GpStatus BitmapFromBgra(const uint8_t* bgra, UINT width, UINT height, bool hasAlpha, GdipImageHolder& image);

// The EXIF orientation (1..8) as the library reports it; where it reports none, as the file's own
// EXIF block states it. 0 when there is none or it is out of range.
int ReadImageOrientation(GpImage* image, const wchar_t* path);

// Turns the image upright in place for orientations 2..8 and drops its orientation tag, so that a
// viewer does not turn the output a second time. Other values change nothing.
void ApplyOrientation(GpImage* image, int orientation);

bool HasAlphaChannel(GpImage* image);

// Drops every metadata item (EXIF, GPS, comments), so an encoder has nothing of it to copy.
void RemoveAllProperties(GpImage* image);

// A new 24-bit RGB bitmap of width x height, white, with the image drawn over it at (0, 0).
// On a non-zero status `flat` stays empty.
GpStatus FlattenOntoWhite(GpImage* image, UINT width, UINT height, GdipImageHolder& flat);

// Where an encode into memory stopped.
enum class EncodeStep { Done, CreateStream, Save, GetHGlobal, Lock };
struct EncodeResult {
    EncodeStep failedAt = EncodeStep::Done;
    HRESULT hr = S_OK;      // for CreateStream and GetHGlobal
    GpStatus status = Ok;   // for Save
    bool ok() const { return failedAt == EncodeStep::Done; }
};

// Encodes the image with the encoder into memory; `bytes` receives exactly the encoder's output
// (the stream's length, not the size of the memory block behind it).
EncodeResult EncodeToMemory(GpImage* image, const CLSID& encoder, const Gdiplus::EncoderParameters* params,
                            std::vector<uint8_t>& bytes);

// The encoder an output format gets, chosen once per run: GDI+'s by MIME type, except WebP, which
// libwebp writes (GDI+ has no WebP encoder) at quality 85 with the alpha channel kept.
struct ImageEncoder {
    bool webp = false;
    CLSID clsid = {};                                      // GDI+ only; left zero when not found
    const Gdiplus::EncoderParameters* params = nullptr;    // GDI+ only
};
ImageEncoder FindImageEncoder(const wchar_t* mimeType, const Gdiplus::EncoderParameters* params);

// Encodes with whichever encoder was chosen. A libwebp failure is reported as a failed save
// whose status is libwebp's error code.
EncodeResult EncodeImage(GpImage* image, const ImageEncoder& encoder, std::vector<uint8_t>& bytes);

// Creates `path` as a new file (never over an existing one) and writes all bytes. On any failure
// the partial file is removed. Returns 0 or the system error code.
DWORD WriteNewFile(const wchar_t* path, const uint8_t* data, size_t size);
