#include "pdf/pdf_writer.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "pdf/jpeg_frame.h"

namespace {

// Cross-reference entries hold ten-digit offsets; a larger one would break the 20-byte entry.
constexpr uint64_t kMaxXrefOffset = 9'999'999'999ULL;

// Page sizes are written like printf "%g", which turns to exponent notation ("1e+06") once a value
// rounds to a million at six digits; PDF numbers have no exponent, so such sizes are refused.
constexpr double kMinPageSize = 1.0;
constexpr double kPlainPageSizeLimit = 999'999.5;

// Assembles one object's text. The buffer is reused from object to object, so after the first
// few objects no allocation happens; numbers go through std::to_chars, which ignores the locale.
class PdfText {
public:
    void Clear() { text_.clear(); }
    void Reserve(size_t size) { text_.reserve(size); }
    const char* Data() const { return text_.data(); }
    size_t Size() const { return text_.size(); }

    void Add(std::string_view piece) { text_.append(piece); }

    void AddUint(uint64_t value) {
        char digits[24];
        const auto done = std::to_chars(digits, digits + sizeof(digits), value);
        text_.append(digits, done.ptr);
    }

    // printf "%g": six significant digits, trailing zeros dropped, exponent form from 1e6 up.
    void AddReal(double value) {
        char digits[64];
        const auto done = std::to_chars(digits, digits + sizeof(digits), value, std::chars_format::general, 6);
        text_.append(digits, done.ptr);
    }

    // Ten digits, zero-padded: the offset column of a cross-reference entry.
    void AddOffset10(uint64_t value) {
        char digits[10];
        for (int i = 9; i >= 0; --i) {
            digits[i] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
        text_.append(digits, sizeof(digits));
    }

private:
    std::string text_;
};

// Counts only the bytes of writes that the sink took in full.
class CountingWriter {
public:
    explicit CountingWriter(const ByteSink& sink) : sink_(sink) {}

    bool Write(const void* data, size_t size) {
        if (size > std::numeric_limits<uint32_t>::max()) {
            return false;
        }
        if (!sink_(data, static_cast<uint32_t>(size))) {
            return false;
        }
        counter_ += size;
        return true;
    }

    bool Write(const PdfText& text) { return Write(text.Data(), text.Size()); }

    uint64_t Counter() const { return counter_; }

private:
    const ByteSink& sink_;
    uint64_t counter_ = 0;
};

void AddObjectStart(PdfText& text, uint64_t number) {
    text.AddUint(number);
    text.Add(" 0 obj\n");
}

// NaN fails both comparisons.
bool IsWritablePageSize(double points) {
    return points >= kMinPageSize && points < kPlainPageSizeLimit;
}

// Baseline, extended sequential and progressive huffman frames are what DCTDecode promises to
// read; lossless, hierarchical and arithmetic-coded ones are not.
bool IsDctFrame(uint8_t marker) {
    return marker == 0xC0 || marker == 0xC1 || marker == 0xC2;
}

PageRefusal CheckPage(const PageImage& page, JpegFrameInfo& frame) {
    if (page.width == 0 || page.height == 0) {
        return PageRefusal::ZeroSize;
    }
    if (page.jpeg.size() > std::numeric_limits<uint32_t>::max()) {
        return PageRefusal::JpegTooLarge;  // a JPEG goes to the file in one write with a 32-bit length
    }
    const std::optional<JpegFrameInfo> info = ReadJpegFrameInfo(page.jpeg.data(), page.jpeg.size());
    if (!info) {
        return PageRefusal::NoFrameHeader;
    }
    if (!IsDctFrame(info->marker)) {
        return PageRefusal::UnsupportedCoding;
    }
    if (info->precision != 8) {
        return PageRefusal::UnsupportedPrecision;
    }
    if (info->components != 1 && info->components != 3 && info->components != 4) {
        return PageRefusal::UnsupportedComponents;
    }
    if (info->width != page.width || info->height != page.height) {
        return PageRefusal::SizeMismatch;
    }
    if (!IsWritablePageSize(page.pageWidth) || !IsWritablePageSize(page.pageHeight)) {
        return PageRefusal::PageSizeOutOfRange;
    }
    frame = *info;
    return PageRefusal::None;
}

void AddColourSpace(PdfText& text, const JpegFrameInfo& frame) {
    if (frame.components == 1) {
        text.Add("\n   /ColorSpace /DeviceGray");
    } else if (frame.components == 4) {
        text.Add("\n   /ColorSpace /DeviceCMYK");
        if (frame.adobe) {
            // Adobe-marked CMYK JPEGs store every ink inverted.
            text.Add("\n   /Decode [1 0 1 0 1 0 1 0]");
        }
    } else {
        text.Add("\n   /ColorSpace /DeviceRGB");
    }
}

}  // namespace

const char* PageRefusalText(PageRefusal refusal) {
    switch (refusal) {
    case PageRefusal::None:
        return "accepted";
    case PageRefusal::ZeroSize:
        return "zero width or height";
    case PageRefusal::NoFrameHeader:
        return "no readable JPEG frame header";
    case PageRefusal::UnsupportedCoding:
        return "JPEG coding process not readable by DCTDecode";
    case PageRefusal::UnsupportedPrecision:
        return "JPEG precision is not 8 bits";
    case PageRefusal::UnsupportedComponents:
        return "JPEG component count is not 1, 3 or 4";
    case PageRefusal::SizeMismatch:
        return "pixel size differs from the JPEG frame header";
    case PageRefusal::PageSizeOutOfRange:
        return "page size out of range";
    case PageRefusal::JpegTooLarge:
        return "JPEG too large for one write";
    }
    return "unknown";
}

PageRefusal CheckPageImage(const PageImage& page) {
    JpegFrameInfo frame;
    return CheckPage(page, frame);
}

double PointsFromPixels(uint32_t pixels) {
    return std::max(1.0, static_cast<double>(pixels) * 0.72);
}

void SetPageSize(PageImage& page) {
    page.pageWidth = PointsFromPixels(page.width);
    page.pageHeight = PointsFromPixels(page.height);
}

PdfWriteResult WriteImagePdf(const ByteSink& sink, std::span<const PageImage> pages) {
    PdfWriteResult result;
    if (!sink || pages.empty()) {
        return result;
    }
    // Every page is checked before the first byte, so a refusal leaves nothing half-written.
    std::vector<JpegFrameInfo> frames(pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        const PageRefusal refusal = CheckPage(pages[i], frames[i]);
        if (refusal != PageRefusal::None) {
            result.refusal = refusal;
            result.refusedPage = i;
            return result;
        }
    }

    const uint64_t pageCount = pages.size();
    const uint64_t objectCount = 3 * pageCount + 3;
    std::vector<uint64_t> offsets(objectCount, 0);
    CountingWriter out(sink);
    PdfText text;
    text.Reserve(512);
    const auto fail = [&out] { return PdfWriteResult{out.Counter(), false, PageRefusal::None, 0}; };

    static constexpr char kHeader[] = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    if (!out.Write(kHeader, sizeof(kHeader) - 1)) {
        return fail();
    }

    offsets[1] = out.Counter();
    text.Clear();
    AddObjectStart(text, 1);
    text.Add("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    if (!out.Write(text)) {
        return fail();
    }

    offsets[2] = out.Counter();
    text.Clear();
    AddObjectStart(text, 2);
    text.Add("<< /Type /Pages /Count ");
    text.AddUint(pageCount);
    text.Add(" /Kids [");
    for (uint64_t i = 0; i < pageCount; ++i) {
        text.Add(" ");
        text.AddUint(3 + 3 * i);
        text.Add(" 0 R");
    }
    text.Add(" ] >>\nendobj\n");
    if (!out.Write(text)) {
        return fail();
    }

    PdfText content;
    for (uint64_t i = 0; i < pageCount; ++i) {
        const PageImage& page = pages[i];
        const uint64_t pageObject = 3 + 3 * i;

        offsets[pageObject] = out.Counter();
        text.Clear();
        AddObjectStart(text, pageObject);
        text.Add("<< /Type /Page /Parent 2 0 R\n   /MediaBox [0 0 ");
        text.AddReal(page.pageWidth);
        text.Add(" ");
        text.AddReal(page.pageHeight);
        text.Add("]\n   /Contents ");
        text.AddUint(pageObject + 1);
        text.Add(" 0 R\n   /Resources << /XObject << /Im0 ");
        text.AddUint(pageObject + 2);
        text.Add(" 0 R >> >>\n>>\nendobj\n");
        if (!out.Write(text)) {
            return fail();
        }

        // The content's own final line feed is the one before "endstream".
        content.Clear();
        content.Add("q\n");
        content.AddReal(page.pageWidth);
        content.Add(" 0 0 ");
        content.AddReal(page.pageHeight);
        content.Add(" 0 0 cm\n/Im0 Do\nQ\n");

        offsets[pageObject + 1] = out.Counter();
        text.Clear();
        AddObjectStart(text, pageObject + 1);
        text.Add("<< /Length ");
        text.AddUint(content.Size());
        text.Add(" >>\nstream\n");
        text.Add(std::string_view(content.Data(), content.Size()));
        text.Add("endstream\nendobj\n");
        if (!out.Write(text)) {
            return fail();
        }

        offsets[pageObject + 2] = out.Counter();
        text.Clear();
        AddObjectStart(text, pageObject + 2);
        text.Add("<< /Type /XObject /Subtype /Image\n   /Width ");
        text.AddUint(page.width);
        text.Add("\n   /Height ");
        text.AddUint(page.height);
        AddColourSpace(text, frames[i]);
        text.Add("\n   /BitsPerComponent 8\n   /Filter /DCTDecode\n   /Length ");
        text.AddUint(page.jpeg.size());
        text.Add("\n>>\nstream\n");
        if (!out.Write(text) || !out.Write(page.jpeg.data(), page.jpeg.size())) {
            return fail();
        }
        static constexpr char kImageEnd[] = "\nendstream\nendobj\n";
        if (!out.Write(kImageEnd, sizeof(kImageEnd) - 1)) {
            return fail();
        }
    }

    const uint64_t xrefOffset = out.Counter();
    if (offsets[objectCount - 1] > kMaxXrefOffset) {
        return fail();
    }
    text.Clear();
    text.Reserve(static_cast<size_t>(objectCount) * 20 + 128);
    text.Add("xref\n0 ");
    text.AddUint(objectCount);
    text.Add("\n0000000000 65535 f \n");
    for (uint64_t k = 1; k < objectCount; ++k) {
        text.AddOffset10(offsets[k]);
        text.Add(" 00000 n \n");
    }
    text.Add("trailer\n<< /Size ");
    text.AddUint(objectCount);
    text.Add("\n   /Root 1 0 R\n>>\nstartxref\n");
    text.AddUint(xrefOffset);
    text.Add("\n%%EOF\n");
    if (!out.Write(text)) {
        return fail();
    }
    return PdfWriteResult{out.Counter(), true, PageRefusal::None, 0};
}
