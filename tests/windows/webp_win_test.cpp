// WebP out and in through the image actions, the WIC fallback decoder, and files nothing can read.
// Outputs are checked by Debian's own WebP tools and qpdf where Wine can start them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/gdiplus_flat.h"
#include "fake_tray_win.h"
#include "image_fixtures_win.h"
#include "imaging/codec_win.h"
#include "imaging/image_actions_win.h"
#include "imaging/webp_codec.h"
#include "imaging/wic_win.h"
#include "pdf/pdf_actions_win.h"
#include "targets/targets_win.h"
#include "win_test_util.h"

namespace {

std::optional<std::string> UnixName(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return std::nullopt;
    char* name = toUnix(path.c_str());
    if (!name) return std::nullopt;
    std::string unix = name;
    HeapFree(GetProcessHeap(), 0, name);
    return unix;
}

// Runs a shell command on the host through Wine's bridge to Unix programs: each "{}" is replaced
// by the Unix name of the next path. Nothing where the bridge or `tool` is missing; otherwise the
// exit code and the output.
std::optional<std::pair<int, std::string>> RunOnHost(const wchar_t* tool, std::string command,
                                                     const std::vector<std::wstring>& paths,
                                                     const std::wstring& scratch) {
    if (!FileExists(L"Z:\\bin\\sh") || !FileExists(std::wstring(L"Z:\\usr\\bin\\") + tool)) return std::nullopt;
    for (const std::wstring& path : paths) {
        const std::optional<std::string> unix = UnixName(path);
        const size_t at = command.find("{}");
        if (!unix || at == std::string::npos) return std::nullopt;
        command.replace(at, 2, "'" + *unix + "'");
    }
    const std::wstring out = scratch + L"\\host.txt", done = scratch + L"\\host.done";
    DeleteFileW(out.c_str());
    DeleteFileW(done.c_str());
    const std::optional<std::string> unixOut = UnixName(out), unixDone = UnixName(done);
    if (!unixOut || !unixDone) return std::nullopt;
    const std::string line = "sh -c \"" + command + " > '" + *unixOut + "' 2>&1; echo $? > '" + *unixDone + "'\"";
    std::wstring wide(line.begin(), line.end());
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return std::nullopt;
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    // Wine cannot wait for a Unix process: it leaves its exit code in a file when it is done.
    for (int waited = 0; waited < 1200 && ReadFileBytes(done).empty(); ++waited) Sleep(50);
    const std::string code = ReadFileBytes(done);
    if (code.empty()) return std::pair{-1, std::string("did not finish")};
    return std::pair{std::stoi(code), ReadFileBytes(out)};
}

// A PAM file's size and pixels (dwebp -pam writes RGB_ALPHA, 4 bytes a pixel).
struct Pam {
    unsigned width = 0, height = 0, depth = 0;
    std::string pixels;
    unsigned char alphaAt(unsigned x, unsigned y) const { return pixels[(size_t(y) * width + x) * 4 + 3]; }
};
bool ReadPam(const std::string& bytes, Pam& pam) {
    const size_t end = bytes.find("ENDHDR\n");
    if (bytes.compare(0, 3, "P7\n") != 0 || end == std::string::npos) return false;
    const std::string head = bytes.substr(0, end);
    auto number = [&head](const char* key) {
        const size_t at = head.find(key);
        return at == std::string::npos ? 0u : unsigned(std::stoul(head.substr(at + std::strlen(key))));
    };
    pam.width = number("WIDTH ");
    pam.height = number("HEIGHT ");
    pam.depth = number("DEPTH ");
    pam.pixels = bytes.substr(end + 7);
    return pam.depth == 4 && pam.pixels.size() == size_t(pam.width) * pam.height * 4;
}

// An image read back through the code under test (so WebP files too), as 32-bit ARGB.
bool OpenAsArgb(const std::wstring& path, fixture::DecodedImage& out) {
    out = {};
    GdipImageHolder image;
    return OpenImageFile(path.c_str(), image) == Ok && fixture::ReadPixels(image.get(), out);
}

void ExpectQuadrants(const fixture::DecodedImage& image, const std::vector<uint32_t>& expected) {
    const std::vector<uint32_t> got = fixture::QuadrantColours(image);
    for (size_t i = 0; i < 4; ++i) {
        if (expected[i] >> 24 == 0) EXPECT_EQ(got[i] >> 24, 0u) << "quadrant " << i << " should stay transparent";
        else EXPECT_TRUE(fixture::ColourNear(got[i], expected[i])) << "quadrant " << i << std::hex << ": got "
                                                                  << got[i] << ", expected " << expected[i];
    }
}

const std::vector<uint32_t> kPattern = {fixture::kTopLeft, fixture::kTopRight, fixture::kBottomLeft,
                                        fixture::kBottomRight};
const std::vector<uint32_t> kWithHole = {fixture::kTopLeft, fixture::kTopRight, fixture::kBottomLeft,
                                         fixture::kTransparent};
const std::vector<uint32_t> kOnWhite = {fixture::kTopLeft, fixture::kTopRight, fixture::kBottomLeft, fixture::kWhite};

// A WebP of the pattern with its transparent quadrant, written by libwebp directly.
bool WriteTransparentWebp(const std::wstring& path, UINT width, UINT height) {
    std::vector<uint32_t> argb(size_t(width) * height);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) argb[size_t(y) * width + x] = fixture::PatternColour(x, y, width, height, true);
    std::vector<uint8_t> file;
    if (EncodeWebp(reinterpret_cast<const uint8_t*>(argb.data()), width, height, width * 4, PixelOrder::Bgra, true,
                   file) != 0)
        return false;
    return WriteFileBytes(path, std::string(file.begin(), file.end()));
}

class WebpActionsTest : public ImageActionTest {};

}  // namespace

TEST_F(WebpActionsTest, TransparentPngBecomesAWebpThatDebiansToolsReadWithItsHoleKept) {
    FakeTray tray;
    const std::wstring png = Path(L"a.png"), webp = Path(L"a.webp");
    ASSERT_TRUE(fixture::WriteTransparentPng(png, 64, 48));
    targets = {png};
    ExecuteConvert(L"webp");

    const std::wstring log = LogText();
    EXPECT_EQ(Count(log, L"  Convert success -> " + webp + L"\r\n"), 1u) << NarrowPath(log);
    EXPECT_FALSE(FakeTray::Saw(L"Tidak Ada File Dibuat"));
    const std::string bytes = ReadFileBytes(webp);
    ASSERT_TRUE(IsWebpSignature(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    fixture::DecodedImage back;
    ASSERT_TRUE(OpenAsArgb(webp, back));
    EXPECT_EQ(back.width, 64u);
    EXPECT_EQ(back.height, 48u);
    ExpectQuadrants(back, kWithHole);

    const auto info = RunOnHost(L"webpinfo", "webpinfo {}", {webp}, folder_->path());
    if (!info) GTEST_SKIP() << "webpinfo cannot be started from here (Debian package webp)";
    EXPECT_EQ(info->first, 0) << info->second;
    EXPECT_NE(info->second.find("No error detected."), std::string::npos) << info->second;
    const std::wstring pam = Path(L"a.pam");
    const auto decoded = RunOnHost(L"dwebp", "dwebp {} -pam -o {}", {webp, pam}, folder_->path());
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->first, 0) << decoded->second;
    Pam picture;
    ASSERT_TRUE(ReadPam(ReadFileBytes(pam), picture));
    EXPECT_EQ(picture.width, 64u);
    EXPECT_EQ(picture.height, 48u);
    size_t wrongAlpha = 0;
    for (unsigned y = 0; y < picture.height; ++y)
        for (unsigned x = 0; x < picture.width; ++x) {
            const bool hole = x >= picture.width / 2 && y >= picture.height / 2;
            wrongAlpha += picture.alphaAt(x, y) != (hole ? 0 : 255);
        }
    EXPECT_EQ(wrongAlpha, 0u);
}

TEST_F(WebpActionsTest, TwelveMegapixelJpegBecomesAWebpOfTheSameSize) {
    const std::wstring jpg = Path(L"photo.jpg"), webp = Path(L"photo.webp");
    ASSERT_TRUE(fixture::WritePatternJpeg(jpg, 4000, 3000));
    targets = {jpg};
    ExecuteConvert(L"webp");
    EXPECT_EQ(Count(LogText(), L"  Convert success -> " + webp + L"\r\n"), 1u);
    fixture::DecodedImage back;
    ASSERT_TRUE(OpenAsArgb(webp, back));
    EXPECT_EQ(back.width, 4000u);
    EXPECT_EQ(back.height, 3000u);
    ExpectQuadrants(back, kPattern);
}

TEST_F(WebpActionsTest, WebpInputIsCompressedConvertedAndPutIntoAPdf) {
    FakeTray tray;
    const UINT w = 333, h = 250;
    const std::wstring input = Path(L"b.webp");
    ASSERT_TRUE(WriteTransparentWebp(input, w, h));

    targets = {input};
    ExecuteCompress();
    fixture::DecodedImage compressed;
    ASSERT_TRUE(fixture::DecodeImage(Path(L"b-compressed.jpg"), compressed)) << NarrowPath(LogText());
    EXPECT_EQ(compressed.width, w);
    EXPECT_EQ(compressed.height, h);
    ExpectQuadrants(compressed, kOnWhite);

    ExecuteConvert(L"png");
    fixture::DecodedImage png;
    ASSERT_TRUE(fixture::DecodeImage(Path(L"b.png"), png));
    EXPECT_EQ(png.width, w);
    ExpectQuadrants(png, kWithHole);

    ExecutePdf();
    const std::wstring pdf = Path(L"b-merged.pdf");
    const std::string bytes = ReadFileBytes(pdf);
    EXPECT_NE(bytes.find("/MediaBox [0 0 239.76 180]"), std::string::npos);
    EXPECT_NE(bytes.find("/Width 333\n"), std::string::npos);
    EXPECT_EQ(Count(LogText(), L"Bitmap open failed"), 0u);
    const auto check = RunOnHost(L"qpdf", "qpdf --check {}", {pdf}, folder_->path());
    if (!check) GTEST_SKIP() << "qpdf cannot be started from here";
    EXPECT_EQ(check->first, 0) << check->second;
    EXPECT_NE(check->second.find("No syntax or stream encoding errors found"), std::string::npos) << check->second;
}

TEST_F(WebpActionsTest, WicDecodesPngAndTiffToTheSamePixelsAsGdiplus) {
    for (const wchar_t* mime : {L"image/png", L"image/tiff"}) {
        SCOPED_TRACE(NarrowPath(mime));
        const std::wstring path = Path(std::wstring(L"wic.") + (mime[6] == L'p' ? L"png" : L"tif"));
        ASSERT_TRUE(fixture::WritePattern(path, mime, 61, 37, true));
        fixture::DecodedImage gdiplus;
        ASSERT_TRUE(fixture::DecodeImage(path, gdiplus));
        WicPicture wic;
        ASSERT_EQ(DecodeFileWithWic(path.c_str(), wic), S_OK);
        ASSERT_EQ(wic.width, gdiplus.width);
        ASSERT_EQ(wic.height, gdiplus.height);
        EXPECT_TRUE(wic.hasAlpha);
        ASSERT_EQ(wic.bgra.size(), gdiplus.argb.size() * 4);
        EXPECT_EQ(std::memcmp(wic.bgra.data(), gdiplus.argb.data(), wic.bgra.size()), 0);

        // And the bitmap made from WIC's rows hands back exactly those rows.
        GdipImageHolder bitmap;
        ASSERT_EQ(BitmapFromBgra(wic.bgra.data(), wic.width, wic.height, wic.hasAlpha, bitmap), Ok);
        const std::wstring copy = path + L".png";
        CLSID png;
        ASSERT_TRUE(fixture::EncoderFor(L"image/png", png));
        ASSERT_EQ(GdipSaveImageToFile(bitmap.get(), copy.c_str(), &png, nullptr), Ok);
        fixture::DecodedImage again;
        ASSERT_TRUE(fixture::DecodeImage(copy, again));
        EXPECT_EQ(again.argb, gdiplus.argb);
    }
}

TEST_F(WebpActionsTest, AFileNoDecoderReadsGivesOneOpenFailureAndNoOutput) {
    const struct {
        const wchar_t* name;
        std::string bytes;
    } cases[] = {
        {L"photo.heic", "this is not an image, only text with an image name\r\n"},
        {L"broken.webp", std::string("RIFF\x40\0\0\0WEBPVP8 \x34\0\0\0", 20) + std::string(52, '\x5A')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(NarrowPath(c.name));
        const std::wstring input = Path(c.name);
        ASSERT_TRUE(WriteFileBytes(input, c.bytes));
        WicPicture wic;
        EXPECT_TRUE(FAILED(DecodeFileWithWic(input.c_str(), wic)));
        EXPECT_TRUE(wic.bgra.empty());
        for (const wchar_t* format : {L"png", L"webp"}) {
            DeleteFileW(TempLogPath().c_str());
            targets = {input};
            ExecuteConvert(format);
            const std::wstring log = LogText();
            EXPECT_EQ(Count(log, L"  Bitmap open failed for " + input + L", status="), 1u) << NarrowPath(log);
            EXPECT_EQ(Count(log, L"    WIC decode failed for " + input + L", hr=0x"), 1u) << NarrowPath(log);
            EXPECT_EQ(Count(log, L"Saving"), 0u);
        }
        const std::wstring stem = input.substr(0, input.rfind(L'.'));
        const bool webpInput = input.ends_with(L".webp");
        EXPECT_FALSE(FileExists(stem + L".png"));
        EXPECT_FALSE(FileExists(stem + (webpInput ? L"-1.webp" : L".webp")));
    }
}
