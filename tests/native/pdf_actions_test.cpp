#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pdf/pdf_actions.h"

TEST(DecideSplitClosing, CountsWrittenPagesAndNamesARunThatWroteNothing) {
    struct Case {
        SplitTally tally;  // inputs, unreadable, withoutPages, pagesFound, pagesWritten
        SplitClosing expected;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0}, SplitClosing::None},             // picker cancelled
        {{1, 0, 0, 3, 3}, SplitClosing::Finished},         // the plain run
        {{2, 0, 1, 3, 3}, SplitClosing::Finished},         // one PDF without pages, one with
        {{3, 1, 1, 4, 2}, SplitClosing::Finished},         // some pages failed: still some written
        {{1, 0, 1, 0, 0}, SplitClosing::None},             // only a PDF without pages: its own balloon
        {{3, 0, 3, 0, 0}, SplitClosing::None},
        {{1, 1, 0, 0, 0}, SplitClosing::NothingWritten},   // the only PDF unreadable
        {{2, 1, 1, 0, 0}, SplitClosing::NothingWritten},   // unreadable plus one without pages
        {{1, 0, 0, 3, 0}, SplitClosing::NothingWritten},   // every page write failed
        {{2, 0, 1, 2, 0}, SplitClosing::NothingWritten},
    };
    for (const Case& c : cases) {
        const SplitTally& t = c.tally;
        EXPECT_EQ(DecideSplitClosing(t), c.expected) << t.inputs << " " << t.unreadable << " " << t.withoutPages
                                                     << " " << t.pagesFound << " " << t.pagesWritten;
    }
}

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

const Bytes kSoi = {0xFF, 0xD8}, kEoi = {0xFF, 0xD9};
const Bytes kApp0 = {0xFF, 0xE0, 0x00, 0x07, 'J', 'F', 'I', 'F', 0x00};
const Bytes kSof0 = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x10, 0x00, 0x10, 0x01, 0x01, 0x11, 0x00};
const Bytes kSos = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00};
// Entropy-coded data with a stuffed zero and a restart marker, which do not end it.
const Bytes kScanData = {0x12, 0x34, 0xFF, 0x00, 0x56, 0xFF, 0xD3, 0x78};

}  // namespace

TEST(JpegSegmentsFit, EverySegmentMustLieInsideTheBytes) {
    const Bytes good = Join({kSoi, kApp0, kSof0, kSos, kScanData, kEoi});
    struct Case {
        const char* what;
        Bytes bytes;
        bool fits;
    };
    const Case cases[] = {
        {"well formed", good, true},
        {"fill bytes before markers", Join({kSoi, {0xFF, 0xFF}, kApp0, kSof0, kSos, kScanData, {0xFF}, kEoi}), true},
        {"second scan after the first", Join({kSoi, kSof0, kSos, kScanData, kSos, kScanData, kEoi}), true},
        {"bytes after the end marker", Join({good, {0x00, 0x01}}), true},
        {"segment length past the end", Join({kSoi, {0xFF, 0xE0, 0x78, 0x78}, Bytes(200, 'x'), kEoi}), false},
        {"overlong segment between scans", Join({kSoi, kSof0, kSos, kScanData, {0xFF, 0xE1, 0x40, 0x00, 1, 2}, kEoi}), false},
        {"segment length below two", Join({kSoi, {0xFF, 0xE0, 0x00, 0x01}, kEoi}), false},
        {"junk where a marker must stand", Join({kSoi, kApp0, {0x42}, kEoi}), false},
        {"stuffed zero outside a scan", Join({kSoi, {0xFF, 0x00}, kEoi}), false},
        {"no start of image", Join({kApp0, kEoi}), false},
        {"scan data never ends", Join({kSoi, kSof0, kSos, Bytes(64, 0x11)}), false},
        {"empty", {}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(JpegSegmentsFit(c.bytes.data(), c.bytes.size()), c.fits) << c.what;
    // Every cut short of the end marker leaves a segment or the scan unfinished.
    for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(JpegSegmentsFit(good.data(), n)) << n << " bytes";
    EXPECT_FALSE(JpegSegmentsFit(nullptr, 10));
}
