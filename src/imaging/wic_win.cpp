#include "imaging/wic_win.h"

#include <wincodec.h>

#include <new>

#include "base/win_handles.h"

namespace {

// Whether the decoder's native pixel format has an alpha channel; an unknown answer counts as no.
bool FormatHasAlpha(IWICImagingFactory* factory, const WICPixelFormatGUID& format) {
    ComPtr<IWICComponentInfo> info;
    if (FAILED(factory->CreateComponentInfo(format, info.put()))) return false;
    ComPtr<IWICPixelFormatInfo2> pixelInfo;
    if (FAILED(info->QueryInterface(IID_IWICPixelFormatInfo2, pixelInfo.putVoid()))) return false;
    BOOL alpha = FALSE;
    return SUCCEEDED(pixelInfo->SupportsTransparency(&alpha)) && alpha;
}

}  // namespace

HRESULT DecodeFileWithWic(const wchar_t* path, WicPicture& picture) {
    picture = {};
    if (!path) return E_POINTER;
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.putVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IWICBitmapDecoder> decoder;
    hr = factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                            decoder.put());
    if (FAILED(hr)) return hr;
    ComPtr<IWICBitmapFrameDecode> frame;
    hr = decoder->GetFrame(0, frame.put());
    if (FAILED(hr)) return hr;
    WICPixelFormatGUID native = {};
    const bool hasAlpha = SUCCEEDED(frame->GetPixelFormat(&native)) && FormatHasAlpha(factory.get(), native);

    ComPtr<IWICBitmapSource> converted;
    hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(), converted.put());
    if (FAILED(hr)) return hr;
    UINT width = 0, height = 0;
    hr = converted->GetSize(&width, &height);
    if (FAILED(hr)) return hr;
    if (width == 0 || height == 0) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
    // CopyPixels takes the buffer size as a 32-bit count: larger pictures cannot be copied in one go.
    const ULONGLONG stride = ULONGLONG(width) * 4, total = stride * height;
    if (stride > 0xFFFFFFFFull || total > 0xFFFFFFFFull) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
    try {
        picture.bgra.resize(static_cast<size_t>(total));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    hr = converted->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(total), picture.bgra.data());
    if (FAILED(hr)) {
        picture = {};
        return hr;
    }
    picture.width = width;
    picture.height = height;
    picture.hasAlpha = hasAlpha;
    return S_OK;
}
