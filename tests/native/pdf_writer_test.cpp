#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pdf/pdf_writer.h"
#include "pdf_test_support.h"

using pdftest::AsText;
using pdftest::JpegLayout;
using pdftest::MakeJpeg;
using pdftest::MakePage;
using pdftest::WritePdfToMemory;

namespace {

// A page whose JPEG has a frame header of its own size and `size` bytes in all.
PageImage JpegPage(uint32_t width, uint32_t height, size_t size, const JpegLayout& layout = {}) {
    const size_t frame = MakeJpeg(width, height, 0, 1, layout).size();
    return MakePage(width, height, MakeJpeg(width, height, size > frame ? size - frame : 0, 1, layout));
}

// The byte offsets that the cross-reference table states, object 1 onwards.
std::vector<uint64_t> XrefOffsets(const std::string& pdf, size_t objectCount) {
    const size_t xref = pdf.rfind("\nxref\n0 ");
    std::vector<uint64_t> offsets;
    if (xref == std::string::npos) {
        return offsets;
    }
    const size_t firstEntry = pdf.find('\n', xref + 6) + 1;
    for (size_t k = 1; k < objectCount; ++k) {
        offsets.push_back(std::stoull(pdf.substr(firstEntry + 20 * k, 10)));
    }
    return offsets;
}

}  // namespace

TEST(PdfWriter, OnePageMatchesTheLayoutToTheByte) {
    const PageImage page = JpegPage(1000, 750, 12345);
    const std::vector<uint8_t>& jpeg = page.jpeg;
    ASSERT_EQ(jpeg.size(), 12345u);
    PdfWriteResult result;
    const std::vector<uint8_t> pdf = WritePdfToMemory({page}, &result);

    std::vector<uint8_t> expected;
    pdftest::Append(expected,
                    "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"
                    "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
                    "2 0 obj\n<< /Type /Pages /Count 1 /Kids [ 3 0 R ] >>\nendobj\n"
                    "3 0 obj\n<< /Type /Page /Parent 2 0 R\n"
                    "   /MediaBox [0 0 720 540]\n"
                    "   /Contents 4 0 R\n"
                    "   /Resources << /XObject << /Im0 5 0 R >> >>\n"
                    ">>\nendobj\n"
                    "4 0 obj\n<< /Length 31 >>\nstream\n"
                    "q\n720 0 0 540 0 0 cm\n/Im0 Do\nQ\n"
                    "endstream\nendobj\n"
                    "5 0 obj\n<< /Type /XObject /Subtype /Image\n"
                    "   /Width 1000\n"
                    "   /Height 750\n"
                    "   /ColorSpace /DeviceRGB\n"
                    "   /BitsPerComponent 8\n"
                    "   /Filter /DCTDecode\n"
                    "   /Length 12345\n"
                    ">>\nstream\n");
    pdftest::Append(expected, jpeg);
    pdftest::Append(expected,
                    "\nendstream\nendobj\n"
                    "xref\n0 6\n"
                    "0000000000 65535 f \n"
                    "0000000015 00000 n \n"
                    "0000000064 00000 n \n"
                    "0000000123 00000 n \n"
                    "0000000262 00000 n \n"
                    "0000000342 00000 n \n"
                    "trailer\n<< /Size 6\n   /Root 1 0 R\n>>\n"
                    "startxref\n12875\n%%EOF\n");

    ASSERT_EQ(pdf.size(), 13063u);
    EXPECT_TRUE(pdf == expected) << "first difference at byte "
                                 << (std::mismatch(pdf.begin(), pdf.end(), expected.begin()).first - pdf.begin());
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.bytesWritten, 13063u);

    // The numbers of the worked example, read back from the bytes themselves.
    const std::string text = AsText(pdf);
    EXPECT_EQ(text.find("1 0 obj"), 15u);
    EXPECT_EQ(text.find("2 0 obj"), 64u);
    EXPECT_EQ(text.find("3 0 obj"), 123u);
    EXPECT_EQ(text.find("4 0 obj"), 262u);
    EXPECT_EQ(text.find("5 0 obj"), 342u);
    EXPECT_EQ(text.rfind("\nxref\n") + 1, 12875u);
}

TEST(PdfWriter, SeveralPagesAreNumberedInListOrder) {
    std::vector<PageImage> pages = {JpegPage(40, 30, 500), JpegPage(1234, 1, 7), JpegPage(1, 1234, 1)};
    PdfWriteResult result;
    const std::vector<uint8_t> pdf = WritePdfToMemory(pages, &result);
    const std::string text = AsText(pdf);
    ASSERT_TRUE(result.complete);
    EXPECT_EQ(result.bytesWritten, pdf.size());

    EXPECT_NE(text.find("<< /Type /Pages /Count 3 /Kids [ 3 0 R 6 0 R 9 0 R ] >>"), std::string::npos);
    EXPECT_NE(text.find("<< /Size 12\n"), std::string::npos);
    EXPECT_NE(text.find("xref\n0 12\n0000000000 65535 f \n"), std::string::npos);

    // Page i is object 3+3i with content 4+3i and image 5+3i, and each image object states the
    // size of its own page and JPEG.
    const char* const boxes[] = {"[0 0 28.8 21.6]", "[0 0 888.48 1]", "[0 0 1 888.48]"};
    for (size_t i = 0; i < pages.size(); ++i) {
        const size_t n = 3 + 3 * i;
        const size_t page = text.find(std::to_string(n) + " 0 obj\n<< /Type /Page ");
        ASSERT_NE(page, std::string::npos) << i;
        const size_t pageEnd = text.find("endobj", page);
        const std::string pageText = text.substr(page, pageEnd - page);
        EXPECT_NE(pageText.find(std::string("/MediaBox ") + boxes[i]), std::string::npos) << pageText;
        EXPECT_NE(pageText.find("/Contents " + std::to_string(n + 1) + " 0 R"), std::string::npos);
        EXPECT_NE(pageText.find("/Im0 " + std::to_string(n + 2) + " 0 R"), std::string::npos);
        const size_t image = text.find(std::to_string(n + 2) + " 0 obj\n<< /Type /XObject");
        ASSERT_NE(image, std::string::npos);
        const std::string head = text.substr(image, text.find("stream\n", image) - image);
        EXPECT_NE(head.find("/Width " + std::to_string(pages[i].width) + "\n"), std::string::npos);
        EXPECT_NE(head.find("/Height " + std::to_string(pages[i].height) + "\n"), std::string::npos);
        EXPECT_NE(head.find("/Length " + std::to_string(pages[i].jpeg.size()) + "\n"), std::string::npos);
    }

    // Twelve 20-byte entries, each pointing at the start of its object; startxref at the table.
    const std::vector<uint64_t> offsets = XrefOffsets(text, 12);
    ASSERT_EQ(offsets.size(), 11u);
    for (size_t k = 1; k < 12; ++k) {
        EXPECT_EQ(text.compare(offsets[k - 1], std::to_string(k).size() + 7, std::to_string(k) + " 0 obj\n"), 0) << k;
    }
    const size_t xref = text.rfind("\nxref\n") + 1;
    const size_t trailer = text.find("trailer\n", xref);
    EXPECT_EQ(trailer - xref, std::string("xref\n0 12\n").size() + 12 * 20);
    EXPECT_NE(text.find("startxref\n" + std::to_string(xref) + "\n%%EOF\n"), std::string::npos);
    EXPECT_EQ(text.compare(text.size() - 6, 6, "%%EOF\n"), 0);
}

// Page sizes are written like printf "%g"; where that would need an exponent, which no PDF number
// has, the page is refused instead.
TEST(PdfWriter, PageSizesAreWrittenLikePrintfGOrRefused) {
    EXPECT_EQ(PointsFromPixels(1000), 720.0);
    EXPECT_EQ(PointsFromPixels(1), 1.0);
    EXPECT_EQ(PointsFromPixels(0), 1.0);
    EXPECT_DOUBLE_EQ(PointsFromPixels(1234), 888.48);

    // What the page size is written as, or "refused".
    const auto written = [](double pageWidth) -> std::string {
        PageImage page = JpegPage(8, 8, 0);
        page.pageWidth = pageWidth;
        PdfWriteResult result;
        const std::string text = AsText(WritePdfToMemory({page}, &result));
        if (!result.complete) {
            EXPECT_EQ(result.refusal, PageRefusal::PageSizeOutOfRange) << pageWidth;
            EXPECT_TRUE(text.empty());
            return "refused";
        }
        const size_t box = text.find("/MediaBox [0 0 ");
        const std::string size = text.substr(box + 15, text.find(' ', box + 15) - box - 15);
        EXPECT_NE(text.find("q\n" + size + " 0 0 5.76 0 0 cm\n"), std::string::npos) << pageWidth;
        return size;
    };
    struct Case {
        double pageWidth;
        const char* text;
    };
    const Case cases[] = {
        {1.0, "1"},           {1.44, "1.44"},       {720, "720"},         {888.48, "888.48"},
        {999999.36, "999999"}, {999999.49, "999999"}, {999999.5, "refused"}, {1000000.08, "refused"},
        {3.09238e+09, "refused"}, {0.72, "refused"}, {0, "refused"},        {-5, "refused"},
        {std::nan(""), "refused"}, {INFINITY, "refused"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(written(c.pageWidth), c.text) << c.pageWidth;
    }

    // A sweep against the C library's own "%g" (the test runs in the "C" locale): every size it
    // writes without an exponent is written the same way, every other one is refused.
    for (uint32_t pixels = 1; pixels < 3000000; pixels = pixels * 3 / 2 + 1) {
        char expected[64];
        std::snprintf(expected, sizeof(expected), "%g", PointsFromPixels(pixels));
        const bool plain = std::strchr(expected, 'e') == nullptr;
        EXPECT_EQ(written(PointsFromPixels(pixels)), plain ? expected : "refused") << pixels;
    }
}

// The image's colour space comes from its frame header; only the 3-component form is the one of
// the worked example.
TEST(PdfWriter, ColourSpaceFollowsTheFrameHeader) {
    struct Case {
        JpegLayout layout;
        const char* dictionary;
    };
    const Case cases[] = {
        {{1, 0xC0, 8, false}, "/ColorSpace /DeviceGray\n   /BitsPerComponent 8\n"},
        {{3, 0xC0, 8, false}, "/ColorSpace /DeviceRGB\n   /BitsPerComponent 8\n"},
        {{3, 0xC2, 8, true}, "/ColorSpace /DeviceRGB\n   /BitsPerComponent 8\n"},
        {{4, 0xC1, 8, false}, "/ColorSpace /DeviceCMYK\n   /BitsPerComponent 8\n"},
        {{4, 0xC2, 8, true}, "/ColorSpace /DeviceCMYK\n   /Decode [1 0 1 0 1 0 1 0]\n   /BitsPerComponent 8\n"},
    };
    for (const Case& c : cases) {
        PdfWriteResult result;
        const std::string text = AsText(WritePdfToMemory({JpegPage(30, 20, 200, c.layout)}, &result));
        EXPECT_TRUE(result.complete);
        EXPECT_NE(text.find(std::string("   /Height 20\n   ") + c.dictionary + "   /Filter /DCTDecode\n"),
                  std::string::npos)
            << c.dictionary;
    }
}

// A page the writer cannot describe truthfully is refused before anything is written, and the
// result says which page and why; CheckPageImage gives the same verdict for the page alone.
TEST(PdfWriter, RefusesPagesItCannotDescribe) {
    struct Case {
        const char* what;
        PageImage page;
        PageRefusal refusal;
    };
    PageImage wider = JpegPage(10, 10, 200);
    wider.width = 11;
    SetPageSize(wider);
    PageImage taller = JpegPage(10, 10, 200);
    taller.height = 9;
    PageImage zeroWidth = JpegPage(10, 10, 200);
    zeroWidth.width = 0;
    PageImage zeroHeight = JpegPage(10, 10, 200);
    zeroHeight.height = 0;
    std::vector<uint8_t> cut = MakeJpeg(10, 10, 0);
    cut.resize(2 + 18 + 69 + 10);  // ends inside the frame header
    const Case cases[] = {
        {"zero width", zeroWidth, PageRefusal::ZeroSize},
        {"zero height", zeroHeight, PageRefusal::ZeroSize},
        {"empty JPEG", MakePage(10, 10, {}), PageRefusal::NoFrameHeader},
        {"only an end marker", MakePage(10, 10, {0xFF, 0xD9}), PageRefusal::NoFrameHeader},
        {"cut in the frame header", MakePage(10, 10, cut), PageRefusal::NoFrameHeader},
        {"lossless", JpegPage(10, 10, 200, {3, 0xC3, 8, false}), PageRefusal::UnsupportedCoding},
        {"arithmetic", JpegPage(10, 10, 200, {3, 0xC9, 8, false}), PageRefusal::UnsupportedCoding},
        {"hierarchical", JpegPage(10, 10, 200, {3, 0xC5, 8, false}), PageRefusal::UnsupportedCoding},
        {"12-bit", JpegPage(10, 10, 200, {3, 0xC1, 12, false}), PageRefusal::UnsupportedPrecision},
        {"2 components", JpegPage(10, 10, 200, {2, 0xC0, 8, false}), PageRefusal::UnsupportedComponents},
        {"5 components", JpegPage(10, 10, 200, {5, 0xC0, 8, true}), PageRefusal::UnsupportedComponents},
        {"width differs", wider, PageRefusal::SizeMismatch},
        {"height differs", taller, PageRefusal::SizeMismatch},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckPageImage(c.page), c.refusal) << c.what;
        size_t calls = 0;
        const ByteSink sink = [&calls](const void*, uint32_t) {
            ++calls;
            return true;
        };
        const std::vector<PageImage> pages = {JpegPage(4, 4, 150), JpegPage(5, 5, 150), c.page};
        const PdfWriteResult result = WriteImagePdf(sink, pages);
        EXPECT_FALSE(result.complete) << c.what;
        EXPECT_EQ(result.refusal, c.refusal) << c.what;
        EXPECT_EQ(result.refusedPage, 2u) << c.what;
        EXPECT_EQ(result.bytesWritten, 0u) << c.what;
        EXPECT_EQ(calls, 0u) << c.what;
        EXPECT_STRNE(PageRefusalText(c.refusal), PageRefusalText(PageRefusal::None)) << c.what;
    }
    EXPECT_EQ(CheckPageImage(JpegPage(1, 65535, 0)), PageRefusal::None);
}

TEST(PdfWriter, RefusesAnEmptyPageList) {
    int calls = 0;
    const ByteSink sink = [&calls](const void*, uint32_t) {
        ++calls;
        return true;
    };
    const PdfWriteResult result = WriteImagePdf(sink, {});
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.bytesWritten, 0u);
    EXPECT_EQ(calls, 0);
}

// A sink that takes `failAt` writes in full and then fails one, either taking nothing or taking
// part of it (a short write). The writer must stop there and say so.
TEST(PdfWriter, StopsAtTheFirstFailedOrShortWrite) {
    const std::vector<PageImage> pages = {JpegPage(20, 10, 300), JpegPage(10, 20, 200)};
    std::vector<uint32_t> lengths;
    {
        const ByteSink recorder = [&lengths](const void*, uint32_t size) {
            lengths.push_back(size);
            return true;
        };
        const PdfWriteResult full = WriteImagePdf(recorder, pages);
        ASSERT_TRUE(full.complete);
    }
    // Header, catalog, page tree, five per page (page, content, image head, JPEG, image end), xref.
    ASSERT_EQ(lengths.size(), 3u + 5u * pages.size() + 1u);
    EXPECT_EQ(lengths[0], 15u);
    EXPECT_EQ(lengths[3 + 3], 300u);
    EXPECT_EQ(lengths[3 + 4], 18u);

    for (bool shortWrite : {false, true}) {
        for (size_t failAt = 0; failAt < lengths.size(); ++failAt) {
            size_t calls = 0;
            uint64_t taken = 0;
            const ByteSink sink = [&](const void*, uint32_t size) {
                if (calls++ == failAt) {
                    taken += shortWrite ? size / 2 : 0;
                    return false;
                }
                taken += size;
                return true;
            };
            const PdfWriteResult result = WriteImagePdf(sink, pages);
            uint64_t before = 0;
            for (size_t k = 0; k < failAt; ++k) {
                before += lengths[k];
            }
            EXPECT_FALSE(result.complete) << failAt;
            EXPECT_EQ(calls, failAt + 1) << "writing went on after write " << failAt << " failed";
            EXPECT_EQ(result.bytesWritten, before) << failAt;
        }
    }
}
