#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// One accepted image, ready to become one page.
struct PageImage {
    uint32_t width = 0;       // pixel width of the upright image
    uint32_t height = 0;      // pixel height of the upright image
    double pageWidth = 1.0;   // points: max(1.0, width * 0.72)
    double pageHeight = 1.0;  // points: max(1.0, height * 0.72)
    std::vector<uint8_t> jpeg;
};

// One pixel is 0.72 point whatever resolution the image records; a page edge is never under 1 point.
double PointsFromPixels(uint32_t pixels);

// Fills pageWidth and pageHeight from width and height.
void SetPageSize(PageImage& page);

// Hands one run of bytes to the file in a single call. Returns true only when all `size` bytes
// were written.
using ByteSink = std::function<bool(const void* data, uint32_t size)>;

// Why a page cannot go into the PDF. The writer states /BitsPerComponent 8 and a colour space
// taken from the JPEG's frame header, so it only takes what those words describe truthfully.
enum class PageRefusal : uint8_t {
    None,
    ZeroSize,               // width or height is 0
    NoFrameHeader,          // the JPEG's frame header cannot be read
    UnsupportedCoding,      // lossless, hierarchical or arithmetic-coded: not for DCTDecode
    UnsupportedPrecision,   // not 8 bits per sample
    UnsupportedComponents,  // not 1 (gray), 3 (RGB) or 4 (CMYK) components
    SizeMismatch,           // width or height differs from the frame header's
    PageSizeOutOfRange,     // pageWidth or pageHeight is not a number from 1 up to the plain-notation limit
    JpegTooLarge,           // the JPEG does not fit one write with a 32-bit length
};

// A few English words for the log line of a refused page.
const char* PageRefusalText(PageRefusal refusal);

// Checks one page the way WriteImagePdf does, so that a caller can skip and log a bad page instead
// of losing the whole file.
PageRefusal CheckPageImage(const PageImage& page);

// The outcome of WriteImagePdf. When `complete` is false the output is unusable: the caller must
// discard the file and report the failure.
struct [[nodiscard]] PdfWriteResult {
    uint64_t bytesWritten = 0;               // the byte counter: grows only by writes that succeeded in full
    bool complete = false;                   // every write succeeded in full
    PageRefusal refusal = PageRefusal::None; // why page `refusedPage` was refused; nothing was written then
    size_t refusedPage = 0;                  // index into the page list, from 0
};

// Writes a PDF 1.4 file with one page per image, each page showing its JPEG at the page's full
// size, in the colour space its frame header states. Every object's text goes to the sink in one
// call (three calls for an image object) and the cross-reference offsets are taken from the byte
// counter. The first write that fails or comes back short ends the writing. An empty page list or a
// page that CheckPageImage refuses stops it before the first byte; a file too large for ten-digit
// offsets is refused before the bytes that would break the format are written.
PdfWriteResult WriteImagePdf(const ByteSink& sink, std::span<const PageImage> pages);
