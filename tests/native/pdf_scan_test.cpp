#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pdf/jpeg_frame.h"
#include "pdf/pdf_split.h"
#include "pdf/pdf_writer.h"
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
// the body and "endstream". Its /Length is the body's size unless `length` says otherwise.
void AddStream(std::vector<uint8_t>& file, const std::vector<uint8_t>& body, const std::string& before = "\n",
               const std::string& after = "\n", const std::string& length = "") {
    Append(file, "7 0 obj\n<< /Length " + (length.empty() ? std::to_string(body.size()) : length) + " >>\nstream" +
                     before);
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

// Colour layout and the Adobe mark, which decide the PDF's colour space, wherever the segments stand.
TEST(PdfJpegFrame, ReadsWhatTheWriterNeeds) {
    const auto beforeScan = [](std::vector<uint8_t> jpeg, std::vector<uint8_t> segment) {
        const uint8_t scan[] = {0xFF, 0xDA};
        const size_t at = *FindBytes(jpeg.data(), jpeg.size(), scan, 2);
        jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(at), segment.begin(), segment.end());
        return jpeg;
    };
    const std::vector<uint8_t> adobe = {0xFF, 0xEE, 0x00, 0x0E, 'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 2};
    const std::vector<uint8_t> notAdobe = {0xFF, 0xEE, 0x00, 0x0E, 'A', 'd', 'o', 'b', 'x', 0, 100, 0, 0, 0, 0, 2};
    const std::vector<uint8_t> shortApp14 = {0xFF, 0xEE, 0x00, 0x04, 'A', 'd', 'F', 'F'};
    // A second frame header (a hierarchical file) does not replace the first.
    const std::vector<uint8_t> secondFrame = {0xFF, 0xC1, 0x00, 0x0B, 0x0C, 0x00, 0x05, 0x00, 0x06, 0x01, 0x01, 0x11, 0x00};
    struct Case {
        const char* what;
        std::vector<uint8_t> jpeg;
        uint8_t marker, precision, components;
        bool adobe;
    };
    const Case cases[] = {
        {"baseline RGB", MakeJpeg(9, 7, 10), 0xC0, 8, 3, false},
        {"gray", MakeJpeg(9, 7, 10, 1, {1, 0xC0, 8, false}), 0xC0, 8, 1, false},
        {"Adobe CMYK", MakeJpeg(9, 7, 10, 1, {4, 0xC2, 8, true}), 0xC2, 8, 4, true},
        {"12-bit", MakeJpeg(9, 7, 10, 1, {3, 0xC1, 12, false}), 0xC1, 12, 3, false},
        {"Adobe after the frame", beforeScan(MakeJpeg(9, 7, 10, 1, {4, 0xC0, 8, false}), adobe), 0xC0, 8, 4, true},
        {"another APP14", beforeScan(MakeJpeg(9, 7, 10, 1, {4, 0xC0, 8, false}), notAdobe), 0xC0, 8, 4, false},
        {"APP14 too short", beforeScan(MakeJpeg(9, 7, 10, 1, {4, 0xC0, 8, false}), shortApp14), 0xC0, 8, 4, false},
        {"second frame", beforeScan(MakeJpeg(9, 7, 10), secondFrame), 0xC0, 8, 3, false},
    };
    for (const Case& c : cases) {
        const std::optional<JpegFrameInfo> info = ReadJpegFrameInfo(c.jpeg.data(), c.jpeg.size());
        ASSERT_TRUE(info.has_value()) << c.what;
        EXPECT_EQ(info->width, 9u) << c.what;
        EXPECT_EQ(info->height, 7u) << c.what;
        EXPECT_EQ(info->marker, c.marker) << c.what;
        EXPECT_EQ(info->precision, c.precision) << c.what;
        EXPECT_EQ(info->components, c.components) << c.what;
        EXPECT_EQ(info->adobe, c.adobe) << c.what;
    }
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
    AddStream(file, noEnd, "\n", "\n", "8 0 R");  // without a length it trusts, it must end FF D9
    AddStream(file, flate);
    AddStream(file, page2);
    Append(file, "trailer\n%%EOF\n");

    // Pages are handed over in place, numbered in file order.
    std::vector<size_t> seen;
    const size_t count = ForEachJpegStream(file.data(), file.size(), ReadJpegFrameSize,
                                           [&](size_t number, const JpegStreamView& page) {
                                               EXPECT_GE(page.data, file.data());
                                               EXPECT_LE(page.data + page.size, file.data() + file.size());
                                               seen.push_back(number * 100000 + page.size);
                                           });
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(seen, (std::vector<size_t>{100000 + page1.size(), 200000 + page2.size()}));
    const std::vector<ExtractedJpeg> pages = Scan(file);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(pages[0].bytes == page1);
    EXPECT_TRUE(pages[1].bytes == page2);

    // Only non-pages: nothing, and the observer is never called.
    std::vector<uint8_t> none;
    AddStream(none, flate);
    AddStream(none, noFrame);
    bool called = false;
    EXPECT_EQ(ForEachJpegStream(none.data(), none.size(), ReadJpegFrameSize,
                                [&called](size_t, const JpegStreamView&) { called = true; }),
              0u);
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

// A direct /Length that "endstream" confirms gives the body exactly, so what a JPEG holds inside it
// or after its end no longer matters; without one the scan stops at the first "endstream".
TEST(PdfScan, AConfirmedLengthGivesTheBodyExactly) {
    const std::vector<uint8_t> jpeg = MakeJpeg(20, 10, 300);
    const std::vector<uint8_t> comment = pdftest::WithComment(jpeg, "\nendstream\nendobj\n9 0 obj\nstream\n\xFF\xD9");
    std::vector<uint8_t> trailing = jpeg;
    Append(trailing, std::string("\0\0camera\r\nendstream\n\xFF\xD9", 26));
    const std::string size = std::to_string(jpeg.size());
    const std::vector<uint8_t> none;
    struct Case {
        const std::vector<uint8_t>& body;
        std::string dictionary;  // "N" stands for the body's size
        const char* after;       // between the body and "endstream"
        const std::vector<uint8_t>& expected;
    };
    const Case cases[] = {
        {comment, "<< /Length N >>", "\n", comment},
        {comment, "<</Filter/DCTDecode/Length N>>", "\r\n", comment},
        {comment, "<< /Length N >>", "\r", comment},
        {comment, "<< /Length N >>", "", comment},
        {comment, "<< /Length N 0 R >>", "\n", none},  // indirect: scanned, cut at the inner "endstream"
        {comment, "<< /Length N >>", "\n\n", none},     // two line ends: not the stated length's end
        {comment, "<< /Length1 N >>", "\n", none},      // another key
        {comment, "<< /Length1 3000 /Length N >>", "\n", comment},
        {trailing, "<< /Length N >>", "\n", trailing},
        {trailing, "<< /Length 8 0 R >>", "\n", none},
        {jpeg, "<< /Length 99999 >>", "\n", jpeg},       // a length that does not fit: scanned as before
        {jpeg, "<< /Length " + std::to_string(jpeg.size() - 1) + " >>", "\n", jpeg},
        {jpeg, "<< /Length " + size + ".0 >>", "\n", jpeg},
        {jpeg, "<< /Length -" + size + " >>", "\n", jpeg},
    };
    for (const Case& c : cases) {
        std::string dictionary = c.dictionary;
        if (const size_t n = dictionary.find(" N"); n != std::string::npos) {
            dictionary.replace(n + 1, 1, std::to_string(c.body.size()));
        }
        std::vector<uint8_t> file = pdftest::Bytes("%PDF-1.4\n4 0 obj\n<< /Length 5 >>\nstream\nhello\nendstream\nendobj\n");
        Append(file, "5 0 obj\n" + dictionary + "\nstream\n");
        Append(file, c.body);
        Append(file, std::string(c.after) + "endstream\nendobj\ntrailer\n%%EOF\n");
        const std::vector<ExtractedJpeg> pages = Scan(file);
        SCOPED_TRACE(dictionary + " after=" + c.after);
        ASSERT_EQ(pages.size(), c.expected.empty() ? 0u : 1u);
        if (!pages.empty()) {
            EXPECT_TRUE(pages[0].bytes == c.expected);
        }
    }
}

// Any JPEG the writer takes comes back out of its PDF unchanged, whatever its comments hold and
// whatever follows its end marker: keywords, line ends, object headers, a /Thumb naming itself.
// The bases are synthetic and real small files (the round-trip fuzzer's seeds, from ImageMagick).
TEST(PdfScan, EveryJpegTheWriterTakesComesBackUnchanged) {
    std::vector<std::vector<uint8_t>> bases = {MakeJpeg(33, 21, 150, 1, {1, 0xC0, 8, false}), MakeJpeg(7, 50, 400, 2),
                                               MakeJpeg(64, 64, 90, 3, {4, 0xC2, 8, true})};
    for (const char* name : {"gray.jpg", "progressive.jpg", "cmyk.jpg", "comment.jpg", "trailing.jpg"}) {
        bases.push_back(pdftest::ReadFileBytes(std::filesystem::path(TARVIX_SOURCE_DIR) /
                                               "tests/fuzz/seeds/fuzz_pdf_roundtrip" / name));
        ASSERT_GT(bases.back().size(), 100u) << name;
    }
    const std::string pieces[] = {"endstream", "stream", "\r\n", "\n\n\r", "\r", "endstream\r\n", ">>\nstream\n",
                                  "5 0 obj\n<< /Length 12 >>\n", "/Thumb 5 0 R", "/Thumb 8 0 R", "\xFF\xD9",
                                  "\xFF\xD8\xFF", "endobj"};
    std::mt19937 rng(11);
    const auto junk = [&](size_t parts) {
        std::string text;
        for (size_t i = 0; i < parts; ++i) {
            if (rng() % 3 == 0) {
                text += static_cast<char>(rng());
            } else {
                text += pieces[rng() % std::size(pieces)];
            }
        }
        return text;
    };
    for (int round = 0; round < 400; ++round) {
        std::vector<PageImage> pages;
        for (size_t count = 1 + rng() % 3; pages.size() < count;) {
            std::vector<uint8_t> jpeg = bases[rng() % bases.size()];
            for (uint32_t comments = rng() % 3; comments > 0; --comments) {
                jpeg = pdftest::WithComment(jpeg, junk(1 + rng() % 8));
            }
            Append(jpeg, junk(rng() % 6));  // after the end marker
            const std::optional<JpegFrameInfo> frame = ReadJpegFrameInfo(jpeg.data(), jpeg.size());
            ASSERT_TRUE(frame.has_value());
            pages.push_back(pdftest::MakePage(frame->width, frame->height, jpeg));
            ASSERT_EQ(CheckPageImage(pages.back()), PageRefusal::None);
        }
        PdfWriteResult result;
        const std::vector<uint8_t> pdf = pdftest::WritePdfToMemory(pages, &result);
        ASSERT_TRUE(result.complete);
        const std::vector<ExtractedJpeg> found = Scan(pdf);
        ASSERT_EQ(found.size(), pages.size()) << "round " << round;
        for (size_t i = 0; i < pages.size(); ++i) {
            ASSERT_TRUE(found[i].bytes == pages[i].jpeg) << "round " << round << " page " << i;
        }
    }
}

// Page thumbnails are JPEG streams too, but not pages: the streams that /Thumb entries name are
// left out, whether the entry comes before or after the thumbnail.
TEST(PdfScan, ThumbnailsAreNotPages) {
    const std::vector<PageImage> pages = {pdftest::MakePage(40, 30, MakeJpeg(40, 30, 300, 1)),
                                          pdftest::MakePage(30, 40, MakeJpeg(30, 40, 500, 2))};
    for (bool thumbnailsFirst : {true, false}) {
        std::vector<uint8_t> pdf = pdftest::MakePdfWithThumbnails(pages, thumbnailsFirst);
        std::vector<ExtractedJpeg> found = Scan(pdf);
        ASSERT_EQ(found.size(), 2u) << thumbnailsFirst;
        EXPECT_TRUE(found[0].bytes == pages[0].jpeg);
        EXPECT_TRUE(found[1].bytes == pages[1].jpeg);

        // Without the entries the same streams are pages: it is the entry that leaves them out.
        std::string text = pdftest::AsText(pdf);
        for (size_t at = text.find("/Thumb "); at != std::string::npos; at = text.find("/Thumb ", at)) {
            text[at + 5] = 'x';
        }
        found = Scan(pdftest::Bytes(text));
        EXPECT_EQ(found.size(), 4u) << thumbnailsFirst;
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
