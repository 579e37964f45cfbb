#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "targets/file_pick.h"

namespace {

using Paths = std::vector<std::wstring>;

// The dialog's buffer from its strings: each zero-terminated, then one more zero.
std::wstring Buffer(std::initializer_list<std::wstring> strings) {
    std::wstring b;
    for (const std::wstring& s : strings) b += s + L'\0';
    return b + L'\0';
}

}  // namespace

TEST(FilePick, SplitsTheDialogBuffer) {
    const struct {
        const char* name;
        std::wstring buffer;
        Paths expected;
    } cases[] = {
        {"one file", Buffer({L"C:\\Foto\\a.png"}), {L"C:\\Foto\\a.png"}},
        {"three in order",
         Buffer({L"C:\\Foto", L"b.png", L"a.jpg", L"c d.gif"}),
         {L"C:\\Foto\\b.png", L"C:\\Foto\\a.jpg", L"C:\\Foto\\c d.gif"}},
        {"root folder keeps the added separator", Buffer({L"C:\\", L"a.png", L"b.png"}), {L"C:\\\\a.png", L"C:\\\\b.png"}},
        {"non-Latin names", Buffer({L"D:\\\u732B", L"\u5199\u771F.jpg", L"\u00E9.png"}),
         {L"D:\\\u732B\\\u5199\u771F.jpg", L"D:\\\u732B\\\u00E9.png"}},
        {"nothing", std::wstring(4, L'\0'), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParsePickedFiles(c.buffer.data(), c.buffer.size()), c.expected) << c.name;

    // A buffer whose end is missing is read only up to its capacity.
    const wchar_t cut[] = L"C:\\Foto\0a.png\0b.pn";
    EXPECT_EQ(ParsePickedFiles(cut, std::size(cut) - 1), (Paths{L"C:\\Foto\\a.png", L"C:\\Foto\\b.pn"}));
    EXPECT_EQ(ParsePickedFiles(nullptr, 10), Paths{});
}

TEST(FilePick, PdfFilter) {
    for (const wchar_t* yes : {L"C:\\a.pdf", L"C:\\b.PDF", L"x.Pdf", L".pdf", L"C:\\d.e.pdf"})
        EXPECT_TRUE(IsPdfPath(yes)) << yes;
    for (const wchar_t* no : {L"pdf", L"C:\\a.pdfx", L"C:\\apdf", L"C:\\a.pd", L"C:\\a.pdf ", L"", L"C:\\a.jpg"})
        EXPECT_FALSE(IsPdfPath(no)) << no;
    EXPECT_EQ(CollectPdfPaths({L"a.jpg", L"b.pdf", L"c.PDF", L"d.txt", L"e.pdf"}), (Paths{L"b.pdf", L"c.PDF", L"e.pdf"}));
    EXPECT_EQ(CollectPdfPaths({}), Paths{});
}
