// Decisions of the PDF actions, kept apart from the platform calls that carry them out.
#pragma once

#include <cstddef>
#include <cstdint>

// Largest PDF the split reads into memory (500 MiB).
inline constexpr unsigned long long kMaxSplitPdfBytes = 524'288'000ULL;

// What one split run did, counted as it goes.
struct SplitTally {
    size_t inputs = 0;        // PDFs handed to the run
    size_t unreadable = 0;    // not opened, size out of range, or not read in full
    size_t withoutPages = 0;  // read, but no JPEG page in it (each one has had its own balloon)
    size_t pagesFound = 0;
    size_t pagesWritten = 0;  // page files created and written whole
};

enum class SplitClosing {
    None,            // nothing to add: no input, or every PDF read had no pages and said so
    Finished,        // the closing balloon, counting the pages written
    NothingWritten,  // inputs failed and not one page file exists
};

SplitClosing DecideSplitClosing(const SplitTally& tally);

// Whether every marker segment of a JPEG lies inside its bytes, from the start-of-image marker to
// the end-of-image marker, the entropy-coded data after each scan header included. A segment
// length pointing past the end makes a decoder skip beyond its input; some memory streams then
// read outside their block instead of reporting the end, so such data never reaches a decoder.
bool JpegSegmentsFit(const uint8_t* data, size_t size);
