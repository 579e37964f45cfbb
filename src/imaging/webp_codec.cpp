#include "imaging/webp_codec.h"

#include <cstring>
#include <new>

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

namespace {

constexpr int kOutOfMemory = VP8_ENC_ERROR_OUT_OF_MEMORY;  // same value (1) as VP8_STATUS_OUT_OF_MEMORY

// Releases what libwebp allocated, on every path.
struct PictureHolder {
    WebPPicture pic;
    bool ready = false;
    ~PictureHolder() {
        if (ready) WebPPictureFree(&pic);
    }
};

struct WriterHolder {
    WebPMemoryWriter writer;
    WriterHolder() { WebPMemoryWriterInit(&writer); }
    ~WriterHolder() { WebPMemoryWriterClear(&writer); }
};

struct AnimDecoderHolder {
    WebPAnimDecoder* dec = nullptr;
    ~AnimDecoderHolder() {
        if (dec) WebPAnimDecoderDelete(dec);
    }
};

bool Allocate(PixelBuffer& buffer, size_t size) {
    try {
        buffer.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// First frame of an animation, composed on the canvas as a player shows it.
int DecodeFirstFrame(const uint8_t* data, size_t size, WebpPicture& picture) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return VP8_STATUS_UNSUPPORTED_FEATURE;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData webpData = {data, size};
    AnimDecoderHolder holder;
    holder.dec = WebPAnimDecoderNew(&webpData, &options);
    if (!holder.dec) return VP8_STATUS_BITSTREAM_ERROR;
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(holder.dec, &info) || info.canvas_width == 0 || info.canvas_height == 0)
        return VP8_STATUS_BITSTREAM_ERROR;
    uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(holder.dec, &frame, &timestamp) || !frame) return VP8_STATUS_BITSTREAM_ERROR;
    const size_t bytes = size_t(info.canvas_width) * info.canvas_height * 4;
    if (!Allocate(picture.bgra, bytes)) return VP8_STATUS_OUT_OF_MEMORY;
    std::memcpy(picture.bgra.data(), frame, bytes);
    picture.width = info.canvas_width;
    picture.height = info.canvas_height;
    return VP8_STATUS_OK;
}

}  // namespace

bool IsWebpSignature(const uint8_t* data, size_t size) {
    return data && size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

int EncodeWebp(const uint8_t* pixels, uint32_t width, uint32_t height, size_t stride, PixelOrder order,
               bool keepAlpha, std::vector<uint8_t>& out) {
    out.clear();
    if (!pixels || width == 0 || height == 0 || width > WEBP_MAX_DIMENSION || height > WEBP_MAX_DIMENSION ||
        stride < size_t(width) * 4 || stride > 0x7FFFFFFF)
        return VP8_ENC_ERROR_BAD_DIMENSION;

    WebPConfig config;
    if (!WebPConfigPreset(&config, WEBP_PRESET_DEFAULT, kWebpQuality) || !WebPValidateConfig(&config))
        return VP8_ENC_ERROR_INVALID_CONFIGURATION;

    PictureHolder picture;
    if (!WebPPictureInit(&picture.pic)) return VP8_ENC_ERROR_INVALID_CONFIGURATION;
    picture.ready = true;
    picture.pic.width = static_cast<int>(width);
    picture.pic.height = static_cast<int>(height);
    const int rowBytes = static_cast<int>(stride);
    int imported = 0;
    if (order == PixelOrder::Bgra)
        imported = keepAlpha ? WebPPictureImportBGRA(&picture.pic, pixels, rowBytes)
                             : WebPPictureImportBGRX(&picture.pic, pixels, rowBytes);
    else
        imported = keepAlpha ? WebPPictureImportRGBA(&picture.pic, pixels, rowBytes)
                             : WebPPictureImportRGBX(&picture.pic, pixels, rowBytes);
    if (!imported) return picture.pic.error_code != VP8_ENC_OK ? picture.pic.error_code : kOutOfMemory;

    WriterHolder writer;
    picture.pic.writer = WebPMemoryWrite;
    picture.pic.custom_ptr = &writer.writer;
    if (!WebPEncode(&config, &picture.pic))
        return picture.pic.error_code != VP8_ENC_OK ? picture.pic.error_code : kOutOfMemory;
    try {
        out.assign(writer.writer.mem, writer.writer.mem + writer.writer.size);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return VP8_ENC_OK;
}

int DecodeWebp(const uint8_t* data, size_t size, WebpPicture& picture) {
    picture = {};
    if (!IsWebpSignature(data, size)) return VP8_STATUS_BITSTREAM_ERROR;
    WebPBitstreamFeatures features;
    VP8StatusCode status = WebPGetFeatures(data, size, &features);
    if (status != VP8_STATUS_OK) return status;
    if (features.width <= 0 || features.height <= 0) return VP8_STATUS_BITSTREAM_ERROR;

    int result = VP8_STATUS_OK;
    if (features.has_animation) {
        result = DecodeFirstFrame(data, size, picture);
    } else {
        const size_t stride = size_t(features.width) * 4;
        const size_t bytes = stride * size_t(features.height);
        if (!Allocate(picture.bgra, bytes)) {
            result = VP8_STATUS_OUT_OF_MEMORY;
        } else if (!WebPDecodeBGRAInto(data, size, picture.bgra.data(), bytes, static_cast<int>(stride))) {
            result = VP8_STATUS_BITSTREAM_ERROR;
        } else {
            picture.width = static_cast<uint32_t>(features.width);
            picture.height = static_cast<uint32_t>(features.height);
        }
    }
    if (result != VP8_STATUS_OK) {
        picture = {};
        return result;
    }
    picture.hasAlpha = features.has_alpha != 0;
    return VP8_STATUS_OK;
}
