#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/exif_orientation.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
};

// A TIFF structure: header, IFD0 with `ifd0` entries, and optionally IFD1 with `ifd1` entries.
Bytes MakeTiff(bool bigEndian, const std::vector<Entry>& ifd0, const std::vector<Entry>& ifd1 = {}) {
    Bytes t;
    auto u16 = [&](uint32_t v) {
        if (bigEndian) t.insert(t.end(), {uint8_t(v >> 8), uint8_t(v)});
        else t.insert(t.end(), {uint8_t(v), uint8_t(v >> 8)});
    };
    auto u32 = [&](uint32_t v) {
        if (bigEndian) { u16(v >> 16); u16(v & 0xFFFF); }
        else { u16(v & 0xFFFF); u16(v >> 16); }
    };
    auto ifd = [&](const std::vector<Entry>& entries, uint32_t next) {
        u16(uint32_t(entries.size()));
        for (const Entry& e : entries) {
            u16(e.tag);
            u16(e.type);
            u32(e.count);
            if (e.type == 3 && e.count == 1) { u16(e.value); u16(0); }  // a SHORT is left-justified
            else u32(e.value);
        }
        u32(next);
    };
    t.insert(t.end(), bigEndian ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
    u16(42);
    u32(8);
    const uint32_t ifd1At = ifd1.empty() ? 0 : uint32_t(8 + 2 + 12 * ifd0.size() + 4);
    ifd(ifd0, ifd1At);
    if (!ifd1.empty()) ifd(ifd1, 0);
    return t;
}

Bytes Segment(uint8_t marker, const Bytes& body) {
    Bytes s = {0xFF, marker, uint8_t((body.size() + 2) >> 8), uint8_t(body.size() + 2)};
    s.insert(s.end(), body.begin(), body.end());
    return s;
}

Bytes ExifSegment(const Bytes& tiff) {
    Bytes body = {'E', 'x', 'i', 'f', 0, 0};
    body.insert(body.end(), tiff.begin(), tiff.end());
    return Segment(0xE1, body);
}

const Bytes kJfif = Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
const Bytes kXmp = Segment(0xE1, {'h', 't', 't', 'p', ':', '/', '/', 'n', 's', '.', 0});
const Bytes kScan = {0xFF, 0xDA, 0x00, 0x08, 1, 1, 0, 0, 0x3F, 0, 0x12, 0x34, 0xFF, 0xD9};

Bytes Jpeg(std::initializer_list<Bytes> segments) {
    Bytes out = {0xFF, 0xD8};
    for (const Bytes& s : segments) out.insert(out.end(), s.begin(), s.end());
    return out;
}

int Parse(const Bytes& b) { return ReadJpegExifOrientation(b.data(), b.size()); }

const Entry kMake = {0x010F, 2, 6, 0x1000};
Entry Orientation(uint32_t v) { return {0x0112, 3, 1, v}; }

}  // namespace

TEST(ExifOrientation, ReadsTagOfIfd0AndRejectsEverythingElse) {
    Bytes badMagic = MakeTiff(false, {Orientation(6)});
    badMagic[2] = 43;
    Bytes ifd0PastEnd = MakeTiff(true, {Orientation(6)});
    ifd0PastEnd[7] = 0xF0;
    Bytes tooManyEntries = MakeTiff(false, {Orientation(6)});
    tooManyEntries[8] = 0;  // the count now claims 0x0100 entries...
    tooManyEntries[9] = 1;
    tooManyEntries[10] = 0x0F;  // ...and the first one is no longer the orientation
    Bytes truncated = ExifSegment(MakeTiff(false, {Orientation(6)}));
    truncated[3] += 40;  // the segment claims more bytes than the file has
    Bytes badIdentifier = ExifSegment(MakeTiff(false, {Orientation(6)}));
    badIdentifier[8] = 'X';

    const struct {
        const char* name;
        Bytes file;
        int expected;
    } cases[] = {
        {"little endian", Jpeg({ExifSegment(MakeTiff(false, {Orientation(6)}))}), 6},
        {"big endian", Jpeg({ExifSegment(MakeTiff(true, {Orientation(3)}))}), 3},
        {"after other tags", Jpeg({ExifSegment(MakeTiff(true, {kMake, {0x0110, 2, 4, 0x41424300}, Orientation(8)}))}), 8},
        {"after JFIF and XMP", Jpeg({kJfif, kXmp, ExifSegment(MakeTiff(false, {kMake, Orientation(5)}))}), 5},
        {"fill bytes before a marker", Jpeg({Bytes{0xFF, 0xFF}, ExifSegment(MakeTiff(false, {Orientation(2)}))}), 2},
        {"value 1", Jpeg({ExifSegment(MakeTiff(false, {Orientation(1)}))}), 1},
        {"value 0", Jpeg({ExifSegment(MakeTiff(false, {Orientation(0)}))}), 0},
        {"value 9", Jpeg({ExifSegment(MakeTiff(true, {Orientation(9)}))}), 0},
        {"value 0x0600 read in the wrong order", Jpeg({ExifSegment(MakeTiff(true, {Orientation(0x0600)}))}), 0},
        {"absent", Jpeg({ExifSegment(MakeTiff(false, {kMake}))}), 0},
        {"only in IFD1", Jpeg({ExifSegment(MakeTiff(false, {kMake}, {Orientation(6)}))}), 0},
        {"type LONG", Jpeg({ExifSegment(MakeTiff(false, {{0x0112, 4, 1, 6}}))}), 0},
        {"count 2", Jpeg({ExifSegment(MakeTiff(false, {{0x0112, 3, 2, 6}}))}), 0},
        {"bad TIFF magic", Jpeg({ExifSegment(badMagic)}), 0},
        {"IFD0 offset past the end", Jpeg({ExifSegment(ifd0PastEnd)}), 0},
        {"entry count past the end", Jpeg({ExifSegment(tooManyEntries)}), 0},
        {"segment longer than the file", Jpeg({truncated}), 0},
        {"identifier not Exif", Jpeg({badIdentifier}), 0},
        {"first Exif segment decides", Jpeg({ExifSegment(MakeTiff(false, {kMake})), ExifSegment(MakeTiff(false, {Orientation(6)}))}), 0},
        {"behind the scan", Jpeg({kScan, ExifSegment(MakeTiff(false, {Orientation(6)}))}), 0},
        {"no SOI", Bytes{0x00, 0xD8, 0xFF, 0xE1, 0x00, 0x02}, 0},
        {"garbage between segments", Jpeg({kJfif, Bytes{0x12}, ExifSegment(MakeTiff(false, {Orientation(6)}))}), 0},
        {"empty", Bytes{}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.file), c.expected) << c.name;
}

TEST(ExifOrientation, EveryPrefixOfAFileIsSafe) {
    const Bytes file = Jpeg({kJfif, ExifSegment(MakeTiff(true, {kMake, Orientation(7)}, {Orientation(3)})), kScan});
    const size_t exifEnd = 2 + kJfif.size() + ExifSegment(MakeTiff(true, {kMake, Orientation(7)}, {Orientation(3)})).size();
    for (size_t n = 0; n <= file.size(); ++n) {
        // Exactly sized copies, so a sanitizer sees any read past the prefix.
        const Bytes prefix(file.begin(), file.begin() + long(n));
        EXPECT_EQ(Parse(prefix), n >= exifEnd ? 7 : 0) << "prefix " << n;
    }
}

// Files written by an independent tool: ImageMagick makes the JPEG, exiftool sets the tag.
TEST(ExifOrientation, AgreesWithExiftool) {
    if (std::system("exiftool -ver > /dev/null 2>&1") != 0) GTEST_SKIP() << "exiftool is not installed";
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("tarvix-exif-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path base = dir / "base.jpg";
    ASSERT_EQ(std::system(("convert -size 40x24 xc:red '" + base.string() + "'").c_str()), 0);
    for (int n = 1; n <= 8; ++n) {
        for (const char* order : {"II", "MM"}) {
            const fs::path out = dir / ("o" + std::to_string(n) + order + ".jpg");
            const std::string cmd = "exiftool -q -n -Orientation=" + std::to_string(n) + " -ExifByteOrder=" + order +
                                    " -o '" + out.string() + "' '" + base.string() + "'";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
            std::ifstream in(out, std::ios::binary);
            const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            ASSERT_GT(bytes.size(), 100u);
            EXPECT_EQ(Parse(bytes), n) << order;
            // Only the head of a file is read in the program.
            EXPECT_EQ(ReadJpegExifOrientation(bytes.data(), std::min(bytes.size(), kExifProbeBytes)), n);
        }
    }
    fs::remove_all(dir);
}
