#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pdf/jpeg_frame.h"
#include "pdf/pdf_split.h"
#include "pdf_test_support.h"

using pdftest::Append;
using pdftest::MakeJpeg;

namespace {

std::optional<size_t> Find(const std::string& range, const std::string& pattern) {
    return FindBytes(reinterpret_cast<const uint8_t*>(range.data()), range.size(),
                     reinterpret_cast<const uint8_t*>(pattern.data()), pattern.size());
}

std::optional<size_t> NaiveFind(const std::vector<uint8_t>& range, const std::vector<uint8_t>& pattern) {
    if (pattern.empty() || pattern.size() > range.size()) {
        return std::nullopt;
    }
    for (size_t i = 0; i + pattern.size() <= range.size(); ++i) {
        if (std::equal(pattern.begin(), pattern.end(), range.begin() + static_cast<std::ptrdiff_t>(i))) {
            return i;
        }
    }
    return std::nullopt;
}

std::vector<ExtractedJpeg> Scan(const std::vector<uint8_t>& file) {
    return ScanJpegStreams(file.data(), file.size(), ReadJpegFrameSize);
}

// A stream object around `body`, with the given bytes between "stream" and the body and between
// the body and "endstream".
void AddStream(std::vector<uint8_t>& file, const std::vector<uint8_t>& body, const std::string& before = "\n",
               const std::string& after = "\n") {
    Append(file, "7 0 obj\n<< /Length " + std::to_string(body.size()) + " >>\nstream" + before);
    Append(file, body);
    Append(file, after + "endstream\nendobj\n");
}

}  // namespace

TEST(PdfFindBytes, EdgeCases) {
    const uint8_t range[] = {'a', 'b', 'c'};
    const uint8_t pattern[] = {'b'};
    EXPECT_EQ(FindBytes(nullptr, 3, pattern, 1), std::nullopt);
    EXPECT_EQ(FindBytes(range, 3, nullptr, 1), std::nullopt);
    EXPECT_EQ(FindBytes(range, 3, pattern, 0), std::nullopt);
    EXPECT_EQ(FindBytes(range, 3, pattern, 1), std::optional<size_t>(1));

    EXPECT_EQ(Find("abc", ""), std::nullopt);
    EXPECT_EQ(Find("", "a"), std::nullopt);
    EXPECT_EQ(Find("ab", "abc"), std::nullopt);
    EXPECT_EQ(Find("abc", "abc"), std::optional<size_t>(0));
    EXPECT_EQ(Find("xxendstream", "endstream"), std::optional<size_t>(2));
    EXPECT_EQ(Find("endstrea", "endstream"), std::nullopt);      // cut one byte short of the end
    EXPECT_EQ(Find("eeendstreaX", "endstream"), std::nullopt);   // first bytes match, last does not
    EXPECT_EQ(Find("estream stream", "stream"), std::optional<size_t>(1));
    EXPECT_EQ(Find("ssstream", "stream"), std::optional<size_t>(2));
}

// Against a plain loop over random ranges: a small alphabet makes partial matches frequent, and
// the occurrences near the range's end test the last start position.
TEST(PdfFindBytes, AgreesWithAPlainLoop) {
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> range(rng() % 64);
        for (uint8_t& b : range) {
            b = static_cast<uint8_t>('a' + rng() % 3);
        }
        std::vector<uint8_t> pattern(1 + rng() % 5);
        for (uint8_t& b : pattern) {
            b = static_cast<uint8_t>('a' + rng() % 3);
        }
        const std::optional<size_t> found = FindBytes(range.data(), range.size(), pattern.data(), pattern.size());
        ASSERT_EQ(found, NaiveFind(range, pattern)) << "round " << round;
    }
}

TEST(PdfJpegFrame, ReadsTheFrameHeader) {
    const std::vector<uint8_t> jpeg = MakeJpeg(640, 480, 200);
    std::optional<JpegDimensions> dims = ReadJpegFrameSize(jpeg.data(), jpeg.size());
    ASSERT_TRUE(dims.has_value());
    EXPECT_EQ(dims->width, 640u);
    EXPECT_EQ(dims->height, 480u);

    // A progressive frame (SOF2) after a huffman table (C4, not a frame) and fill bytes.
    std::vector<uint8_t> progressive = {0xFF, 0xD8, 0xFF, 0xC4, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xFF, 0xC2, 0x00, 0x0B,
                                        0x08, 0x00, 0x07, 0x00, 0x09, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xD9};
    dims = ReadJpegFrameSize(progressive.data(), progressive.size());
    ASSERT_TRUE(dims.has_value());
    EXPECT_EQ(dims->width, 9u);
    EXPECT_EQ(dims->height, 7u);
}

TEST(PdfJpegFrame, RejectsMalformedData) {
    const std::vector<uint8_t> good = MakeJpeg(64, 32, 0);
    const size_t frameEnd = 2 + 18 + 69 + 19;  // SOI, APP0, DQT, SOF0

    // Every cut that loses part of the frame header fails; from the full header on it succeeds.
    for (size_t size = 0; size <= good.size(); ++size) {
        const bool readable = ReadJpegFrameSize(good.data(), size).has_value();
        EXPECT_EQ(readable, size >= frameEnd) << size;
    }

    auto mutated = [&](size_t index, uint8_t value) {
        std::vector<uint8_t> bytes = good;
        bytes[index] = value;
        return ReadJpegFrameSize(bytes.data(), bytes.size()).has_value();
    };
    const size_t sof = 2 + 18 + 69;
    EXPECT_FALSE(mutated(1, 0xD9));             // no start-of-image
    EXPECT_FALSE(mutated(sof + 6, 0));          // height 0 (its high byte is 0 already)
    EXPECT_FALSE(mutated(sof + 8, 0));          // width 0
    EXPECT_FALSE(mutated(sof + 9, 0));          // no components
    EXPECT_FALSE(mutated(sof + 3, 0x08));       // frame length shorter than its components need
    EXPECT_FALSE(mutated(2 + 18 + 2, 0xFF));    // DQT length runs past the end
    EXPECT_FALSE(mutated(2 + 18, 0x12));        // garbage where a marker must be
    EXPECT_FALSE(mutated(sof + 1, 0xDA));       // the scan comes before any frame header
    EXPECT_FALSE(mutated(2 + 3, 0x01));         // APP0 length 1
    EXPECT_TRUE(mutated(sof + 1, 0xC1));        // extended sequential frame is still a frame
    EXPECT_FALSE(mutated(sof + 1, 0xC8));       // JPG extension marker is not a frame
    EXPECT_FALSE(ReadJpegFrameSize(nullptr, 100).has_value());
}

TEST(PdfScan, FindsPagesWithTheirLineBreaksLeftOut) {
    const std::vector<uint8_t> jpeg = MakeJpeg(33, 44, 300, 5);
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {{"\n", "\n"}, {"\r\n", "\r\n"}, {"\r", ""}, {"", "\r"}, {"\n\r\n\r", "\n\n\r"}};
    for (const Case& c : cases) {
        std::vector<uint8_t> file = pdftest::Bytes("%PDF-1.4\n");
        AddStream(file, jpeg, c.before, c.after);
        Append(file, "trailer\n%%EOF\n");
        const std::vector<ExtractedJpeg> pages = Scan(file);
        ASSERT_EQ(pages.size(), 1u) << "before=" << c.before << " after=" << c.after;
        EXPECT_TRUE(pages[0].bytes == jpeg);
        EXPECT_EQ(pages[0].width, 33u);
        EXPECT_EQ(pages[0].height, 44u);
    }
}

TEST(PdfScan, OtherBytesAroundTheDataRejectThePage) {
    const std::vector<uint8_t> jpeg = MakeJpeg(10, 10, 300);
    for (const std::string& before : {std::string(" "), std::string("\n "), std::string("\t"), std::string("\n\0", 2)}) {
        std::vector<uint8_t> file;
        AddStream(file, jpeg, before);
        EXPECT_TRUE(Scan(file).empty()) << "before=" << before;
    }
    for (const char* after : {" ", " \n", "\n \n", "x"}) {
        std::vector<uint8_t> file;
        AddStream(file, jpeg, "\n", after);
        EXPECT_TRUE(Scan(file).empty()) << "after=" << after;
    }
}

TEST(PdfScan, BodiesOfAHundredBytesOrLessAreNeverPages) {
    for (size_t payload = 0; payload < 40; ++payload) {
        const std::vector<uint8_t> jpeg = MakeJpeg(8, 8, payload);
        std::vector<uint8_t> file;
        AddStream(file, jpeg);
        EXPECT_EQ(Scan(file).size(), jpeg.size() > 100 ? 1u : 0u) << jpeg.size();
    }
}

TEST(PdfScan, SkipsStreamsThatAreNotJpegPages) {
    const std::vector<uint8_t> page1 = MakeJpeg(100, 50, 400, 1);
    const std::vector<uint8_t> page2 = MakeJpeg(50, 100, 900, 2);
    std::vector<uint8_t> flate(500);
    std::mt19937 rng(3);
    for (uint8_t& b : flate) {
        b = static_cast<uint8_t>(rng() % 200);  // no FF, no 'e' that could start "endstream"
        if (b == 'e') {
            b = 'x';
        }
    }
    flate[0] = 0x78;  // zlib header
    flate[1] = 0x9C;
    // Starts and ends like a JPEG but has no frame header: the decoder rejects it.
    std::vector<uint8_t> noFrame = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xDA, 0x00, 0x02};
    noFrame.resize(300, 0x41);
    noFrame.push_back(0xFF);
    noFrame.push_back(0xD9);
    // Ends without FF D9.
    std::vector<uint8_t> noEnd = page1;
    noEnd.pop_back();

    std::vector<uint8_t> file = pdftest::Bytes("%PDF-1.4\n");
    AddStream(file, flate);
    AddStream(file, page1);
    AddStream(file, noFrame);
    AddStream(file, noEnd);
    AddStream(file, flate);
    AddStream(file, page2);
    Append(file, "trailer\n%%EOF\n");

    std::vector<size_t> seen;
    const std::vector<ExtractedJpeg> pages = ScanJpegStreams(
        file.data(), file.size(), ReadJpegFrameSize,
        [&seen](size_t number, const ExtractedJpeg& page) { seen.push_back(number * 100000 + page.bytes.size()); });
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(pages[0].bytes == page1);
    EXPECT_TRUE(pages[1].bytes == page2);
    EXPECT_EQ(seen, (std::vector<size_t>{100000 + page1.size(), 200000 + page2.size()}));

    // Only non-pages: nothing, and the observer is never called.
    std::vector<uint8_t> none;
    AddStream(none, flate);
    AddStream(none, noFrame);
    bool called = false;
    EXPECT_TRUE(ScanJpegStreams(none.data(), none.size(), ReadJpegFrameSize,
                                [&called](size_t, const ExtractedJpeg&) { called = true; })
                    .empty());
    EXPECT_FALSE(called);
}

TEST(PdfScan, DecoderVerdictDecides) {
    const std::vector<uint8_t> jpeg = MakeJpeg(10, 10, 300);
    std::vector<uint8_t> file;
    AddStream(file, jpeg);
    AddStream(file, jpeg);
    size_t calls = 0;
    const auto zeroSize = [&calls](const uint8_t* data, size_t size) -> std::optional<JpegDimensions> {
        ++calls;
        EXPECT_EQ(data[0], 0xFF);
        EXPECT_EQ(data[size - 1], 0xD9);
        return JpegDimensions{0, 5};
    };
    EXPECT_TRUE(ScanJpegStreams(file.data(), file.size(), zeroSize).empty());
    EXPECT_EQ(calls, 2u);
    const auto any = [](const uint8_t*, size_t) -> std::optional<JpegDimensions> { return JpegDimensions{3, 4}; };
    const std::vector<ExtractedJpeg> pages = ScanJpegStreams(file.data(), file.size(), any);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[1].width, 3u);
    EXPECT_EQ(pages[1].height, 4u);
}

TEST(PdfScan, JpegStartWithoutEndstream) {
    const std::vector<uint8_t> jpeg = MakeJpeg(10, 10, 300);
    // Cut off before "endstream": no page.
    std::vector<uint8_t> file = pdftest::Bytes("1 0 obj\nstream\n");
    Append(file, jpeg);
    EXPECT_TRUE(Scan(file).empty());

    // A page first, then an unfinished one: the first is still found.
    std::vector<uint8_t> two;
    AddStream(two, jpeg);
    Append(two, "stream\n");
    Append(two, jpeg);
    ASSERT_EQ(Scan(two).size(), 1u);

    // Many JPEG starts with no "endstream" anywhere after them: none is a page.
    std::vector<uint8_t> many;
    for (int i = 0; i < 2000; ++i) {
        Append(many, "stream\n\xFF\xD8\xFF\xE0 stream");
    }
    EXPECT_TRUE(Scan(many).empty());
}

TEST(PdfScan, TinyFilesYieldNothing) {
    size_t calls = 0;
    const auto counting = [&calls](const uint8_t*, size_t) -> std::optional<JpegDimensions> {
        ++calls;
        return JpegDimensions{1, 1};
    };
    const std::string text = "stream\xFF\xD8\xFF";
    for (size_t size = 0; size <= 5; ++size) {
        EXPECT_TRUE(ScanJpegStreams(reinterpret_cast<const uint8_t*>(text.data()), size, counting).empty());
    }
    EXPECT_TRUE(ScanJpegStreams(nullptr, 100, counting).empty());
    // "stream" followed by fewer than four bytes ends the scan too.
    for (const char* small : {"stream", "stream\xFF", "stream\xFF\xD8\xFF", "stream\n\n\n\n\n"}) {
        const std::string bytes(small);
        EXPECT_TRUE(ScanJpegStreams(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), counting).empty());
    }
    EXPECT_EQ(calls, 0u);
}

TEST(PdfScan, PageRightAtTheEndOfTheFile) {
    const std::vector<uint8_t> jpeg = MakeJpeg(10, 10, 300);
    for (const char* tail : {"", "\n", "\nen", "\nendob", "\nendobj\n"}) {
        std::vector<uint8_t> file = pdftest::Bytes("stream\n");
        Append(file, jpeg);
        Append(file, std::string("\nendstream") + tail);
        EXPECT_EQ(Scan(file).size(), 1u) << "tail=" << tail;
    }
}

TEST(PdfSplitNames, BaseNameLosesATrailingMerged) {
    struct Case {
        const wchar_t* name;
        const wchar_t* base;
    };
    const Case cases[] = {
        {L"trip-merged", L"trip"},       {L"a-merged-b", L"a-merged-b"}, {L"X-MERGED", L"X-MERGED"},
        {L"-merged", L""},               {L"merged", L"merged"},         {L"a-merged-merged", L"a-merged"},
        {L"report", L"report"},          {L"", L""},                     {L"x-Merged", L"x-Merged"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitBaseName(c.name), c.base);
    }
}

TEST(PdfSplitNames, PageSuffixHasAtLeastTwoDigits) {
    EXPECT_EQ(PageSuffix(1), L"-page-01");
    EXPECT_EQ(PageSuffix(9), L"-page-09");
    EXPECT_EQ(PageSuffix(10), L"-page-10");
    EXPECT_EQ(PageSuffix(99), L"-page-99");
    EXPECT_EQ(PageSuffix(100), L"-page-100");
    EXPECT_EQ(PageSuffix(12345), L"-page-12345");
}
