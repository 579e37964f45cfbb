// Throughput of the PDF byte formats on a large file of JPEG pages.
//
// Environment (all optional):
//   TARVIX_BENCH_JPEGS  folder of *.jpg files used as the pages, cycled; without it, synthetic
//                       JPEGs (a real frame header over 3.5 MB of random bytes) are used
//   TARVIX_BENCH_MB     smallest size of the PDF in MB (default 200)
//   TARVIX_BENCH_PDF    where the PDF is written, so that other tools can be timed on the same file
//
// Peers run in the same process: memmem and std::search with Boyer-Moore-Horspool for FindBytes,
// a plain copy of the JPEG bytes for WriteImagePdf, the copying ScanJpegStreams for the streaming
// ForEachJpegStream (time, and the split's peak memory over the file's size).
// scripts/bench_pdf.sh adds pdfimages -j.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include "pdf/jpeg_frame.h"
#include "pdf/pdf_split.h"
#include "pdf/pdf_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kEndstream[] = {'e', 'n', 'd', 's', 't', 'r', 'e', 'a', 'm'};

std::vector<uint8_t> SyntheticJpeg(uint32_t width, uint32_t height, size_t payload, uint32_t seed) {
    std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08,
                                static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
                                static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width),
                                0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00,
                                0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00};
    std::mt19937_64 rng(seed);
    const size_t start = out.size();
    out.resize(start + payload);
    for (size_t i = start; i < out.size(); i += 8) {
        const uint64_t r = rng();
        std::memcpy(out.data() + i, &r, std::min<size_t>(8, out.size() - i));
    }
    // Random bytes spell "endstream" with odds of 2^-72 per position; rule it out anyway.
    for (size_t i = start; i + sizeof(kEndstream) <= out.size(); ++i) {
        if (std::memcmp(out.data() + i, kEndstream, sizeof(kEndstream)) == 0) {
            out[i] = 'E';
        }
    }
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

struct Corpus {
    std::vector<PageImage> pages;
    std::vector<uint8_t> pdf;
    fs::path pdfPath;
    bool ownsPdfFile = false;
    uint64_t jpegBytes = 0;

    ~Corpus() {
        if (ownsPdfFile) {
            std::error_code ec;
            fs::remove(pdfPath, ec);
        }
    }
};

std::vector<PageImage> LoadSourcePages() {
    std::vector<PageImage> sources;
    if (const char* dir = std::getenv("TARVIX_BENCH_JPEGS")) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path().extension() == ".jpg") {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            PageImage page;
            page.jpeg.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            const std::optional<JpegDimensions> dims = ReadJpegFrameSize(page.jpeg.data(), page.jpeg.size());
            if (!dims) {
                std::fprintf(stderr, "skipping %s: no readable frame header\n", file.string().c_str());
                continue;
            }
            page.width = dims->width;
            page.height = dims->height;
            SetPageSize(page);
            sources.push_back(std::move(page));
        }
    }
    if (sources.empty()) {
        for (uint32_t i = 0; i < 4; ++i) {
            PageImage page;
            page.width = 1700 + i;
            page.height = 1300 - i;
            page.jpeg = SyntheticJpeg(page.width, page.height, 3'500'000 + 100'000 * i, i + 1);
            SetPageSize(page);
            sources.push_back(std::move(page));
        }
    }
    return sources;
}

const Corpus& GetCorpus() {
    static const Corpus corpus = [] {
        Corpus c;
        const std::vector<PageImage> sources = LoadSourcePages();
        const char* mb = std::getenv("TARVIX_BENCH_MB");
        const uint64_t target = (mb != nullptr ? std::strtoull(mb, nullptr, 10) : 200) * 1'000'000ULL;
        for (size_t i = 0; c.jpegBytes < target; ++i) {
            c.pages.push_back(sources[i % sources.size()]);
            c.jpegBytes += c.pages.back().jpeg.size();
        }
        c.pdf.reserve(c.jpegBytes + 4096 + 700 * c.pages.size());
        const ByteSink sink = [&c](const void* data, uint32_t size) {
            const auto* p = static_cast<const uint8_t*>(data);
            c.pdf.insert(c.pdf.end(), p, p + size);
            return true;
        };
        if (!WriteImagePdf(sink, c.pages).complete) {
            std::fprintf(stderr, "writing the benchmark PDF failed\n");
            std::exit(1);
        }
        if (const char* path = std::getenv("TARVIX_BENCH_PDF")) {
            c.pdfPath = path;
        } else {
            c.pdfPath = fs::temp_directory_path() / ("tarvix-bench-" + std::to_string(std::random_device{}()) + ".pdf");
            c.ownsPdfFile = true;
        }
        std::ofstream out(c.pdfPath, std::ios::binary);
        out.write(reinterpret_cast<const char*>(c.pdf.data()), static_cast<std::streamsize>(c.pdf.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", c.pdfPath.string().c_str());
            std::exit(1);
        }
        std::fprintf(stderr, "benchmark PDF: %zu pages, %.1f MB, %s\n", c.pages.size(), c.pdf.size() / 1e6,
                     c.pdfPath.string().c_str());
        return c;
    }();
    return corpus;
}

template <typename Find>
void CountEndstreams(benchmark::State& state, Find find) {
    const Corpus& c = GetCorpus();
    size_t count = 0;
    for (auto _ : state) {
        count = 0;
        size_t pos = 0;
        while (pos < c.pdf.size()) {
            const size_t found = find(c.pdf.data() + pos, c.pdf.size() - pos);
            if (found == SIZE_MAX) {
                break;
            }
            ++count;
            pos += found + sizeof(kEndstream);
        }
        benchmark::DoNotOptimize(count);
    }
    if (count != 2 * c.pages.size()) {
        state.SkipWithError("wrong number of \"endstream\"");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.pdf.size()));
}

void BM_FindEndstream_FindBytes(benchmark::State& state) {
    CountEndstreams(state, [](const uint8_t* p, size_t n) {
        return FindBytes(p, n, kEndstream, sizeof(kEndstream)).value_or(SIZE_MAX);
    });
}

void BM_FindEndstream_memmem(benchmark::State& state) {
    CountEndstreams(state, [](const uint8_t* p, size_t n) {
        const void* hit = memmem(p, n, kEndstream, sizeof(kEndstream));
        return hit != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - p) : SIZE_MAX;
    });
}

void BM_FindEndstream_BoyerMooreHorspool(benchmark::State& state) {
    const std::boyer_moore_horspool_searcher searcher(std::begin(kEndstream), std::end(kEndstream));
    CountEndstreams(state, [&searcher](const uint8_t* p, size_t n) {
        const uint8_t* hit = std::search(p, p + n, searcher);
        return hit != p + n ? static_cast<size_t>(hit - p) : SIZE_MAX;
    });
}

void BM_ScanJpegStreams(benchmark::State& state) {
    const Corpus& c = GetCorpus();
    size_t pages = 0;
    for (auto _ : state) {
        pages = ScanJpegStreams(c.pdf.data(), c.pdf.size(), ReadJpegFrameSize).size();
        benchmark::DoNotOptimize(pages);
    }
    if (pages != c.pages.size()) {
        state.SkipWithError("wrong page count");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.pdf.size()));
}

void BM_ForEachJpegStream(benchmark::State& state) {
    const Corpus& c = GetCorpus();
    size_t pages = 0;
    for (auto _ : state) {
        pages = ForEachJpegStream(c.pdf.data(), c.pdf.size(), ReadJpegFrameSize,
                                  [](size_t, const JpegStreamView& page) { benchmark::DoNotOptimize(page.data); });
        benchmark::DoNotOptimize(pages);
    }
    if (pages != c.pages.size()) {
        state.SkipWithError("wrong page count");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.pdf.size()));
}

// The same file with every "/Length" spelt "/Lengtx" (same size, same positions): no stream states
// a length, so every body is found by searching for "endstream", as in files whose lengths are
// indirect objects.
void BM_ForEachJpegStream_NoLengths(benchmark::State& state) {
    const Corpus& c = GetCorpus();
    static const std::vector<uint8_t> unmarked = [&c] {
        std::vector<uint8_t> bytes = c.pdf;
        static constexpr uint8_t kLength[] = {'/', 'L', 'e', 'n', 'g', 't', 'h'};
        for (size_t pos = 0;;) {
            const std::optional<size_t> found = FindBytes(bytes.data() + pos, bytes.size() - pos, kLength, sizeof(kLength));
            if (!found) {
                break;
            }
            pos += *found + sizeof(kLength);
            bytes[pos - 1] = 'x';
        }
        return bytes;
    }();
    size_t pages = 0;
    for (auto _ : state) {
        pages = ForEachJpegStream(unmarked.data(), unmarked.size(), ReadJpegFrameSize,
                                  [](size_t, const JpegStreamView& page) { benchmark::DoNotOptimize(page.data); });
        benchmark::DoNotOptimize(pages);
    }
    if (pages != c.pages.size()) {
        state.SkipWithError("wrong page count");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * unmarked.size()));
}

bool WritePageFile(const fs::path& outDir, size_t pageNumber, const uint8_t* data, size_t size) {
    const std::wstring suffix = PageSuffix(pageNumber);
    const std::string name = "big" + std::string(suffix.begin(), suffix.end()) + ".jpg";
    std::FILE* out = std::fopen((outDir / name).string().c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    std::fwrite(data, 1, size, out);
    std::fclose(out);
    return true;
}

// What the split does end to end, minus the platform: read the file, scan it, write every page
// to its own file; either each page as it is found (streaming) or all pages copied out first.
// Returns the page count, or nothing when a file could not be read or written.
std::optional<size_t> SplitToFiles(const fs::path& pdf, const fs::path& outDir, bool streaming) {
    std::vector<uint8_t> file(static_cast<size_t>(fs::file_size(pdf)));
    std::FILE* in = std::fopen(pdf.string().c_str(), "rb");
    if (in == nullptr) {
        return std::nullopt;
    }
    const bool read = std::fread(file.data(), 1, file.size(), in) == file.size();
    std::fclose(in);
    if (!read) {
        return std::nullopt;
    }
    bool written = true;
    size_t pages = 0;
    if (streaming) {
        pages = ForEachJpegStream(file.data(), file.size(), ReadJpegFrameSize,
                                  [&](size_t number, const JpegStreamView& page) {
                                      written = WritePageFile(outDir, number, page.data, page.size) && written;
                                  });
    } else {
        const std::vector<ExtractedJpeg> found = ScanJpegStreams(file.data(), file.size(), ReadJpegFrameSize);
        pages = found.size();
        for (size_t j = 0; j < found.size(); ++j) {
            written = WritePageFile(outDir, j + 1, found[j].bytes.data(), found[j].bytes.size()) && written;
        }
    }
    return written ? std::optional<size_t>(pages) : std::nullopt;
}

void EmptyFolder(const fs::path& dir) {
    for (const auto& entry : fs::directory_iterator(dir)) {
        fs::remove(entry.path());
    }
}

// The peer of `pdfimages -j` in scripts/bench_pdf.sh.
void BM_SplitFileToJpegFiles(benchmark::State& state) {
    const Corpus& c = GetCorpus();
    const fs::path outDir = fs::temp_directory_path() / ("tarvix-bench-split-" + std::to_string(std::random_device{}()));
    fs::create_directories(outDir);
    std::optional<size_t> pages;
    for (auto _ : state) {
        // Every run writes fresh files, as a run of pdfimages into an emptied folder does.
        state.PauseTiming();
        EmptyFolder(outDir);
        state.ResumeTiming();
        pages = SplitToFiles(c.pdfPath, outDir, true);
        if (!pages) {
            state.SkipWithError("cannot read the PDF or write a page file");
            break;
        }
    }
    std::error_code ec;
    fs::remove_all(outDir, ec);
    if (pages != c.pages.size()) {
        state.SkipWithError("wrong page count");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.pdf.size()));
}

// A line of /proc/self/status in bytes ("VmRSS", "VmHWM"), or 0.
uint64_t ProcStatusBytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            return std::strtoull(line.c_str() + prefix.size(), nullptr, 10) * 1024;
        }
    }
    return 0;
}

// The split's peak memory above what the process held before it (the benchmark's own copy of the
// PDF and its pages), as a multiple of the file's size. Linux resets the peak on writing "5" to
// /proc/self/clear_refs. Freed heap that glibc keeps from earlier benchmarks is handed back first,
// or the split would reuse it without a new page showing in the peak.
void SplitPeakMemory(benchmark::State& state, bool streaming) {
    const Corpus& c = GetCorpus();
    const fs::path outDir = fs::temp_directory_path() / ("tarvix-bench-peak-" + std::to_string(std::random_device{}()));
    fs::create_directories(outDir);
    double ratio = 0;
    for (auto _ : state) {
        state.PauseTiming();
        EmptyFolder(outDir);
        malloc_trim(0);
        {
            std::ofstream reset("/proc/self/clear_refs");
            reset << "5";
            reset.flush();
            if (!reset) {
                state.SkipWithError("cannot reset the peak resident size");
                break;
            }
        }
        const uint64_t before = ProcStatusBytes("VmRSS");
        state.ResumeTiming();
        const std::optional<size_t> pages = SplitToFiles(c.pdfPath, outDir, streaming);
        state.PauseTiming();
        const uint64_t peak = ProcStatusBytes("VmHWM");
        state.ResumeTiming();
        if (pages != c.pages.size()) {
            state.SkipWithError("wrong page count");
            break;
        }
        ratio = static_cast<double>(peak > before ? peak - before : 0) / static_cast<double>(c.pdf.size());
    }
    std::error_code ec;
    fs::remove_all(outDir, ec);
    // A label rather than a counter: the CSV output wants the same counters in every benchmark.
    char label[64];
    std::snprintf(label, sizeof(label), "peak_over_file=%.3f", ratio);
    state.SetLabel(label);
}

void BM_SplitPeakMemory_Streaming(benchmark::State& state) {
    SplitPeakMemory(state, true);
}

void BM_SplitPeakMemory_Copying(benchmark::State& state) {
    SplitPeakMemory(state, false);
}

// Writer and peer hand their bytes to the same kind of sink: a copy into a buffer reused each time.
struct MemorySink {
    std::vector<uint8_t> buffer;
    size_t used = 0;
    bool Write(const void* data, uint32_t size) {
        if (size > buffer.size() - used) {
            return false;
        }
        std::memcpy(buffer.data() + used, data, size);
        used += size;
        return true;
    }
};

void BM_WriteImagePdf(benchmark::State& state) {
    const Corpus& c = GetCorpus();
    MemorySink memory;
    memory.buffer.resize(c.pdf.size());
    const ByteSink sink = [&memory](const void* data, uint32_t size) { return memory.Write(data, size); };
    for (auto _ : state) {
        memory.used = 0;
        const PdfWriteResult result = WriteImagePdf(sink, c.pages);
        if (!result.complete) {
            state.SkipWithError("write failed");
            break;
        }
        benchmark::DoNotOptimize(memory.buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.pdf.size()));
}

void BM_CopyJpegBytesOnly(benchmark::State& state) {
    const Corpus& c = GetCorpus();
    MemorySink memory;
    memory.buffer.resize(c.pdf.size());
    const ByteSink sink = [&memory](const void* data, uint32_t size) { return memory.Write(data, size); };
    for (auto _ : state) {
        memory.used = 0;
        for (const PageImage& page : c.pages) {
            if (!sink(page.jpeg.data(), static_cast<uint32_t>(page.jpeg.size()))) {
                state.SkipWithError("copy failed");
                break;
            }
        }
        benchmark::DoNotOptimize(memory.buffer.data());
    }
    // Counted over the PDF's size as above, so the two rates compare the same work unit.
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.pdf.size()));
}

}  // namespace

BENCHMARK(BM_FindEndstream_FindBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FindEndstream_memmem)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FindEndstream_BoyerMooreHorspool)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScanJpegStreams)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ForEachJpegStream)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ForEachJpegStream_NoLengths)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SplitFileToJpegFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SplitPeakMemory_Streaming)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_SplitPeakMemory_Copying)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_WriteImagePdf)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyJpegBytesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
