#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pdf/pdf_writer.h"
#include "pdf_test_support.h"

using pdftest::AsText;
using pdftest::MakePage;
using pdftest::WritePdfToMemory;

namespace {

std::vector<uint8_t> Filler(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    return bytes;
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
    const std::vector<uint8_t> jpeg = Filler(12345);
    PdfWriteResult result;
    const std::vector<uint8_t> pdf = WritePdfToMemory({MakePage(1000, 750, jpeg)}, &result);

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
    std::vector<PageImage> pages = {MakePage(40, 30, Filler(500)), MakePage(1234, 1, Filler(7)),
                                    MakePage(1, 1234, Filler(1))};
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

TEST(PdfWriter, PageSizesAreWrittenLikePrintfG) {
    EXPECT_EQ(PointsFromPixels(1000), 720.0);
    EXPECT_EQ(PointsFromPixels(1), 1.0);
    EXPECT_EQ(PointsFromPixels(0), 1.0);
    EXPECT_DOUBLE_EQ(PointsFromPixels(1234), 888.48);

    struct Case {
        uint32_t pixels;
        const char* written;
    };
    const Case cases[] = {
        {1, "1"},           {2, "1.44"},         {1000, "720"},        {1234, "888.48"},
        {1388888, "999999"}, {1388889, "1e+06"}, {4294967295u, "3.09238e+09"},
    };
    for (const Case& c : cases) {
        const std::string text = AsText(WritePdfToMemory({MakePage(c.pixels, 1000, {0xFF, 0xD9})}));
        EXPECT_NE(text.find(std::string("/MediaBox [0 0 ") + c.written + " 720]"), std::string::npos) << c.pixels;
        EXPECT_NE(text.find(std::string("q\n") + c.written + " 0 0 720 0 0 cm\n"), std::string::npos) << c.pixels;
    }

    // A sweep against the C library's own "%g" (the test runs in the "C" locale).
    for (uint32_t pixels = 1; pixels < 3000000; pixels = pixels * 3 / 2 + 1) {
        char expected[64];
        std::snprintf(expected, sizeof(expected), "%g", PointsFromPixels(pixels));
        const std::string text = AsText(WritePdfToMemory({MakePage(1, pixels, {0xFF, 0xD9})}));
        EXPECT_NE(text.find(std::string("/MediaBox [0 0 1 ") + expected + "]"), std::string::npos) << pixels;
    }
}

TEST(PdfWriter, EmptyJpegStillGivesAConsistentFile) {
    PdfWriteResult result;
    const std::vector<uint8_t> pdf = WritePdfToMemory({MakePage(10, 10, {})}, &result);
    EXPECT_TRUE(result.complete);
    const std::string text = AsText(pdf);
    EXPECT_NE(text.find("/Length 0\n>>\nstream\n\nendstream\nendobj\n"), std::string::npos);
    EXPECT_EQ(result.bytesWritten, pdf.size());
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
    const std::vector<PageImage> pages = {MakePage(20, 10, Filler(300)), MakePage(10, 20, Filler(200))};
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
