// WebP round trips through libwebp: sizes, alpha, the lossy error, both pixel orders, an animation's
// first frame and bytes that are no WebP.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/webp_codec.h"

namespace {

// A picture with no symmetry: smooth gradients (what a photo is made of) over four quadrants of
// different colour; with `hole` the bottom-right quadrant is fully transparent.
std::vector<uint8_t> TestPicture(uint32_t w, uint32_t h, PixelOrder order, bool hole) {
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            const uint8_t r = uint8_t(right ? 40 + 150 * x / w : 220), g = uint8_t(bottom ? 60 : 30 + 180 * y / h),
                          b = uint8_t(right && !bottom ? 200 : 20 + 100 * (x + y) / (w + h));
            uint8_t* p = &px[(size_t(y) * w + x) * 4];
            const bool clear = hole && right && bottom;
            p[0] = order == PixelOrder::Bgra ? b : r;
            p[1] = g;
            p[2] = order == PixelOrder::Bgra ? r : b;
            p[3] = clear ? 0 : 255;
        }
    return px;
}

// Mean absolute difference over the colour channels of the opaque pixels, in BGRA.
double MeanColourError(const std::vector<uint8_t>& bgraExpected, const PixelBuffer& bgraGot) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i + 3 < bgraExpected.size(); i += 4) {
        if (bgraExpected[i + 3] != 255) continue;
        for (int c = 0; c < 3; ++c) sum += std::abs(int(bgraExpected[i + c]) - int(bgraGot[i + c]));
        n += 3;
    }
    return n ? sum / n : 0;
}

std::vector<uint8_t> ToBgra(std::vector<uint8_t> px, PixelOrder order) {
    if (order == PixelOrder::Rgba)
        for (size_t i = 0; i + 3 < px.size(); i += 4) std::swap(px[i], px[i + 2]);
    return px;
}

void PutU24(std::string& s, uint32_t v) { s += {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF)}; }
void PutU32(std::string& s, uint32_t v) {
    PutU24(s, v);
    s += char(v >> 24);
}
std::string Chunk(const char* fourcc, const std::string& payload) {
    std::string c(fourcc, 4);
    PutU32(c, uint32_t(payload.size()));
    c += payload;
    if (payload.size() & 1) c += '\0';
    return c;
}

// An animation of the given still frames (each a simple-format WebP of the canvas size): the
// frames' image chunks wrapped in ANMF chunks behind VP8X and ANIM.
std::string Animation(uint32_t w, uint32_t h, const std::vector<std::vector<uint8_t>>& stills) {
    std::string vp8x(1, char(0x02));  // animation flag
    vp8x += std::string(3, '\0');
    PutU24(vp8x, w - 1);
    PutU24(vp8x, h - 1);
    std::string anim;
    PutU32(anim, 0xFFFFFFFF);  // background
    anim += {'\0', '\0'};      // loop count
    std::string body = "WEBP" + Chunk("VP8X", vp8x) + Chunk("ANIM", anim);
    for (const auto& still : stills) {
        std::string frame;
        PutU24(frame, 0);
        PutU24(frame, 0);
        PutU24(frame, w - 1);
        PutU24(frame, h - 1);
        PutU24(frame, 100);  // duration in ms
        frame += '\0';
        frame.append(reinterpret_cast<const char*>(still.data()) + 12, still.size() - 12);
        body += Chunk("ANMF", frame);
    }
    std::string file = "RIFF";
    PutU32(file, uint32_t(body.size()));
    return file + body;
}

}  // namespace

TEST(WebpCodec, RoundTripsKeepSizeAlphaAndColoursWithinTheLossyBound) {
    const struct {
        uint32_t w, h;
        PixelOrder order;
        bool hole;       // transparent quadrant in the input
        bool keepAlpha;  // asked to encode alpha
        bool alphaOut;   // the file carries alpha
    } cases[] = {
        {64, 48, PixelOrder::Bgra, true, true, true},
        {64, 48, PixelOrder::Rgba, true, true, true},
        {64, 48, PixelOrder::Bgra, false, true, false},  // opaque: no alpha channel is written
        {64, 48, PixelOrder::Bgra, true, false, false},  // alpha not wanted: encoded as opaque
        {1, 1, PixelOrder::Bgra, false, false, false},
        {35, 517, PixelOrder::Rgba, true, true, true},   // odd sizes: chroma is subsampled by 2
        {1000, 750, PixelOrder::Bgra, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " order=" << int(c.order) << " hole=" << c.hole
                                        << " keepAlpha=" << c.keepAlpha);
        const std::vector<uint8_t> px = TestPicture(c.w, c.h, c.order, c.hole);
        std::vector<uint8_t> file;
        ASSERT_EQ(EncodeWebp(px.data(), c.w, c.h, size_t(c.w) * 4, c.order, c.keepAlpha, file), 0);
        ASSERT_TRUE(IsWebpSignature(file.data(), file.size()));

        WebpPicture back;
        ASSERT_EQ(DecodeWebp(file.data(), file.size(), back), 0);
        EXPECT_EQ(back.width, c.w);
        EXPECT_EQ(back.height, c.h);
        EXPECT_EQ(back.hasAlpha, c.alphaOut);
        ASSERT_EQ(back.bgra.size(), px.size());

        const std::vector<uint8_t> expected = ToBgra(px, c.order);
        size_t wrongAlpha = 0;
        for (size_t i = 3; i < expected.size(); i += 4) {
            const uint8_t want = c.keepAlpha ? expected[i] : 255;
            wrongAlpha += back.bgra[i] != want;
        }
        EXPECT_EQ(wrongAlpha, 0u);
        EXPECT_LT(MeanColourError(expected, back.bgra), 6.0);
    }
}

TEST(WebpCodec, RowsWithPaddingAreReadByTheirStride) {
    const uint32_t w = 10, h = 6;
    const std::vector<uint8_t> tight = TestPicture(w, h, PixelOrder::Bgra, false);
    const size_t stride = w * 4 + 24;
    std::vector<uint8_t> padded(stride * h, 0x77);
    for (uint32_t y = 0; y < h; ++y) std::copy_n(&tight[y * w * 4], w * 4, &padded[y * stride]);
    std::vector<uint8_t> a, b;
    ASSERT_EQ(EncodeWebp(tight.data(), w, h, w * 4, PixelOrder::Bgra, true, a), 0);
    ASSERT_EQ(EncodeWebp(padded.data(), w, h, stride, PixelOrder::Bgra, true, b), 0);
    EXPECT_EQ(a, b);
}

TEST(WebpCodec, AnAnimationGivesItsFirstFrameOnTheCanvas) {
    const uint32_t w = 24, h = 16;
    auto solid = [&](uint8_t b, uint8_t g, uint8_t r) {
        std::vector<uint8_t> px(size_t(w) * h * 4);
        for (size_t i = 0; i < px.size(); i += 4) px[i] = b, px[i + 1] = g, px[i + 2] = r, px[i + 3] = 255;
        std::vector<uint8_t> file;
        EXPECT_EQ(EncodeWebp(px.data(), w, h, w * 4, PixelOrder::Bgra, false, file), 0);
        return file;
    };
    const std::string anim = Animation(w, h, {solid(20, 20, 230), solid(230, 20, 20)});
    WebpPicture first;
    ASSERT_EQ(DecodeWebp(reinterpret_cast<const uint8_t*>(anim.data()), anim.size(), first), 0);
    ASSERT_EQ(first.width, w);
    ASSERT_EQ(first.height, h);
    // Red, not the blue second frame (BGRA order).
    EXPECT_GT(first.bgra[2], 200);
    EXPECT_LT(first.bgra[0], 60);
    EXPECT_EQ(first.bgra[3], 255);
}

TEST(WebpCodec, BytesThatAreNoWebpAndBadArgumentsFail) {
    std::vector<uint8_t> good;
    const std::vector<uint8_t> px = TestPicture(8, 8, PixelOrder::Bgra, false);
    ASSERT_EQ(EncodeWebp(px.data(), 8, 8, 32, PixelOrder::Bgra, true, good), 0);
    const std::string text = "this is not an image, only text with an image name";
    std::vector<uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
    std::vector<uint8_t> badBody = good;
    for (size_t i = 30; i < badBody.size(); ++i) badBody[i] = uint8_t(i * 37);
    const std::vector<std::vector<uint8_t>> inputs = {
        {}, std::vector<uint8_t>(text.begin(), text.end()), {good.begin(), good.begin() + 12}, truncated, badBody};
    for (const auto& bytes : inputs) {
        WebpPicture picture;
        EXPECT_NE(DecodeWebp(bytes.data(), bytes.size(), picture), 0) << bytes.size() << " bytes";
        EXPECT_TRUE(picture.bgra.empty());
        EXPECT_EQ(picture.width, 0u);
    }
    std::vector<uint8_t> out = {1, 2, 3};
    EXPECT_NE(EncodeWebp(px.data(), 0, 8, 32, PixelOrder::Bgra, true, out), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_NE(EncodeWebp(px.data(), 8, 8, 31, PixelOrder::Bgra, true, out), 0);  // stride shorter than a row
    EXPECT_NE(EncodeWebp(nullptr, 8, 8, 32, PixelOrder::Bgra, true, out), 0);
}
