// Outside bytes as the JPEG of a page: whatever the writer accepts must come back out of its PDF
// unchanged, once per page, and whatever it refuses must leave nothing written.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "pdf/jpeg_frame.h"
#include "pdf/pdf_split.h"
#include "pdf/pdf_writer.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PageImage page;
    page.jpeg.assign(data, data + size);
    if (const std::optional<JpegFrameInfo> frame = ReadJpegFrameInfo(data, size)) {
        page.width = frame->width;
        page.height = frame->height;
    }
    SetPageSize(page);
    const PageRefusal refusal = CheckPageImage(page);

    std::vector<uint8_t> pdf;
    const ByteSink sink = [&pdf](const void* bytes, uint32_t length) {
        const auto* p = static_cast<const uint8_t*>(bytes);
        pdf.insert(pdf.end(), p, p + length);
        return true;
    };
    // Two pages, so that the scan must also find its way from one page to the next.
    const std::vector<PageImage> pages = {page, page};
    const PdfWriteResult result = WriteImagePdf(sink, pages);
    Require(result.refusal == refusal);
    if (refusal != PageRefusal::None) {
        Require(!result.complete && result.refusedPage == 0 && pdf.empty());
        return 0;
    }
    Require(result.complete && result.bytesWritten == pdf.size());

    const std::vector<ExtractedJpeg> found = ScanJpegStreams(pdf.data(), pdf.size(), ReadJpegFrameSize);
    if (size <= 100) {
        Require(found.empty());  // too small to be a page
        return 0;
    }
    Require(found.size() == 2);
    for (const ExtractedJpeg& extracted : found) {
        Require(extracted.bytes == page.jpeg && extracted.width == page.width && extracted.height == page.height);
    }
    return 0;
}
