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

// The outcome of WriteImagePdf. When `complete` is false the output is unusable: the caller must
// discard the file and report the failure.
struct [[nodiscard]] PdfWriteResult {
    uint64_t bytesWritten = 0;  // the byte counter: grows only by writes that succeeded in full
    bool complete = false;      // every write succeeded in full
};

// Writes a PDF 1.4 file with one page per image, each page showing its JPEG at the page's full
// size. Every object's text goes to the sink in one call (three calls for an image object) and the
// cross-reference offsets are taken from the byte counter. The first write that fails or comes
// back short ends the writing. An empty page list, a JPEG too large for one write, or a file too
// large for ten-digit offsets is refused before the bytes that would break the format are written.
PdfWriteResult WriteImagePdf(const ByteSink& sink, std::span<const PageImage> pages);
