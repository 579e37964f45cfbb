#pragma once

// Helpers shared by the PDF tests: synthetic JPEG files, an in-memory sink, temporary folders
// and running the independent command-line readers.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/pdf_writer.h"

namespace pdftest {

inline void PutBigEndian16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

// What MakeJpeg puts into the frame header, and whether an Adobe APP14 segment precedes it.
struct JpegLayout {
    uint8_t components = 3;
    uint8_t marker = 0xC0;  // SOF0, baseline
    uint8_t precision = 8;
    bool adobe = false;
};

// A JPEG layout: SOI, APP0, (APP14 "Adobe"), DQT, the frame header, SOS, `payloadSize` bytes of
// seeded noise, EOI. Only the header is meaningful; the entropy data is noise without FF bytes and
// without the letters that could spell "endstream".
inline std::vector<uint8_t> MakeJpeg(uint32_t width, uint32_t height, size_t payloadSize, uint32_t seed = 1,
                                     const JpegLayout& layout = {}) {
    std::vector<uint8_t> out = {0xFF, 0xD8};
    out.insert(out.end(), {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00});
    if (layout.adobe) {
        out.insert(out.end(), {0xFF, 0xEE, 0x00, 0x0E, 'A', 'd', 'o', 'b', 'e', 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x02});
    }
    out.insert(out.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});
    for (int i = 0; i < 64; ++i) {
        out.push_back(static_cast<uint8_t>(1 + i % 50));
    }
    out.insert(out.end(), {0xFF, layout.marker});
    PutBigEndian16(out, 8 + 3 * layout.components);
    out.push_back(layout.precision);
    PutBigEndian16(out, height);
    PutBigEndian16(out, width);
    out.push_back(layout.components);
    for (uint8_t c = 1; c <= layout.components; ++c) {
        out.insert(out.end(), {c, static_cast<uint8_t>(c == 1 ? 0x22 : 0x11), 0x00});
    }
    out.insert(out.end(), {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00});
    std::mt19937 rng(seed);
    for (size_t i = 0; i < payloadSize; ++i) {
        uint8_t b = static_cast<uint8_t>(rng());
        if (b == 0xFF || b == 'e') {
            b = 0x80;
        }
        out.push_back(b);
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// A comment segment (COM) holding `text`, put right after the start-of-image marker.
inline std::vector<uint8_t> WithComment(std::vector<uint8_t> jpeg, std::string_view text) {
    std::vector<uint8_t> segment = {0xFF, 0xFE};
    PutBigEndian16(segment, static_cast<uint32_t>(text.size() + 2));
    segment.insert(segment.end(), text.begin(), text.end());
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

inline PageImage MakePage(uint32_t width, uint32_t height, std::vector<uint8_t> jpeg) {
    PageImage page;
    page.width = width;
    page.height = height;
    SetPageSize(page);
    page.jpeg = std::move(jpeg);
    return page;
}

inline std::vector<uint8_t> Bytes(std::string_view text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

inline void Append(std::vector<uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

inline void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Writes the PDF into memory; fails the calling test's expectations through the result.
inline std::vector<uint8_t> WritePdfToMemory(const std::vector<PageImage>& pages, PdfWriteResult* result = nullptr) {
    std::vector<uint8_t> out;
    const ByteSink sink = [&out](const void* data, uint32_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        out.insert(out.end(), p, p + size);
        return true;
    };
    const PdfWriteResult written = WriteImagePdf(sink, pages);
    if (result != nullptr) {
        *result = written;
    }
    return out;
}

// Assembles a PDF from objects given one by one, with a correct cross-reference table: for files
// laid out as the writer never does (page thumbnails, objects in another order).
class PdfBuilder {
public:
    PdfBuilder() { Append(bytes_, "%PDF-1.4\n"); }

    void Object(uint32_t number, std::string_view text) {
        Start(number);
        Append(bytes_, std::string(text) + "\nendobj\n");
    }

    // `dictionary` holds the entries besides /Length, which is added.
    void Stream(uint32_t number, std::string_view dictionary, const std::vector<uint8_t>& body) {
        Start(number);
        Append(bytes_, "<< " + std::string(dictionary) + " /Length " + std::to_string(body.size()) + " >>\nstream\n");
        Append(bytes_, body);
        Append(bytes_, "\nendstream\nendobj\n");
    }

    std::vector<uint8_t> Finish(uint32_t root) {
        const size_t xref = bytes_.size();
        std::string table = "xref\n0 " + std::to_string(offsets_.size()) + "\n0000000000 65535 f \n";
        for (size_t k = 1; k < offsets_.size(); ++k) {
            char entry[24];
            std::snprintf(entry, sizeof(entry), "%010zu 00000 n \n", offsets_[k]);
            table += entry;
        }
        table += "trailer\n<< /Size " + std::to_string(offsets_.size()) + " /Root " + std::to_string(root) +
                 " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        Append(bytes_, table);
        return bytes_;
    }

private:
    void Start(uint32_t number) {
        if (offsets_.size() <= number) {
            offsets_.resize(number + 1, 0);
        }
        offsets_[number] = bytes_.size();
        Append(bytes_, std::to_string(number) + " 0 obj\n");
    }

    std::vector<uint8_t> bytes_;
    std::vector<size_t> offsets_ = {0};
};

// One page per image, each with a small JPEG thumbnail named by the page's /Thumb entry. The
// thumbnails are written before all pages or after them, so the /Thumb entry comes after or before
// the stream it names.
inline std::vector<uint8_t> MakePdfWithThumbnails(const std::vector<PageImage>& pages, bool thumbnailsFirst) {
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (size_t i = 0; i < pages.size(); ++i) {
        kids += " " + std::to_string(3 + 4 * i) + " 0 R";
    }
    pdf.Object(2, "<< /Type /Pages /Count " + std::to_string(pages.size()) + " /Kids [" + kids + " ] >>");
    const auto addThumbnail = [&pdf](size_t i) {
        const uint32_t side = static_cast<uint32_t>(8 + i);
        pdf.Stream(static_cast<uint32_t>(6 + 4 * i),
                   "/Width " + std::to_string(side) + " /Height " + std::to_string(side) +
                       " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
                   MakeJpeg(side, side, 200, static_cast<uint32_t>(100 + i)));
    };
    if (thumbnailsFirst) {
        for (size_t i = 0; i < pages.size(); ++i) {
            addThumbnail(i);
        }
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        const PageImage& page = pages[i];
        const uint32_t n = static_cast<uint32_t>(3 + 4 * i);
        char box[96];
        std::snprintf(box, sizeof(box), "%g %g", page.pageWidth, page.pageHeight);
        char content[128];
        std::snprintf(content, sizeof(content), "q %g 0 0 %g 0 0 cm /Im0 Do Q", page.pageWidth, page.pageHeight);
        pdf.Object(n, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::string(box) + "] /Contents " +
                          std::to_string(n + 1) + " 0 R /Resources << /XObject << /Im0 " + std::to_string(n + 2) +
                          " 0 R >> >> /Thumb " + std::to_string(n + 3) + " 0 R >>");
        pdf.Stream(n + 1, "", Bytes(content));
        pdf.Stream(n + 2,
                   "/Type /XObject /Subtype /Image /Width " + std::to_string(page.width) + " /Height " +
                       std::to_string(page.height) + " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
                   page.jpeg);
    }
    if (!thumbnailsFirst) {
        for (size_t i = 0; i < pages.size(); ++i) {
            addThumbnail(i);
        }
    }
    return pdf.Finish(1);
}

inline std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempDir {
public:
    explicit TempDir(std::string_view tag) {
        static int counter = 0;
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("tarvix-" + std::string(tag) + "-" + std::to_string(rd()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct CommandResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs a shell command and collects what it prints. A missing tool shows as exit code 127.
inline CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        result.output.append(buffer, got);
    }
    const int status = pclose(pipe);
    result.exitCode = (status >= 0 && (status & 0x7F) == 0) ? ((status >> 8) & 0xFF) : -1;
    return result;
}

inline std::string Quote(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

}  // namespace pdftest
