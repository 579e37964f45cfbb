#include "imaging/codec_win.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "base/log_line.h"
#include "base/win_handles.h"
#include "imaging/exif_orientation.h"
#include "imaging/webp_codec.h"
#include "imaging/wic_win.h"

namespace {

// {1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}; spelled out so no import library has to provide it.
constexpr GUID kEncoderQuality = {0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};
constexpr ULONG kValueTypeLong = 4;
constexpr PROPID kOrientationTag = 0x0112;
constexpr WORD kPropertyTypeShort = 3;
constexpr Gdiplus::PixelFormat kAlphaFlag = 0x00040000;
constexpr Gdiplus::PixelFormat kIndexedFlag = 0x00010000;
constexpr UINT kPaletteHasAlpha = 0x0001;
// What we report when GDI+ hands back rows libwebp cannot take (a bottom-up lock).
constexpr int kWebpBadDimension = 4;  // libwebp's VP8_ENC_ERROR_BAD_DIMENSION

// Memory the library asks us to allocate and that we free ourselves.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using MallocBuffer = std::unique_ptr<uint8_t, FreeDeleter>;

MallocBuffer Allocate(size_t size) { return MallocBuffer(static_cast<uint8_t*>(std::malloc(size))); }

int OrientationFromFile(const wchar_t* path) {
    if (!path) return 0;
    ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    std::unique_ptr<uint8_t[]> head(new (std::nothrow) uint8_t[kExifProbeBytes]);
    if (!head) return 0;
    size_t filled = 0;
    while (filled < kExifProbeBytes) {
        DWORD got = 0;
        if (!ReadFile(file.get(), head.get() + filled, static_cast<DWORD>(kExifProbeBytes - filled), &got, nullptr) ||
            got == 0)
            break;
        filled += got;
    }
    return ReadJpegExifOrientation(head.get(), filled);
}

// An indexed image whose palette has a transparent entry (a GIF or a paletted PNG).
bool PaletteHasAlpha(GpImage* image) {
    INT size = 0;
    if (GdipGetImagePaletteSize(image, &size) != Ok || size < static_cast<INT>(sizeof(Gdiplus::ColorPalette)))
        return false;
    MallocBuffer buffer = Allocate(static_cast<size_t>(size));
    if (!buffer) return false;
    auto* palette = reinterpret_cast<Gdiplus::ColorPalette*>(buffer.get());
    if (GdipGetImagePalette(image, palette, size) != Ok) return false;
    return (palette->Flags & kPaletteHasAlpha) != 0;
}

// WebP files are known by their first bytes: a renamed one is still a WebP, and a .webp that
// is really a PNG still goes to GDI+.
bool IsWebpFile(const wchar_t* path) {
    ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    uint8_t head[12];
    DWORD got = 0;
    return ReadFile(file.get(), head, sizeof head, &got, nullptr) && IsWebpSignature(head, got);
}

// The whole file is read into memory; a cap far above any real picture keeps a bogus one from
// taking all of it.
constexpr ULONGLONG kMaxWebpFileBytes = 512ull * 1024 * 1024;

DWORD ReadWholeFile(const wchar_t* path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) return GetLastError();
    if (size.QuadPart < 0 || ULONGLONG(size.QuadPart) > kMaxWebpFileBytes) return ERROR_FILE_TOO_LARGE;
    try {
        bytes.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    size_t filled = 0;
    while (filled < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled), &got, nullptr))
            return GetLastError();
        if (got == 0) break;
        filled += got;
    }
    bytes.resize(filled);
    return ERROR_SUCCESS;
}

GpStatus OpenWebp(const wchar_t* path, GdipImageHolder& image) {
    std::vector<uint8_t> bytes;
    if (DWORD err = ReadWholeFile(path, bytes); err != ERROR_SUCCESS) {
        LogMessage(L"    WebP read failed for %ls, err=%lu", path, err);
        return Gdiplus::Win32Error;
    }
    WebpPicture picture;
    const int webpStatus = DecodeWebp(bytes.data(), bytes.size(), picture);
    bytes = {};
    if (webpStatus != 0) {
        LogMessage(L"    WebP decode failed for %ls, status=%d", path, webpStatus);
        return Gdiplus::UnknownImageFormat;
    }
    return BitmapFromBgra(picture.bgra.data(), picture.width, picture.height, picture.hasAlpha, image);
}

// The second chance for a file the first decoder refused.
bool OpenWithWic(const wchar_t* path, GdipImageHolder& image) {
    WicPicture picture;
    const HRESULT hr = DecodeFileWithWic(path, picture);
    if (FAILED(hr)) {
        LogMessage(L"    WIC decode failed for %ls, hr=0x%08X", path, static_cast<unsigned>(hr));
        return false;
    }
    const GpStatus status = BitmapFromBgra(picture.bgra.data(), picture.width, picture.height, picture.hasAlpha, image);
    if (status != Ok) {
        LogMessage(L"    WIC picture not taken for %ls, status=%d", path, static_cast<int>(status));
        return false;
    }
    LogMessage(L"    Decoded through WIC: %ls", path);
    return true;
}

}  // namespace

int FindEncoderClsid(const wchar_t* mimeType, CLSID* clsid) {
    UINT count = 0;
    UINT size = 0;
    GdipGetImageEncodersSize(&count, &size);
    if (size == 0) return -1;
    MallocBuffer buffer = Allocate(size);
    if (!buffer) return -1;
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    GdipGetImageEncoders(count, size, codecs);
    // Never walk past the bytes the library filled, whatever count it reported.
    const UINT fits = static_cast<UINT>(size / sizeof(Gdiplus::ImageCodecInfo));
    for (UINT i = 0; i < count && i < fits; ++i) {
        if (mimeType && codecs[i].MimeType && wcscmp(codecs[i].MimeType, mimeType) == 0) {
            if (clsid) *clsid = codecs[i].Clsid;
            return static_cast<int>(i);
        }
    }
    return -1;
}

QualityParameter::QualityParameter(ULONG quality) : params_{}, quality_(quality) {
    params_.Count = 1;
    params_.Parameter[0].Guid = kEncoderQuality;
    params_.Parameter[0].NumberOfValues = 1;
    params_.Parameter[0].Type = kValueTypeLong;
    params_.Parameter[0].Value = &quality_;
}

GpStatus OpenImageFile(const wchar_t* path, GdipImageHolder& image) {
    image.reset();
    GpStatus status = Ok;
    if (IsWebpFile(path)) {
        status = OpenWebp(path, image);
    } else {
        GpBitmap* bitmap = nullptr;
        status = GdipCreateBitmapFromFile(path, &bitmap);
        // Whatever the library handed out is released, also on a failed status.
        GdipImageHolder opened(bitmap);
        if (status == Ok && !opened) status = Gdiplus::GenericError;
        if (status == Ok) image = std::move(opened);
    }
    if (status == Ok) return Ok;
    return OpenWithWic(path, image) ? Ok : status;
}

GpStatus BitmapFromBgra(const uint8_t* bgra, UINT width, UINT height, bool hasAlpha, GdipImageHolder& image) {
    image.reset();
    if (!bgra || width == 0 || height == 0 || width > 0x1FFFFFFF || height > 0x7FFFFFFF)
        return Gdiplus::InvalidParameter;
    const Gdiplus::PixelFormat format = hasAlpha ? PixelFormat32bppARGB : PixelFormat32bppRGB;
    GpBitmap* bitmap = nullptr;
    GpStatus status =
        GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0, format, nullptr, &bitmap);
    GdipImageHolder created(bitmap);
    if (status != Ok) return status;
    if (!created) return Gdiplus::OutOfMemory;
    // The bitmap owns its pixels: our rows are copied in when the lock ends.
    Gdiplus::Rect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data = {};
    data.Width = width;
    data.Height = height;
    data.Stride = static_cast<INT>(width * 4);
    data.PixelFormat = format;
    data.Scan0 = const_cast<uint8_t*>(bgra);
    status = GdipBitmapLockBits(bitmap, &rect, Gdiplus::ImageLockModeWrite | Gdiplus::ImageLockModeUserInputBuf,
                                format, &data);
    if (status != Ok) return status;
    status = GdipBitmapUnlockBits(bitmap, &data);
    if (status != Ok) return status;
    image = std::move(created);
    return Ok;
}

int ReadImageOrientation(GpImage* image, const wchar_t* path) {
    if (!image) return 0;
    UINT size = 0;
    if (GdipGetPropertyItemSize(image, kOrientationTag, &size) == Ok && size >= sizeof(Gdiplus::PropertyItem)) {
        MallocBuffer buffer = Allocate(size);
        if (!buffer) return 0;
        auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.get());
        if (GdipGetPropertyItem(image, kOrientationTag, size, item) != Ok || !item->value || item->length < 2 ||
            item->type != kPropertyTypeShort)
            return 0;
        WORD value;
        std::memcpy(&value, item->value, sizeof value);
        return value >= 1 && value <= 8 ? value : 0;
    }
    // Some decoders keep no EXIF properties at all; the file still states how it is meant to stand.
    return OrientationFromFile(path);
}

void ApplyOrientation(GpImage* image, int orientation) {
    // The mirrored orientations 5 and 7 are done as a turn followed by a mirror: implementations
    // disagree on the order inside the combined types Rotate90FlipX and Rotate270FlipX, while the
    // plain turns and the plain mirror mean the same everywhere.
    static constexpr struct {
        Gdiplus::RotateFlipType turn;
        bool mirrorAfter;
    } kSteps[9] = {
        {Gdiplus::RotateNoneFlipNone, false},  // 0: none
        {Gdiplus::RotateNoneFlipNone, false},  // 1: already upright
        {Gdiplus::RotateNoneFlipX, false},     // 2: mirror left to right
        {Gdiplus::Rotate180FlipNone, false},   // 3
        {Gdiplus::Rotate180FlipX, false},      // 4: mirror top to bottom
        {Gdiplus::Rotate90FlipNone, true},     // 5: 90 clockwise, then mirror left to right
        {Gdiplus::Rotate90FlipNone, false},    // 6
        {Gdiplus::Rotate270FlipNone, true},    // 7: 270 clockwise, then mirror left to right
        {Gdiplus::Rotate270FlipNone, false},   // 8
    };
    if (!image || orientation < 2 || orientation > 8) return;
    const auto& step = kSteps[orientation];
    GpStatus status = GdipImageRotateFlip(image, step.turn);
    if (status == Ok && step.mirrorAfter) {
        status = GdipImageRotateFlip(image, Gdiplus::RotateNoneFlipX);
        // Never leave the picture half turned: undo the first step if the second one failed.
        if (status != Ok)
            GdipImageRotateFlip(image, orientation == 5 ? Gdiplus::Rotate270FlipNone : Gdiplus::Rotate90FlipNone);
    }
    if (status != Ok) {
        // Left as it was, tag included, so a viewer still shows it the right way up.
        LogMessage(L"  RotateFlip failed for orientation %d, status=%d", orientation, static_cast<int>(status));
        return;
    }
    // The pixels are upright now; a tag left behind would make a viewer turn them once more.
    GdipRemovePropertyItem(image, kOrientationTag);
}

void RemoveAllProperties(GpImage* image) {
    UINT count = 0;
    if (!image || GdipGetPropertyCount(image, &count) != Ok || count == 0) return;
    std::vector<PROPID> ids(count);
    if (GdipGetPropertyIdList(image, count, ids.data()) != Ok) return;
    for (PROPID id : ids) GdipRemovePropertyItem(image, id);
}

bool HasAlphaChannel(GpImage* image) {
    if (!image) return false;
    Gdiplus::PixelFormat format = 0;
    if (GdipGetImagePixelFormat(image, &format) != Ok) return false;
    if (format & kAlphaFlag) return true;
    // A transparent GIF decodes to a palette, not an alpha channel; it needs the white background too.
    return (format & kIndexedFlag) && PaletteHasAlpha(image);
}

GpStatus FlattenOntoWhite(GpImage* image, UINT width, UINT height, GdipImageHolder& flat) {
    flat.reset();
    if (!image || width == 0 || height == 0) return Gdiplus::InvalidParameter;
    GpBitmap* bitmap = nullptr;
    GpStatus status = GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0,
                                                PixelFormat24bppRGB, nullptr, &bitmap);
    GdipImageHolder canvas(bitmap);
    if (status != Ok) return status;
    if (!canvas) return Gdiplus::OutOfMemory;

    GdipGraphicsHolder graphics;
    status = GdipGetImageGraphicsContext(canvas.get(), graphics.put());
    if (status != Ok) return status;
    status = GdipGraphicsClear(graphics.get(), 0xFFFFFFFF);
    if (status != Ok) return status;
    // A failed draw would leave a blank white picture that still saves fine: report it instead.
    status = GdipDrawImageRectI(graphics.get(), image, 0, 0, static_cast<INT>(width), static_cast<INT>(height));
    if (status != Ok) return status;
    graphics.reset();
    flat = std::move(canvas);
    return Ok;
}

EncodeResult EncodeToMemory(GpImage* image, const CLSID& encoder, const Gdiplus::EncoderParameters* params,
                            std::vector<uint8_t>& bytes) {
    EncodeResult result;
    bytes.clear();
    ComPtr<IStream> stream;
    result.hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    if (FAILED(result.hr) || !stream) {
        result.failedAt = EncodeStep::CreateStream;
        if (SUCCEEDED(result.hr)) result.hr = E_POINTER;
        return result;
    }
    result.status = GdipSaveImageToStream(image, stream.get(), &encoder, params);
    if (result.status != Ok) {
        result.failedAt = EncodeStep::Save;
        return result;
    }
    HGLOBAL memory = nullptr;
    result.hr = GetHGlobalFromStream(stream.get(), &memory);
    if (FAILED(result.hr) || !memory) {
        result.failedAt = EncodeStep::GetHGlobal;
        if (SUCCEEDED(result.hr)) result.hr = E_POINTER;
        return result;
    }
    // The block grows in steps and is usually larger than what the encoder wrote: take the
    // stream's own length, never the block size, or the file gets trailing garbage.
    STATSTG stat = {};
    result.hr = stream->Stat(&stat, STATFLAG_NONAME);
    const ULONGLONG length = stat.cbSize.QuadPart;
    if (FAILED(result.hr) || length == 0 || length > GlobalSize(memory)) {
        result.failedAt = EncodeStep::Lock;
        if (SUCCEEDED(result.hr)) result.hr = E_UNEXPECTED;
        return result;
    }
    ScopedGlobalLock lock(memory);
    if (!lock.get()) {
        result.failedAt = EncodeStep::Lock;
        result.hr = HRESULT_FROM_WIN32(GetLastError());
        return result;
    }
    const auto* begin = static_cast<const uint8_t*>(lock.get());
    bytes.assign(begin, begin + length);
    result.hr = S_OK;
    return result;
}

DWORD WriteNewFile(const wchar_t* path, const uint8_t* data, size_t size) {
    if (!path || (!data && size > 0)) return ERROR_INVALID_PARAMETER;
    ScopedHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Not created by us (it exists, or the folder is missing): nothing of ours to remove.
    if (!file) return GetLastError();

    DWORD err = ERROR_SUCCESS;
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(size - done > 0x40000000 ? 0x40000000 : size - done);
        DWORD written = 0;
        if (!WriteFile(file.get(), data + done, chunk, &written, nullptr)) {
            err = GetLastError();
            if (err == ERROR_SUCCESS) err = ERROR_WRITE_FAULT;
            break;
        }
        if (written != chunk) {
            err = ERROR_WRITE_FAULT;
            break;
        }
        done += written;
    }
    if (!CloseHandle(file.release()) && err == ERROR_SUCCESS) {
        err = GetLastError();
        if (err == ERROR_SUCCESS) err = ERROR_WRITE_FAULT;
    }
    // Leave no half-written image behind.
    if (err != ERROR_SUCCESS) DeleteFileW(path);
    return err;
}

ImageEncoder FindImageEncoder(const wchar_t* mimeType, const Gdiplus::EncoderParameters* params) {
    ImageEncoder encoder;
    if (mimeType && wcscmp(mimeType, L"image/webp") == 0) {
        encoder.webp = true;
        return encoder;
    }
    FindEncoderClsid(mimeType, &encoder.clsid);
    encoder.params = params;
    return encoder;
}

EncodeResult EncodeImage(GpImage* image, const ImageEncoder& encoder, std::vector<uint8_t>& bytes) {
    if (!encoder.webp) return EncodeToMemory(image, encoder.clsid, encoder.params, bytes);
    EncodeResult result;
    result.failedAt = EncodeStep::Save;
    bytes.clear();
    UINT width = 0, height = 0;
    if (!image || GdipGetImageWidth(image, &width) != Ok || GdipGetImageHeight(image, &height) != Ok ||
        width == 0 || height == 0) {
        result.status = Gdiplus::InvalidParameter;
        return result;
    }
    const bool keepAlpha = HasAlphaChannel(image);
    // Read in the layout libwebp takes; GDI+ converts other formats on the way (no copy when the
    // bitmap already is 32bppARGB).
    auto* bitmap = static_cast<GpBitmap*>(image);
    Gdiplus::Rect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data = {};
    result.status = GdipBitmapLockBits(bitmap, &rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data);
    if (result.status != Ok) return result;
    int webpError = kWebpBadDimension;
    if (data.Scan0 && data.Stride > 0)
        webpError = EncodeWebp(static_cast<const uint8_t*>(data.Scan0), width, height, static_cast<size_t>(data.Stride),
                               PixelOrder::Bgra, keepAlpha, bytes);
    GdipBitmapUnlockBits(bitmap, &data);
    if (webpError != 0) {
        result.status = static_cast<GpStatus>(webpError);
        bytes.clear();
        return result;
    }
    result.failedAt = EncodeStep::Done;
    result.status = Ok;
    return result;
}
