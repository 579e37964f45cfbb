#include <gtest/gtest.h>

#include <set>
#include <string>

#include "imaging/output_naming.h"
#include "targets/image_filter.h"

TEST(ImageFilter, JudgesByTheLastDotOnly) {
    for (const wchar_t* yes : {L"C:\\Foto\\A.JPG", L"C:\\Foto\\b.Png", L"x.tar.gif", L"a.jpeg", L"a.webp", L"a.BMP",
                               L"a.ico", L"a.tif", L"a.TIFF", L"a.jfif", L"a.heic", L"a.avif"})
        EXPECT_TRUE(IsImageFile(yes)) << yes;
    for (const wchar_t* no : {L"C:\\Foto\\c.txt", L"C:\\Foto\\README", L"C:\\Foto\\d.", L"x.gif.txt",
                              L"C:\\my.folder\\file", L"photo.jpe", L"scan.tga", L"", L".", L"a.pngx", L"a.jpg "})
        EXPECT_FALSE(IsImageFile(no)) << no;
}

TEST(SplitPath, FollowsThePlatformSplitterRules) {
    PathParts p;
    ASSERT_TRUE(SplitPathParts(L"C:\\Foto\\kucing.png", p));
    EXPECT_EQ(p.drive, L"C:");
    EXPECT_EQ(p.dir, L"\\Foto\\");
    EXPECT_EQ(p.stem, L"kucing");
    EXPECT_EQ(p.ext, L".png");
    ASSERT_TRUE(SplitPathParts(L"\\\\server\\share/a.b.png", p));
    EXPECT_EQ(p.drive, L"");
    EXPECT_EQ(p.dir, L"\\\\server\\share/");
    EXPECT_EQ(p.stem, L"a.b");
    ASSERT_TRUE(SplitPathParts(L"C:\\my.folder\\file", p));
    EXPECT_EQ(p.stem, L"file");
    EXPECT_EQ(p.ext, L"");
    EXPECT_FALSE(SplitPathParts(L"C:\\" + std::wstring(256, L'a') + L".png", p));
    EXPECT_TRUE(SplitPathParts(L"C:\\" + std::wstring(255, L'a') + L".png", p));
}

namespace {

struct FakeDisk {
    std::set<std::wstring> files;
    PathExistsFn Exists() {
        return [this](const std::wstring& p) { return files.count(p) > 0; };
    }
};

std::wstring Make(FakeDisk& disk, const std::wstring& in, const wchar_t* suffix, const wchar_t* ext) {
    wchar_t out[260];
    if (!MakeOutputPath(in, suffix, ext, out, 260, disk.Exists())) return L"<fail>";
    return out;
}

}  // namespace

TEST(OutputNaming, SuffixExtensionAndCounterBeforeTheDot) {
    FakeDisk d;
    EXPECT_EQ(Make(d, L"C:\\Foto\\kucing.png", L"", L"jpg"), L"C:\\Foto\\kucing.jpg");
    EXPECT_EQ(Make(d, L"C:\\Foto\\kucing.png", L"-compressed", L"jpg"), L"C:\\Foto\\kucing-compressed.jpg");
    EXPECT_EQ(Make(d, L"C:\\Foto\\kucing.png", L"-merged", L"pdf"), L"C:\\Foto\\kucing-merged.pdf");
    EXPECT_EQ(Make(d, L"C:\\x\\readme", L"", L"jpg"), L"C:\\x\\readme.jpg");
    EXPECT_EQ(Make(d, L"C:\\x\\a.b.png", L"-compressed", L"jpg"), L"C:\\x\\a.b-compressed.jpg");

    d.files = {L"C:\\x\\a.png"};
    EXPECT_EQ(Make(d, L"C:\\x\\a.png", L"", L"png"), L"C:\\x\\a-1.png") << "the input is never the output";
    d.files = {L"C:\\x\\a.jpg", L"C:\\x\\a-1.jpg", L"C:\\x\\a-2.jpg"};
    EXPECT_EQ(Make(d, L"C:\\x\\a.png", L"", L"jpg"), L"C:\\x\\a-3.jpg");
    EXPECT_EQ(Make(d, L"C:\\x\\a.png", L"", L"jpg"), L"C:\\x\\a-3.jpg") << "the counter restarts per call";
    d.files = {L"C:\\x\\k-compressed.jpg"};
    EXPECT_EQ(Make(d, L"C:\\x\\k.png", L"-compressed", L"jpg"), L"C:\\x\\k-compressed-1.jpg");
}

TEST(OutputNaming, FailsVisiblyInsteadOfCuttingOrReusingAName) {
    FakeDisk d;
    // Every candidate taken: no name, never an existing one.
    int asked = 0;
    PathExistsFn all = [&](const std::wstring&) {
        ++asked;
        return true;
    };
    wchar_t out[260] = L"junk";
    EXPECT_FALSE(MakeOutputPath(L"C:\\x\\a.png", L"", L"jpg", out, 260, all));
    EXPECT_EQ(asked, 10000);
    EXPECT_EQ(out[0], 0);

    // The plain name fits in 259 characters; one more would be cut.
    std::wstring dir = L"C:\\" + std::wstring(250, L'd') + L"\\";  // 254 characters
    wchar_t buf[260];
    EXPECT_TRUE(MakeOutputPath(dir + L"a.png", L"", L"jpg", buf, 260, d.Exists()));  // 259
    EXPECT_FALSE(MakeOutputPath(dir + L"ab.png", L"", L"jpg", buf, 260, d.Exists()));  // 260
    // Fits plain, but the numbered name would not: failure, not a cut name.
    d.files = {dir + L"a.jpg"};
    EXPECT_FALSE(MakeOutputPath(dir + L"a.png", L"", L"jpg", buf, 260, d.Exists()));
    EXPECT_FALSE(MakeOutputPath(L"C:\\a.png", L"", L"jpg", buf, 0, d.Exists()));
}
