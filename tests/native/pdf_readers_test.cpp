// The writer's files checked by independent readers (qpdf, poppler), and the scanner run on the
// writer's files and on files made by other tools, all from real JPEG files made by ImageMagick.
// These tests need qpdf, poppler-utils, img2pdf and imagemagick; a missing tool fails them.

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pdf/jpeg_frame.h"
#include "pdf/pdf_split.h"
#include "pdf/pdf_writer.h"
#include "pdf_test_support.h"

namespace fs = std::filesystem;
using pdftest::Quote;
using pdftest::RunCommand;

namespace {

struct Size {
    uint32_t width;
    uint32_t height;
};

// Makes one colour JPEG per size with a single ImageMagick call and returns them as pages.
std::vector<PageImage> MakeJpegPages(const fs::path& dir, const std::vector<Size>& sizes) {
    std::string command = "convert";
    for (size_t i = 0; i < sizes.size(); ++i) {
        static const char* const kGradients[] = {"red-blue", "yellow-green", "white-purple", "orange-navy"};
        command += " -size " + std::to_string(sizes[i].width) + "x" + std::to_string(sizes[i].height) +
                   " gradient:" + kGradients[i % 4];
    }
    command += " -type TrueColor -quality 90 +adjoin " + Quote(dir / "img-%03d.jpg");
    const pdftest::CommandResult made = RunCommand(command);
    EXPECT_EQ(made.exitCode, 0) << command << "\n" << made.output;

    std::vector<PageImage> pages;
    for (size_t i = 0; i < sizes.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "img-%03zu.jpg", i);
        std::vector<uint8_t> jpeg = pdftest::ReadFileBytes(dir / name);
        EXPECT_GT(jpeg.size(), 100u) << name;
        pages.push_back(pdftest::MakePage(sizes[i].width, sizes[i].height, std::move(jpeg)));
    }
    return pages;
}

fs::path WritePdfFile(const fs::path& path, const std::vector<PageImage>& pages) {
    PdfWriteResult result;
    const std::vector<uint8_t> pdf = pdftest::WritePdfToMemory(pages, &result);
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.bytesWritten, pdf.size());
    EXPECT_TRUE(pdftest::WriteFileBytes(path, pdf));
    return path;
}

std::vector<ExtractedJpeg> ScanFile(const fs::path& path) {
    const std::vector<uint8_t> bytes = pdftest::ReadFileBytes(path);
    return ScanJpegStreams(bytes.data(), bytes.size(), ReadJpegFrameSize);
}

void ExpectSamePages(const std::vector<ExtractedJpeg>& found, const std::vector<PageImage>& pages) {
    ASSERT_EQ(found.size(), pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_TRUE(found[i].bytes == pages[i].jpeg) << "page " << i + 1 << " differs from its JPEG";
        EXPECT_EQ(found[i].width, pages[i].width) << i;
        EXPECT_EQ(found[i].height, pages[i].height) << i;
    }
}

// Pages come in file order; a rewriting tool may store the images in another order than the pages.
void ExpectSamePagesInAnyOrder(std::vector<ExtractedJpeg> found, const std::vector<PageImage>& pages) {
    ASSERT_EQ(found.size(), pages.size());
    for (const PageImage& page : pages) {
        const auto match = std::find_if(found.begin(), found.end(),
                                        [&page](const ExtractedJpeg& f) { return f.bytes == page.jpeg; });
        ASSERT_NE(match, found.end()) << page.width << "x" << page.height << " is missing";
        EXPECT_EQ(match->width, page.width);
        EXPECT_EQ(match->height, page.height);
        found.erase(match);
    }
}

// qpdf, pdfinfo and pdfimages on one file written from `sizes`.
void CheckWithIndependentReaders(const std::vector<Size>& sizes) {
    pdftest::TempDir dir("pdf-readers");
    const std::vector<PageImage> pages = MakeJpegPages(dir.Path(), sizes);
    ASSERT_EQ(pages.size(), sizes.size());
    const fs::path pdf = WritePdfFile(dir.Path() / "out-merged.pdf", pages);

    const pdftest::CommandResult check = RunCommand("qpdf --check " + Quote(pdf));
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_NE(check.output.find("No syntax or stream encoding errors found"), std::string::npos) << check.output;

    const std::string count = std::to_string(pages.size());
    const pdftest::CommandResult info = RunCommand("pdfinfo -f 1 -l " + count + " " + Quote(pdf));
    ASSERT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("Pages:           " + count + "\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("PDF version:     1.4\n"), std::string::npos) << info.output;
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string label = "Page " + std::string(i + 1 < 10 ? "   " : i + 1 < 100 ? "  " : " ") +
                                  std::to_string(i + 1) + " size: ";
        const size_t at = info.output.find(label);
        ASSERT_NE(at, std::string::npos) << label << "\n" << info.output;
        std::istringstream line(info.output.substr(at + label.size()));
        double width = 0;
        double height = 0;
        std::string x;
        line >> width >> x >> height;
        EXPECT_NEAR(width, pages[i].pageWidth, 0.01) << "page " << i + 1;
        EXPECT_NEAR(height, pages[i].pageHeight, 0.01) << "page " << i + 1;
    }

    const pdftest::CommandResult list = RunCommand("pdfimages -list " + Quote(pdf));
    ASSERT_EQ(list.exitCode, 0) << list.output;
    std::istringstream rows(list.output);
    std::string row;
    std::getline(rows, row);  // column names
    std::getline(rows, row);  // dashes
    size_t seen = 0;
    while (std::getline(rows, row)) {
        std::istringstream fields(row);
        size_t page = 0;
        size_t num = 0;
        std::string type;
        uint32_t width = 0;
        uint32_t height = 0;
        std::string color;
        int components = 0;
        int bits = 0;
        std::string encoding;
        fields >> page >> num >> type >> width >> height >> color >> components >> bits >> encoding;
        ASSERT_LT(seen, pages.size()) << row;
        EXPECT_EQ(page, seen + 1) << row;
        EXPECT_EQ(type, "image") << row;
        EXPECT_EQ(width, pages[seen].width) << row;
        EXPECT_EQ(height, pages[seen].height) << row;
        EXPECT_EQ(color, "rgb") << row;
        EXPECT_EQ(encoding, "jpeg") << row;
        ++seen;
    }
    EXPECT_EQ(seen, pages.size()) << list.output;

    // The same file scans back to the same JPEG bytes.
    ExpectSamePages(ScanFile(pdf), pages);
}

}  // namespace

TEST(PdfReaders, OnePage) {
    CheckWithIndependentReaders({{1000, 750}});
}

TEST(PdfReaders, ThreePagesOfDifferentShapes) {
    CheckWithIndependentReaders({{40, 30}, {1, 50}, {37, 1}});
}

TEST(PdfReaders, HundredAndTwentyPages) {
    std::vector<Size> sizes;
    for (uint32_t i = 0; i < 120; ++i) {
        sizes.push_back({8 + (i * 5) % 41, 8 + (i * 11) % 23});
    }
    CheckWithIndependentReaders(sizes);
}

// img2pdf embeds JPEG files unchanged, so its pages must come back byte for byte; qpdf's
// rewrites (object streams, its QDF form) move every object but keep the image streams.
TEST(PdfReaders, FilesFromOtherToolsSplitIntoTheirJpegs) {
    pdftest::TempDir dir("pdf-others");
    const std::vector<PageImage> pages = MakeJpegPages(dir.Path(), {{64, 48}, {30, 90}, {120, 20}});
    ASSERT_EQ(pages.size(), 3u);

    const fs::path img2pdf = dir.Path() / "img2pdf.pdf";
    const pdftest::CommandResult made =
        RunCommand("img2pdf " + Quote(dir.Path() / "img-000.jpg") + " " + Quote(dir.Path() / "img-001.jpg") + " " +
                   Quote(dir.Path() / "img-002.jpg") + " -o " + Quote(img2pdf));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    ExpectSamePages(ScanFile(img2pdf), pages);

    const fs::path ours = WritePdfFile(dir.Path() / "ours.pdf", pages);
    const struct {
        const char* name;
        const char* options;
    } rewrites[] = {{"objstm.pdf", "--object-streams=generate"}, {"qdf.pdf", "--qdf --object-streams=disable"}};
    for (const auto& rewrite : rewrites) {
        for (const fs::path& source : {img2pdf, ours}) {
            const fs::path out = dir.Path() / (source.stem().string() + "-" + rewrite.name);
            const pdftest::CommandResult rewritten =
                RunCommand(std::string("qpdf ") + rewrite.options + " " + Quote(source) + " " + Quote(out));
            ASSERT_EQ(rewritten.exitCode, 0) << rewritten.output;
            SCOPED_TRACE(out.filename().string());
            ExpectSamePagesInAnyOrder(ScanFile(out), pages);
        }
    }
}

namespace {

// The pixel in the middle of page `page` (from 1) of a PDF, as poppler renders it at 72 dpi.
std::vector<int> MiddlePixel(const fs::path& pdf, size_t page) {
    const fs::path prefix = pdf.parent_path() / (pdf.stem().string() + "-render");
    const std::string number = std::to_string(page);
    const pdftest::CommandResult rendered =
        RunCommand("pdftoppm -r 72 -singlefile -f " + number + " -l " + number + " " + Quote(pdf) + " " + Quote(prefix));
    EXPECT_EQ(rendered.exitCode, 0) << rendered.output;
    const std::vector<uint8_t> ppm = pdftest::ReadFileBytes(prefix.string() + ".ppm");
    std::istringstream head(pdftest::AsText(ppm));
    std::string magic;
    size_t width = 0;
    size_t height = 0;
    int maxValue = 0;
    head >> magic >> width >> height >> maxValue;
    if (magic != "P6" || width == 0 || ppm.size() < 3 * width * height) {
        ADD_FAILURE() << "no picture from pdftoppm: " << magic;
        return {};
    }
    const size_t raster = ppm.size() - 3 * width * height;  // the raster fills the end of the file
    const size_t at = raster + 3 * ((height / 2) * width + width / 2);
    return {ppm[at], ppm[at + 1], ppm[at + 2]};
}

}  // namespace

// Gray, RGB and Adobe CMYK JPEGs (as ImageMagick writes them) keep their colours: the PDF states
// the colour space of each frame header, and poppler renders them as it renders img2pdf's file of
// the same JPEGs.
TEST(PdfReaders, ColourSpacesComeFromTheJpeg) {
    pdftest::TempDir dir("pdf-colours");
    struct Case {
        const char* options;
        const char* pdfimagesColour;
        std::vector<int> rgb;  // roughly what the colour must look like
    };
    const Case cases[] = {
        {"xc:gray40 -colorspace Gray", "gray", {102, 102, 102}},
        {"xc:red -type TrueColor", "rgb", {255, 0, 0}},
        {"xc:red -colorspace CMYK", "cmyk", {236, 27, 36}},
        {"xc:white -colorspace CMYK", "cmyk", {255, 255, 255}},
    };
    std::vector<PageImage> pages;
    std::string jpegs;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const fs::path path = dir.Path() / ("colour-" + std::to_string(i) + ".jpg");
        const pdftest::CommandResult made =
            RunCommand(std::string("convert -size 60x40 ") + cases[i].options + " -quality 95 " + Quote(path));
        ASSERT_EQ(made.exitCode, 0) << made.output;
        std::vector<uint8_t> jpeg = pdftest::ReadFileBytes(path);
        const std::optional<JpegFrameInfo> frame = ReadJpegFrameInfo(jpeg.data(), jpeg.size());
        ASSERT_TRUE(frame.has_value()) << cases[i].options;
        pages.push_back(pdftest::MakePage(frame->width, frame->height, std::move(jpeg)));
        jpegs += " " + Quote(path);
    }
    const fs::path ours = WritePdfFile(dir.Path() / "ours.pdf", pages);
    const fs::path theirs = dir.Path() / "img2pdf.pdf";
    const pdftest::CommandResult made = RunCommand("img2pdf" + jpegs + " -o " + Quote(theirs));
    ASSERT_EQ(made.exitCode, 0) << made.output;

    const pdftest::CommandResult check = RunCommand("qpdf --check " + Quote(ours));
    EXPECT_EQ(check.exitCode, 0) << check.output;
    const pdftest::CommandResult list = RunCommand("pdfimages -list " + Quote(ours));
    std::istringstream rows(list.output);
    std::string row;
    std::getline(rows, row);
    std::getline(rows, row);
    for (const Case& c : cases) {
        ASSERT_TRUE(std::getline(rows, row)) << list.output;
        EXPECT_NE(row.find(std::string(" ") + c.pdfimagesColour + " "), std::string::npos) << c.options << ": " << row;
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::vector<int> ourPixel = MiddlePixel(ours, i + 1);
        const std::vector<int> theirPixel = MiddlePixel(theirs, i + 1);
        ASSERT_EQ(ourPixel.size(), 3u);
        EXPECT_EQ(ourPixel, theirPixel) << cases[i].options;
        for (size_t k = 0; k < 3; ++k) {
            EXPECT_NEAR(ourPixel[k], cases[i].rgb[k], 24) << cases[i].options << " channel " << k;
        }
    }
    ExpectSamePages(ScanFile(ours), pages);
}

// A file with page thumbnails that qpdf accepts splits into its pages only, also after qpdf has
// rewritten it (QDF form: every stream's length becomes an indirect object, so the scan decides).
TEST(PdfReaders, ThumbnailsStayOutOfTheSplit) {
    pdftest::TempDir dir("pdf-thumbs");
    const std::vector<PageImage> pages = MakeJpegPages(dir.Path(), {{64, 48}, {30, 90}});
    ASSERT_EQ(pages.size(), 2u);
    const fs::path pdf = dir.Path() / "thumbs.pdf";
    ASSERT_TRUE(pdftest::WriteFileBytes(pdf, pdftest::MakePdfWithThumbnails(pages, false)));
    const pdftest::CommandResult check = RunCommand("qpdf --check " + Quote(pdf));
    EXPECT_EQ(check.exitCode, 0) << check.output;
    ExpectSamePages(ScanFile(pdf), pages);

    const fs::path qdf = dir.Path() / "thumbs-qdf.pdf";
    const pdftest::CommandResult rewritten =
        RunCommand("qpdf --qdf --object-streams=disable " + Quote(pdf) + " " + Quote(qdf));
    ASSERT_EQ(rewritten.exitCode, 0) << rewritten.output;
    ASSERT_NE(pdftest::AsText(pdftest::ReadFileBytes(qdf)).find("/Thumb "), std::string::npos);
    ExpectSamePagesInAnyOrder(ScanFile(qdf), pages);
}
