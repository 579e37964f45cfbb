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

// A baseline JPEG layout: SOI, APP0, DQT, SOF0 (three components), SOS, `payloadSize` bytes of
// seeded noise, EOI. Only the header is meaningful; the entropy data is noise without FF bytes
// and without the letters that could spell "endstream".
inline std::vector<uint8_t> MakeJpeg(uint32_t width, uint32_t height, size_t payloadSize, uint32_t seed = 1) {
    std::vector<uint8_t> out = {0xFF, 0xD8};
    out.insert(out.end(), {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00});
    out.insert(out.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});
    for (int i = 0; i < 64; ++i) {
        out.push_back(static_cast<uint8_t>(1 + i % 50));
    }
    out.insert(out.end(), {0xFF, 0xC0, 0x00, 0x11, 0x08});
    PutBigEndian16(out, height);
    PutBigEndian16(out, width);
    out.insert(out.end(), {0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00});
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
