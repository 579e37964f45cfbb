// The PDF actions on real files: images to PDF (orientation, transparency, naming, the file's
// structure), the split back into JPEG files, what failed writes leave behind, cancelled pickers.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/gdiplus_flat.h"
#include "imaging/codec_win.h"
#include "pdf/pdf_actions_win.h"
#include "pdf/pdf_split.h"
#include "targets/targets_win.h"
#include "image_fixtures_win.h"
#include "win_test_util.h"

namespace {

// One object of a PDF as the cross-reference table places it.
struct PdfObject {
    std::string dict;    // from "N 0 obj" up to "stream" or "endobj"
    std::string stream;  // the body, by its /Length
};

uint64_t NumberAfter(const std::string& text, const std::string& key) {
    const size_t at = text.find(key);
    return at == std::string::npos ? 0 : std::stoull(text.substr(at + key.size()));
}

// Follows startxref and every table entry: each must point at "N 0 obj", and each stream must end
// where its /Length says.
::testing::AssertionResult ReadPdfObjects(const std::string& pdf, std::vector<PdfObject>& objects) {
    const size_t startxref = pdf.rfind("startxref\n");
    if (startxref == std::string::npos) return ::testing::AssertionFailure() << "no startxref";
    const size_t xref = std::stoull(pdf.substr(startxref + 10));
    if (pdf.compare(xref, 7, "xref\n0 ") != 0) return ::testing::AssertionFailure() << "startxref misses xref";
    const size_t count = std::stoull(pdf.substr(xref + 7));
    size_t entry = pdf.find('\n', xref + 7) + 1;
    if (pdf.compare(entry, 20, "0000000000 65535 f \n") != 0) return ::testing::AssertionFailure() << "free entry";
    objects.assign(count, {});
    for (size_t k = 1; k < count; ++k) {
        entry += 20;
        const size_t offset = std::stoull(pdf.substr(entry, 10));
        const std::string head = std::to_string(k) + " 0 obj\n";
        if (pdf.compare(entry + 10, 10, " 00000 n \n") != 0 || pdf.compare(offset, head.size(), head) != 0)
            return ::testing::AssertionFailure() << "entry " << k << " does not point at its object";
        const size_t streamAt = pdf.find("stream\n", offset), endobj = pdf.find("endobj", offset);
        objects[k].dict = pdf.substr(offset, std::min(streamAt, endobj) - offset);
        if (streamAt < endobj) {
            const size_t length = NumberAfter(objects[k].dict, "/Length ");
            objects[k].stream = pdf.substr(streamAt + 7, length);
            const size_t end = streamAt + 7 + length;
            if (pdf.compare(end, 9, "endstream") != 0 && pdf.compare(end, 10, "\nendstream") != 0)
                return ::testing::AssertionFailure() << "object " << k << ": /Length does not reach endstream";
        }
    }
    if (pdf.compare(entry + 20, 16, "trailer\n<< /Size") != 0 || NumberAfter(pdf, "/Size ") != count)
        return ::testing::AssertionFailure() << "trailer";
    return ::testing::AssertionSuccess();
}

// qpdf --check on the host through Wine's bridge to Unix programs; nothing where that bridge or
// qpdf is missing. Gives the exit code and the output.
std::optional<std::pair<int, std::string>> HostQpdfCheck(const std::wstring& pdf, const std::wstring& scratch) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto toUnix =
        reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix || !FileExists(L"Z:\\usr\\bin\\qpdf") || !FileExists(L"Z:\\bin\\sh")) return std::nullopt;
    const std::wstring out = scratch + L"\\qpdf.txt", done = scratch + L"\\qpdf.done";
    std::string unix[3];
    const std::wstring windowsPaths[3] = {pdf, out, done};
    for (int i = 0; i < 3; ++i) {
        char* name = toUnix(windowsPaths[i].c_str());
        if (!name) return std::nullopt;
        unix[i] = name;
        HeapFree(GetProcessHeap(), 0, name);
    }
    // The process is not one Wine can wait for: it leaves its exit code in a file when it is done.
    std::wstring command = L"sh -c \"qpdf --check '" + std::wstring(unix[0].begin(), unix[0].end()) + L"' > '" +
                           std::wstring(unix[1].begin(), unix[1].end()) + L"' 2>&1; echo $? > '" +
                           std::wstring(unix[2].begin(), unix[2].end()) + L"'\"";
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return std::nullopt;
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    for (int waited = 0; waited < 600 && ReadFileBytes(done).empty(); ++waited) Sleep(50);
    const std::string code = ReadFileBytes(done);
    if (code.empty()) return std::pair{-1, std::string("qpdf did not finish")};
    return std::pair{std::stoi(code), ReadFileBytes(out)};
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\" + pattern).c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(fd.cFileName);
    while (FindNextFileW(find, &fd));
    FindClose(find);
    return names;
}

// Fails a file's writing once `limit` bytes have gone through, the last write cut short, as a full disk does.
SinkFilter FailAfter(uint64_t limit) {
    return [limit](const ByteSink& file) -> ByteSink {
        return [file, limit, sent = uint64_t{0}](const void* data, uint32_t size) mutable {
            if (sent + size <= limit) {
                sent += size;
                return file(data, size);
            }
            if (limit > sent) file(data, static_cast<uint32_t>(limit - sent));
            sent = limit;
            SetLastError(ERROR_DISK_FULL);
            return false;
        };
    };
}

DWORD FailingPageWriter(const wchar_t*, const uint8_t*, size_t) { return ERROR_DISK_FULL; }

// Cancels the next open-file dialog of this process from a second thread, after noting its title
// and the names of its filters.
class DialogCanceller {
public:
    DialogCanceller() : thread_([this] { Run(); }) {}
    ~DialogCanceller() { Join(); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    bool seen = false;
    std::wstring title;
    std::vector<std::wstring> filters;

private:
    static HWND FindDialog() {
        HWND found = nullptr;
        EnumWindows(
            [](HWND h, LPARAM p) -> BOOL {
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                wchar_t cls[16] = {};
                GetClassNameW(h, cls, 16);
                if (pid != GetCurrentProcessId() || wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(h)) return TRUE;
                *reinterpret_cast<HWND*>(p) = h;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }
    void Run() {
        HWND dialog = nullptr;
        for (int waited = 0; waited < 20000 && !(dialog = FindDialog()); waited += 10) Sleep(10);
        if (!dialog) return;
        seen = true;
        wchar_t text[256] = {};
        GetWindowTextW(dialog, text, 256);
        title = text;
        HWND types = GetDlgItem(dialog, cmb1);
        const LRESULT count = SendMessageW(types, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count && i < 8; ++i) {
            SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            filters.push_back(text);
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    std::thread thread_;
};

enum class Kind { Jpeg, OrientedJpeg, TransparentPng, Undecodable };

struct InputImage {
    const wchar_t* name;
    Kind kind;
    int orientation;  // EXIF orientation of an OrientedJpeg
    UINT width, height;
};

class PdfActionsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CoInitialize(nullptr);
        GdiplusStartupInput input;
        GdiplusStartup(&token_, &input, nullptr);
    }
    static void TearDownTestSuite() {
        GdiplusShutdown(token_);
        CoUninitialize();
    }
    void SetUp() override {
        // A killed run leaves its folders behind, and Wine hands out the same process ids again.
        for (const TempFolder* folder : {&folder_, &scratch_}) {
            TempFolder::RemoveTree(folder->path());
            CreateDirectoryW(folder->path().c_str(), nullptr);
        }
        redirect_.emplace();
        targets.clear();
    }
    void TearDown() override {
        targets.clear();
        pageFileWriter = WriteNewFile;
        redirect_.reset();
    }

    std::wstring In(const std::wstring& name) const { return folder_.path() + L"\\" + name; }

    bool Make(const InputImage& image) const {
        const std::wstring path = In(image.name);
        switch (image.kind) {
        case Kind::Jpeg: return fixture::WritePatternJpeg(path, image.width, image.height);
        case Kind::OrientedJpeg: return fixture::WriteOrientedJpeg(path, image.orientation, image.width, image.height);
        case Kind::TransparentPng: return fixture::WriteTransparentPng(path, image.width, image.height);
        case Kind::Undecodable: return fixture::WriteUndecodable(path);
        }
        return false;
    }

    static std::wstring Log() {
        std::wstring text;
        Utf8ToWide(ReadFileBytes(TempLogPath()), text);
        return text;
    }
    static bool Logged(const std::wstring& line) { return Log().find(L"] " + line + L"\r\n") != std::wstring::npos; }
    static bool LoggedStart(const std::wstring& start) { return Log().find(L"] " + start) != std::wstring::npos; }

    // A page made the way the action makes it, for driving the file writer directly.
    PageImage PreparedPage(const wchar_t* name) const {
        CLSID jpeg = {};
        FindEncoderClsid(L"image/jpeg", &jpeg);
        const QualityParameter quality(85);
        std::optional<PageImage> page = PrepareJpegPage(In(name).c_str(), jpeg, quality.get());
        return page ? std::move(*page) : PageImage{};
    }

    static inline ULONG_PTR token_ = 0;
    TempFolder folder_;
    TempFolder scratch_;
    std::optional<TempDirRedirect> redirect_;
};

}  // namespace

TEST_F(PdfActionsTest, ImagesBecomeUprightPagesOnWhiteInInputOrder) {
    const InputImage inputs[] = {
        {L"photo.jpg", Kind::OrientedJpeg, 6, 4000, 3000},  // portrait page
        {L"clear.png", Kind::TransparentPng, 0, 64, 48},
        {L"broken.jpg", Kind::Undecodable, 0, 0, 0},
        {L"mirror.jpg", Kind::OrientedJpeg, 5, 60, 40},
        {L"wide.jpg", Kind::Jpeg, 0, 1234, 40},
    };
    const char* mediaBoxes[] = {"[0 0 2160 2880]", "[0 0 46.08 34.56]", "[0 0 28.8 43.2]", "[0 0 888.48 28.8]"};
    for (const InputImage& input : inputs) {
        ASSERT_TRUE(Make(input)) << NarrowPath(input.name);
        targets.push_back(In(input.name));
    }
    ExecutePdf();

    const std::wstring output = In(L"photo-merged.pdf");
    const std::string pdf = ReadFileBytes(output);
    std::vector<PdfObject> objects;
    ASSERT_TRUE(ReadPdfObjects(pdf, objects));
    ASSERT_EQ(objects.size(), 3u * 4 + 3);
    EXPECT_NE(objects[2].dict.find("/Count 4 /Kids [ 3 0 R 6 0 R 9 0 R 12 0 R ]"), std::string::npos);
    EXPECT_TRUE(Logged(L"ExecutePdf: Starting PDF export for 5 targets"));
    EXPECT_TRUE(LoggedStart(L"  ExecutePdf: Failed to open " + In(L"broken.jpg") + L", status="));
    EXPECT_TRUE(Logged(L"ExecutePdf: Output file -> " + output));
    EXPECT_TRUE(Logged(L"ExecutePdf: Finished successfully. Total " + std::to_wstring(pdf.size()) + L" bytes written."));

    size_t page = 0;
    for (const InputImage& input : inputs) {
        if (input.kind == Kind::Undecodable) continue;
        SCOPED_TRACE(NarrowPath(input.name));
        EXPECT_TRUE(Logged(L"ExecutePdf: Reading " + In(input.name)));
        const bool turned = input.orientation >= 5;
        const UINT width = turned ? input.height : input.width, height = turned ? input.width : input.height;
        const PdfObject& pageObject = objects[3 + 3 * page];
        const PdfObject& image = objects[5 + 3 * page];
        EXPECT_NE(pageObject.dict.find(std::string("/MediaBox ") + mediaBoxes[page]), std::string::npos) << pageObject.dict;
        EXPECT_EQ(NumberAfter(image.dict, "/Width "), width);
        EXPECT_EQ(NumberAfter(image.dict, "/Height "), height);
        EXPECT_TRUE(Logged(L"  ExecutePdf: Image accepted (" + std::to_wstring(width) + L"x" + std::to_wstring(height) +
                           L", " + std::to_wstring(image.stream.size()) + L" bytes JPEG)"));

        // What a viewer shows of the input, transparency over white; oriented inputs by EXIF's meaning.
        std::vector<uint32_t> expected;
        if (input.kind == Kind::OrientedJpeg) {
            expected = fixture::UprightQuadrantColours(input.orientation, input.width, input.height);
        } else {
            fixture::DecodedImage source;
            ASSERT_TRUE(fixture::DecodeImage(In(input.name), source));
            expected = fixture::QuadrantColours(source);
        }
        const std::wstring pageFile = scratch_.path() + L"\\page" + std::to_wstring(page) + L".jpg";
        ASSERT_TRUE(WriteFileBytes(pageFile, image.stream));
        fixture::DecodedImage decoded;
        ASSERT_TRUE(fixture::DecodeImage(pageFile, decoded));
        ASSERT_EQ(decoded.width, width);
        ASSERT_EQ(decoded.height, height);
        const std::vector<uint32_t> actual = fixture::QuadrantColours(decoded);
        for (size_t q = 0; q < 4; ++q) {
            const uint32_t want = (expected[q] >> 24) == 0 ? fixture::kWhite : expected[q];
            EXPECT_TRUE(fixture::ColourNear(actual[q], want)) << "quadrant " << q << std::hex << ": 0x" << actual[q]
                                                              << " instead of 0x" << want;
        }
        ++page;
    }

    if (auto qpdf = HostQpdfCheck(output, scratch_.path())) {
        EXPECT_EQ(qpdf->first, 0) << qpdf->second;
    } else {
        std::printf("note: qpdf is not reachable from here; the structure check above stands alone\n");
    }

    // Named after the first input even when it failed; an existing PDF is never replaced.
    targets = {In(L"broken.jpg"), In(L"clear.png")};
    ExecutePdf();
    EXPECT_TRUE(FileExists(In(L"broken-merged.pdf")));
    targets = {In(L"photo.jpg")};
    ExecutePdf();
    EXPECT_EQ(ReadFileBytes(output), pdf);
    EXPECT_TRUE(FileExists(In(L"photo-merged-1.pdf")));
}

TEST_F(PdfActionsTest, FailedPdfRunsLeaveNoFileAndClaimNoSuccess) {
    ASSERT_TRUE(Make({L"good.jpg", Kind::Jpeg, 0, 64, 48}));
    ASSERT_TRUE(Make({L"broken.jpg", Kind::Undecodable}));
    // With "-merged.pdf" the name outgrows the platform's 260 characters.
    const std::wstring longName = std::wstring(255 - In(L"").size() - 4, L'n') + L".jpg";
    ASSERT_TRUE(fixture::WritePatternJpeg(In(longName)));
    const PageImage pages[] = {PreparedPage(L"good.jpg"), PreparedPage(L"good.jpg")};
    ASSERT_FALSE(pages[0].jpeg.empty());
    const uint64_t pdfSize = [&] {
        uint64_t size = 0;
        (void)WriteImagePdf(
            [&size](const void*, uint32_t n) {
                size += n;
                return true;
            },
            pages);
        return size;
    }();
    PageImage misdescribed[] = {PreparedPage(L"good.jpg"), PreparedPage(L"good.jpg")};
    misdescribed[1].width += 1;  // the dictionary would state a size the JPEG does not have
    const std::wstring taken = In(L"taken.pdf"), fresh = In(L"fresh.pdf");
    ASSERT_TRUE(WriteFileBytes(taken, "someone else's file"));

    struct Case {
        const char* what;
        std::function<void()> run;
        std::wstring line;  // logged
        std::wstring gone;  // must not exist afterwards
    };
    const Case cases[] = {
        {"every input fails", [&] {
             targets = {In(L"broken.jpg"), In(L"missing.png")};
             ExecutePdf();
         },
         L"ExecutePdf: No valid images processed. PDF creation cancelled.", In(L"broken-merged.pdf")},
        {"no free output name", [&] {
             targets = {In(longName)};
             ExecutePdf();
         },
         L"ExecutePdf: No free output file name for " + In(longName), L""},
        {"folder missing", [&] { EXPECT_FALSE(WritePdfFile(In(L"none\\x.pdf").c_str(), pages)); },
         L"ExecutePdf: CreateFileW FAILED for " + In(L"none\\x.pdf") + L", err=3", L""},
        {"name taken", [&] { EXPECT_FALSE(WritePdfFile(taken.c_str(), pages)); },
         L"ExecutePdf: CreateFileW FAILED for " + taken + L", err=80", L""},
        {"page the writer refuses", [&] { EXPECT_FALSE(WritePdfFile(fresh.c_str(), misdescribed)); },
         L"ExecutePdf: Write FAILED for " + fresh + L", err=13", fresh},
        {"disk full at once", [&] { EXPECT_FALSE(WritePdfFile(fresh.c_str(), pages, FailAfter(0))); },
         L"ExecutePdf: Write FAILED for " + fresh + L", err=112", fresh},
        {"disk full in the catalog", [&] { EXPECT_FALSE(WritePdfFile(fresh.c_str(), pages, FailAfter(30))); },
         L"ExecutePdf: Write FAILED for " + fresh + L", err=112", fresh},
        {"disk full in a JPEG", [&] { EXPECT_FALSE(WritePdfFile(fresh.c_str(), pages, FailAfter(pdfSize / 2))); },
         L"ExecutePdf: Write FAILED for " + fresh + L", err=112", fresh},
        {"disk full in the xref", [&] { EXPECT_FALSE(WritePdfFile(fresh.c_str(), pages, FailAfter(pdfSize - 1))); },
         L"ExecutePdf: Write FAILED for " + fresh + L", err=112", fresh},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.run();
        EXPECT_TRUE(Logged(c.line)) << NarrowPath(Log());
        if (!c.gone.empty()) {
            EXPECT_FALSE(FileExists(c.gone));
        }
    }
    EXPECT_EQ(ReadFileBytes(taken), "someone else's file");
    EXPECT_EQ(Log().find(L"Finished successfully"), std::wstring::npos);
    EXPECT_EQ(Log().find(L"Output file ->"), std::wstring::npos);
    EXPECT_EQ(FilesIn(folder_.path(), L"*.pdf"), std::vector<std::wstring>{L"taken.pdf"});

    // The same path, let through whole, is written and reported.
    EXPECT_TRUE(WritePdfFile(fresh.c_str(), pages, FailAfter(pdfSize)));
    EXPECT_EQ(ReadFileBytes(fresh).size(), pdfSize);
    EXPECT_TRUE(Logged(L"ExecutePdf: Finished successfully. Total " + std::to_wstring(pdfSize) + L" bytes written."));
}

TEST_F(PdfActionsTest, SplitGivesBackThePagesUnchangedBesideExistingFiles) {
    const InputImage inputs[] = {
        {L"trip.jpg", Kind::Jpeg, 0, 80, 60},
        {L"b.png", Kind::TransparentPng, 0, 64, 48},
        {L"c.jpg", Kind::OrientedJpeg, 8, 50, 30},
    };
    for (const InputImage& input : inputs) {
        ASSERT_TRUE(Make(input));
        targets.push_back(In(input.name));
    }
    ExecutePdf();
    const std::wstring pdfPath = In(L"trip-merged.pdf");
    const std::string pdf = ReadFileBytes(pdfPath);
    const std::vector<ExtractedJpeg> streams =
        ScanJpegStreams(reinterpret_cast<const uint8_t*>(pdf.data()), pdf.size(), ReadJpegFrameSize);
    ASSERT_EQ(streams.size(), 3u);
    ASSERT_TRUE(WriteFileBytes(In(L"trip-page-01.jpg"), "an older page"));

    // Only the PDF among the targets is split; no dialog opens.
    targets = {In(L"trip.jpg"), pdfPath};
    ExecutePdfSplit();
    EXPECT_EQ(ReadFileBytes(In(L"trip-page-01.jpg")), "an older page");
    const wchar_t* written[] = {L"trip-page-01-1.jpg", L"trip-page-02.jpg", L"trip-page-03.jpg"};
    const UINT sizes[][2] = {{80, 60}, {64, 48}, {30, 50}};
    EXPECT_TRUE(Logged(L"ExecutePdfSplit: Processing " + pdfPath));
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ReadFileBytes(In(written[i])), std::string(streams[i].bytes.begin(), streams[i].bytes.end()));
        EXPECT_TRUE(Logged(L"  ExecutePdfSplit: Valid JPEG extracted #" + std::to_wstring(i + 1) + L" (" +
                           std::to_wstring(sizes[i][0]) + L"x" + std::to_wstring(sizes[i][1]) + L", " +
                           std::to_wstring(streams[i].bytes.size()) + L" bytes)"));
        EXPECT_TRUE(Logged(L"  ExecutePdfSplit: Created image " + In(written[i])));
    }

    // A second run counts what it wrote, again under fresh names.
    const SplitTally again = SplitPdfFiles({pdfPath});
    EXPECT_EQ(again.pagesFound, 3u);
    EXPECT_EQ(again.pagesWritten, 3u);
    EXPECT_EQ(DecideSplitClosing(again), SplitClosing::Finished);
    EXPECT_EQ(ReadFileBytes(In(L"trip-page-03-1.jpg")), ReadFileBytes(In(L"trip-page-03.jpg")));
    EXPECT_EQ(FilesIn(folder_.path(), L"trip-page-*.jpg").size(), 7u);
}

TEST_F(PdfActionsTest, SplitSkipsWhatItCannotReadOrWrite) {
    ASSERT_TRUE(Make({L"a.jpg", Kind::Jpeg, 0, 64, 48}));
    ASSERT_TRUE(Make({L"b.jpg", Kind::Jpeg, 0, 48, 64}));
    const PageImage pages[] = {PreparedPage(L"a.jpg"), PreparedPage(L"b.jpg")};
    const std::wstring album = In(L"album.pdf");
    ASSERT_TRUE(WritePdfFile(album.c_str(), pages)) << NarrowPath(Log());
    const std::string albumBytes = ReadFileBytes(album);
    // Page names after this PDF outgrow the platform's 260 characters.
    const std::wstring longPdf = In(std::wstring(255 - In(L"").size() - 4, L'p') + L".pdf");
    ASSERT_TRUE(WriteFileBytes(longPdf, albumBytes));

    ASSERT_TRUE(WriteFileBytes(In(L"empty.pdf"), ""));
    {
        HANDLE h = CreateFileW(In(L"huge.pdf").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        LARGE_INTEGER end;
        end.QuadPart = 524'288'001;
        EXPECT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h));
        CloseHandle(h);
    }
    // A text stream, and two streams that look like JPEGs at both ends: one whose first segment runs
    // far past its end, one well formed but without the tables to decode it.
    const std::string overrun = std::string("\xFF\xD8\xFF\xE0\x78\x78", 6) + std::string(200, 'x') + "\xFF\xD9";
    const std::string tableless =
        std::string("\xFF\xD8\xFF\xC0\x00\x0B\x08\x00\x10\x00\x10\x01\x01\x11\x00"
                    "\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 25) +
        std::string(200, '\x11') + "\xFF\xD9";
    ASSERT_TRUE(WriteFileBytes(In(L"text.pdf"), "%PDF-1.4\n1 0 obj\n<< /Length 5 >>\nstream\nBT ET\nendstream\nendobj\n"
                                                "2 0 obj\n<< >>\nstream\n" + overrun + "\nendstream\nendobj\n"
                                                "3 0 obj\n<< >>\nstream\n" + tableless + "\nendstream\nendobj\n%%EOF\n"));

    struct Case {
        std::wstring pdf;
        bool failingWriter;
        std::wstring line;
        SplitTally tally;  // inputs, unreadable, withoutPages, pagesFound, pagesWritten
    };
    const Case cases[] = {
        {In(L"empty.pdf"), false, L"  ExecutePdfSplit: Invalid file size", {1, 1, 0, 0, 0}},
        {In(L"huge.pdf"), false, L"  ExecutePdfSplit: Invalid file size", {1, 1, 0, 0, 0}},
        {In(L"missing.pdf"), false, L"  ExecutePdfSplit: Failed to open file, err=2", {1, 1, 0, 0, 0}},
        {In(L"text.pdf"), false, L"ExecutePdfSplit: No valid JPEG image pages found in " + In(L"text.pdf"), {1, 0, 1, 0, 0}},
        {album, true, L"  ExecutePdfSplit: Write FAILED for " + In(L"album-page-02.jpg") + L", err=112", {1, 0, 0, 2, 0}},
        {longPdf, false, L"  ExecutePdfSplit: No free file name for page 1 of " + longPdf, {1, 0, 0, 2, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(NarrowPath(c.pdf));
        pageFileWriter = c.failingWriter ? FailingPageWriter : WriteNewFile;
        const SplitTally t = SplitPdfFiles({c.pdf});
        EXPECT_TRUE(Logged(c.line)) << NarrowPath(Log());
        EXPECT_EQ(t.unreadable, c.tally.unreadable);
        EXPECT_EQ(t.withoutPages, c.tally.withoutPages);
        EXPECT_EQ(t.pagesFound, c.tally.pagesFound);
        EXPECT_EQ(t.pagesWritten, c.tally.pagesWritten);
    }
    EXPECT_EQ(Log().find(L"Created image"), std::wstring::npos);
    EXPECT_TRUE(FilesIn(folder_.path(), L"*.jpg").size() == 2) << "only the two inputs";

    // Both kinds of failure in one run: nothing written, and the run says so.
    pageFileWriter = FailingPageWriter;
    EXPECT_EQ(DecideSplitClosing(SplitPdfFiles({In(L"missing.pdf"), album})), SplitClosing::NothingWritten);
}

TEST_F(PdfActionsTest, CancelledPickersEndTheActionsWithTheirOwnLine) {
    ASSERT_TRUE(Make({L"photo.jpg", Kind::Jpeg, 0, 64, 48}));
    {
        // No PDF among the targets: the split asks for PDFs.
        targets = {In(L"photo.jpg")};
        DialogCanceller canceller;
        ExecutePdfSplit();
        canceller.Join();
        ASSERT_TRUE(canceller.seen);
        EXPECT_EQ(canceller.title, L"Pilih File PDF untuk di-Split / Unmerge");
        EXPECT_EQ(canceller.filters, (std::vector<std::wstring>{L"PDF Documents (*.pdf)", L"All Files (*.*)"}));
    }
    {
        targets.clear();
        DialogCanceller canceller;
        ExecutePdf();
        canceller.Join();
        ASSERT_TRUE(canceller.seen);
    }
    const std::wstring log = Log();
    ASSERT_EQ(std::count(log.begin(), log.end(), L'\n'), 2) << NarrowPath(log);
    EXPECT_TRUE(Logged(L"ExecutePdfSplit: targets empty, aborting."));
    EXPECT_TRUE(Logged(L"ExecutePdf: targets empty, aborting."));
    EXPECT_TRUE(FilesIn(folder_.path(), L"*.pdf").empty());
}
