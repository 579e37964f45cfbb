// The codec layer, format conversion, compression and the file picker on real files.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cwctype>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/notify_win.h"
#include "image_fixtures_win.h"
#include "imaging/codec_win.h"
#include "imaging/exif_orientation.h"
#include "imaging/image_actions_win.h"
#include "targets/pickers_win.h"
#include "targets/targets_win.h"
#include "win_test_util.h"
#include "fake_tray_win.h"

namespace {

constexpr UINT kW = 64, kH = 48;

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// The orientation a file's own bytes state, read by the portable parser.
int FileOrientation(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    return ReadJpegExifOrientation(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

class ImagingTest : public ImageActionTest {};

enum class Input { TransparentPng, Jpeg, Oriented };

bool MakeInput(Input kind, const std::wstring& path, int orientation = 1) {
    switch (kind) {
    case Input::TransparentPng: return fixture::WriteTransparentPng(path, kW, kH);
    case Input::Jpeg: return fixture::WritePatternJpeg(path, kW, kH);
    case Input::Oriented: return fixture::WriteOrientedJpeg(path, orientation, kW, kH);
    }
    return false;
}

// Size, the four quadrant colours and no orientation tag left anywhere.
void ExpectPicture(const std::wstring& path, UINT width, UINT height, const std::vector<uint32_t>& quadrants) {
    fixture::DecodedImage image;
    ASSERT_TRUE(fixture::DecodeImage(path, image)) << NarrowPath(path);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    const std::vector<uint32_t> got = fixture::QuadrantColours(image);
    for (size_t i = 0; i < 4; ++i) {
        if (quadrants[i] >> 24 == 0) EXPECT_EQ(got[i] >> 24, 0u) << "quadrant " << i << " should stay transparent";
        else EXPECT_TRUE(fixture::ColourNear(got[i], quadrants[i])) << "quadrant " << i << std::hex << ": got " << got[i]
                                                                    << ", expected " << quadrants[i];
    }
    EXPECT_EQ(FileOrientation(path), 0);
    EXPECT_FALSE(fixture::LibraryReportsOrientation(path));
}

const std::vector<uint32_t> kPattern = {fixture::kTopLeft, fixture::kTopRight, fixture::kBottomLeft, fixture::kBottomRight};
const std::vector<uint32_t> kOnWhite = {fixture::kTopLeft, fixture::kTopRight, fixture::kBottomLeft, fixture::kWhite};
const std::vector<uint32_t> kWithHole = {fixture::kTopLeft, fixture::kTopRight, fixture::kBottomLeft, fixture::kTransparent};

}  // namespace

TEST(ImagingCodec, FindEncoderClsidMatchesTheMimeTypeExactly) {
    const struct {
        const wchar_t* mime;
        bool found;
    } cases[] = {{L"image/png", true},  {L"image/jpeg", true}, {L"image/webp", false},
                 {L"IMAGE/PNG", false}, {L"image/pn", false},  {L"", false}};
    const CLSID untouched = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    for (const auto& c : cases) {
        CLSID clsid = untouched;
        const int index = FindEncoderClsid(c.mime, &clsid);
        if (!c.found) {
            EXPECT_EQ(index, -1) << NarrowPath(c.mime);
            EXPECT_TRUE(IsEqualCLSID(clsid, untouched)) << NarrowPath(c.mime);
            continue;
        }
        CLSID expected;
        ASSERT_TRUE(fixture::EncoderFor(c.mime, expected));
        EXPECT_GE(index, 0);
        EXPECT_TRUE(IsEqualCLSID(clsid, expected)) << NarrowPath(c.mime);
    }
}

TEST(ImagingCodec, QualityParameterIsOneLongEncoderQuality) {
    const QualityParameter quality(60);
    const Gdiplus::EncoderParameters* p = quality.get();
    ASSERT_EQ(p->Count, 1u);
    const GUID encoderQuality = {0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};
    EXPECT_TRUE(IsEqualGUID(p->Parameter[0].Guid, encoderQuality));
    EXPECT_EQ(p->Parameter[0].Type, 4u);
    EXPECT_EQ(p->Parameter[0].NumberOfValues, 1u);
    ASSERT_NE(p->Parameter[0].Value, nullptr);
    EXPECT_EQ(*static_cast<const ULONG*>(p->Parameter[0].Value), 60u);
}

TEST(ImagingCodec, EncodeToMemoryGivesExactlyWhatTheEncoderWrites) {
    TempFolder folder;
    const std::wstring png = folder.path() + L"\\a.png";
    ASSERT_TRUE(fixture::WriteTransparentPng(png, 333, 77));
    GdipImageHolder image;
    ASSERT_EQ(OpenImageFile(png.c_str(), image), Ok);
    CLSID encoder;
    ASSERT_GE(FindEncoderClsid(L"image/png", &encoder), 0);
    std::vector<uint8_t> bytes;
    EncodeResult r = EncodeToMemory(image.get(), encoder, nullptr, bytes);
    ASSERT_TRUE(r.ok());
    // The same encoder straight into a file is the oracle: not one byte more (the memory block's slack).
    const std::wstring direct = folder.path() + L"\\direct.png";
    ASSERT_EQ(GdipSaveImageToFile(image.get(), direct.c_str(), &encoder, nullptr), Ok);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), ReadFileBytes(direct));

    GdipImageHolder missing;
    EXPECT_NE(OpenImageFile((folder.path() + L"\\none.png").c_str(), missing), Ok);
    EXPECT_FALSE(missing);
}

TEST(ImagingCodec, WriteNewFileNeverReplacesAndLeavesNoPartialFile) {
    TempFolder folder;
    const std::string data(100000, 'x');
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());

    const std::wstring fresh = folder.path() + L"\\fresh.jpg";
    EXPECT_EQ(WriteNewFile(fresh.c_str(), bytes, data.size()), 0u);
    EXPECT_EQ(ReadFileBytes(fresh), data);

    // An existing file, also one held open without sharing, is left exactly as it was.
    const std::wstring taken = folder.path() + L"\\taken.jpg";
    ASSERT_TRUE(WriteFileBytes(taken, "mine"));
    EXPECT_EQ(WriteNewFile(taken.c_str(), bytes, data.size()), static_cast<DWORD>(ERROR_FILE_EXISTS));
    HANDLE held = CreateFileW(taken.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_NE(WriteNewFile(taken.c_str(), bytes, data.size()), 0u);
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(taken), "mine");

    const std::wstring noFolder = folder.path() + L"\\missing\\a.jpg";
    EXPECT_EQ(WriteNewFile(noFolder.c_str(), bytes, data.size()), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(FileExists(noFolder));
}

TEST_F(ImagingTest, ConvertWritesUprightFlattenedCopiesBesideTheInput) {
    const struct {
        const char* name;
        Input kind;
        int orientation;
        const wchar_t* input;
        const wchar_t* format;
        const wchar_t* output;
        std::vector<uint32_t> quadrants;
    } cases[] = {
        {"png with alpha to jpg is white where it was transparent", Input::TransparentPng, 1, L"a.png", L"jpg", L"a.jpg", kOnWhite},
        {"png to png keeps alpha under a counted name", Input::TransparentPng, 1, L"b.png", L"png", L"b-1.png", kWithHole},
        {"jpeg to jpg gets a counted name", Input::Jpeg, 1, L"c.jpg", L"jpg", L"c-1.jpg", kPattern},
        {"jpeg is a synonym that names the extension", Input::Jpeg, 1, L"d.jpg", L"jpeg", L"d.jpeg", kPattern},
        {"orientation 6 to jpg", Input::Oriented, 6, L"e.jpg", L"jpg", L"e-1.jpg", fixture::UprightQuadrantColours(6, kW, kH)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring input = Path(c.input);
        ASSERT_TRUE(MakeInput(c.kind, input, c.orientation));
        const std::string before = ReadFileBytes(input);
        targets = {input};
        ExecuteConvert(c.format);
        const std::wstring output = Path(c.output);
        const std::wstring log = LogText();
        EXPECT_EQ(Count(log, L"ExecuteConvert: Opening " + input + L"\r\n"), 1u) << NarrowPath(log);
        EXPECT_EQ(Count(log, L"  Saving convert to: " + output + L"\r\n"), 1u) << NarrowPath(log);
        EXPECT_EQ(Count(log, L"  Convert success -> " + output + L"\r\n"), 1u) << NarrowPath(log);
        const bool swapped = c.orientation >= 5;
        ExpectPicture(output, swapped ? kH : kW, swapped ? kW : kH, c.quadrants);
        EXPECT_EQ(ReadFileBytes(input), before) << "the input is never changed";
    }
}

TEST_F(ImagingTest, EveryExifOrientationComesOutUpright) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::wstring input = Path(L"o" + std::to_wstring(orientation) + L".jpg");
        ASSERT_TRUE(fixture::WriteOrientedJpeg(input, orientation, kW, kH));
        targets = {input};
        ExecuteConvert(L"png");
        const bool swapped = orientation >= 5;
        ExpectPicture(Path(L"o" + std::to_wstring(orientation) + L".png"), swapped ? kH : kW, swapped ? kW : kH,
                      fixture::UprightQuadrantColours(orientation, kW, kH));
    }
}

TEST_F(ImagingTest, CompressNamesEachCopyAnewAndFlattensAndTurnsIt) {
    const std::wstring kucing = Path(L"kucing.png");
    ASSERT_TRUE(fixture::WriteTransparentPng(kucing, kW, kH));
    const std::wstring photo = Path(L"photo.jpg");
    ASSERT_TRUE(fixture::WriteOrientedJpeg(photo, 6, kW, kH));

    const struct {
        std::wstring input, output;
        UINT width, height;
        std::vector<uint32_t> quadrants;
    } runs[] = {
        {kucing, Path(L"kucing-compressed.jpg"), kW, kH, kOnWhite},
        {kucing, Path(L"kucing-compressed-1.jpg"), kW, kH, kOnWhite},
        {Path(L"kucing-compressed.jpg"), Path(L"kucing-compressed-compressed.jpg"), kW, kH, kOnWhite},
        {photo, Path(L"photo-compressed.jpg"), kH, kW, fixture::UprightQuadrantColours(6, kW, kH)},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(NarrowPath(run.output));
        targets = {run.input};
        ExecuteCompress();
        const std::wstring log = LogText();
        EXPECT_NE(log.find(L"ExecuteCompress: Opening " + run.input + L"\r\n"), std::wstring::npos);
        EXPECT_EQ(Count(log, L"  Saving compress to: " + run.output + L"\r\n"), 1u) << NarrowPath(log);
        EXPECT_EQ(Count(log, L"  Compress success -> " + run.output + L"\r\n"), 1u) << NarrowPath(log);
        ExpectPicture(run.output, run.width, run.height, run.quadrants);
    }
}

TEST_F(ImagingTest, UndecodableFileIsSkippedAndTheOthersAreConverted) {
    const std::wstring a = Path(L"a.png"), b = Path(L"b.png"), c = Path(L"c.png");
    ASSERT_TRUE(fixture::WriteTransparentPng(a));
    ASSERT_TRUE(fixture::WriteUndecodable(b));
    ASSERT_TRUE(fixture::WriteTransparentPng(c));
    targets = {a, b, c};
    ExecuteConvert(L"jpg");
    const std::wstring log = LogText();
    EXPECT_EQ(Count(log, L"ExecuteConvert: Opening "), 3u);
    EXPECT_EQ(Count(log, L"  Bitmap open failed for " + b + L", status="), 1u) << NarrowPath(log);
    EXPECT_EQ(Count(log, L"  Convert success -> "), 2u);
    EXPECT_TRUE(FileExists(Path(L"a.jpg")));
    EXPECT_FALSE(FileExists(Path(L"b.jpg")));
    EXPECT_TRUE(FileExists(Path(L"c.jpg")));
    // Nothing of the failed file shows up later in the run.
    EXPECT_LT(log.find(L"Bitmap open failed"), log.find(L"ExecuteConvert: Opening " + c));
}

TEST_F(ImagingTest, InputWhoseOutputNameCannotBeBuiltIsSkipped) {
    // The longest path the platform takes; the output's ".jpeg" is one character longer.
    const std::wstring input = Path(std::wstring(MAX_PATH - 1 - Path(L".png").size(), L'p') + L".png");
    ASSERT_EQ(input.size(), static_cast<size_t>(MAX_PATH - 1));
    ASSERT_TRUE(fixture::WriteTransparentPng(input));
    targets = {input};
    ExecuteConvert(L"jpeg");
    const std::wstring log = LogText();
    EXPECT_EQ(Count(log, L"  No free output name for " + input + L", skipped\r\n"), 1u) << NarrowPath(log);
    EXPECT_EQ(Count(log, L"  Saving convert to: "), 0u);
}

TEST_F(ImagingTest, NoDecodableInputRunSaysNothingWasWritten) {
    FakeTray tray;
    ASSERT_NE(tray.hwnd(), nullptr);
    const std::wstring a = Path(L"a.png"), b = Path(L"b.jpg");
    ASSERT_TRUE(fixture::WriteUndecodable(a));
    ASSERT_TRUE(fixture::WriteUndecodable(b));
    targets = {a, b};
    ExecuteConvert(L"webp");
    const std::wstring log = LogText();
    EXPECT_EQ(Count(log, L"  Bitmap open failed for " + a + L", status="), 1u) << NarrowPath(log);
    EXPECT_EQ(Count(log, L"  Bitmap open failed for " + b + L", status="), 1u) << NarrowPath(log);
    EXPECT_EQ(Count(log, L"success"), 0u);
    EXPECT_FALSE(FileExists(Path(L"a.webp")));
    EXPECT_FALSE(FileExists(Path(L"b.webp")));
    EXPECT_TRUE(FakeTray::Saw(L"Tidak Ada File Dibuat"));
    EXPECT_TRUE(FakeTray::Saw(L"Format Image: tidak ada file yang berhasil dibuat dari 2 file."));
}

TEST_F(ImagingTest, SuccessfulRunShowsNoNothingWrittenBalloon) {
    FakeTray tray;
    const std::wstring a = Path(L"a.png");
    ASSERT_TRUE(fixture::WriteTransparentPng(a));
    targets = {Path(L"missing.png"), a};
    ExecuteCompress();
    EXPECT_TRUE(FileExists(Path(L"a-compressed.jpg")));
    EXPECT_FALSE(FakeTray::Saw(L"Tidak Ada File Dibuat"));
    // The tooltip counted the run and was given back afterwards.
    EXPECT_TRUE(FakeTray::Saw(L"Compress 1 / 2"));
    EXPECT_TRUE(FakeTray::Saw(L"Compress 2 / 2"));
    EXPECT_TRUE(FakeTray::Saw(kTrayTip));
}

TEST_F(ImagingTest, TargetTakenDuringTheEncodeIsLeftAloneAndNotReportedAsWritten) {
    // A big picture keeps the encoder busy while another program takes the chosen name.
    const std::wstring input = Path(L"big.png");
    ASSERT_TRUE(fixture::WriteTransparentPng(input, 2400, 1800));
    const std::wstring output = Path(L"big-1.png");
    const std::wstring saving = L"  Saving convert to: " + output;
    std::atomic<bool> done{false}, taken{false};
    HANDLE holder = INVALID_HANDLE_VALUE;
    std::thread rival([&] {
        while (!done && LogText().find(saving) == std::wstring::npos) Sleep(1);
        if (done) return;
        holder = CreateFileW(output.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        taken = holder != INVALID_HANDLE_VALUE && WriteFile(holder, "rival", 5, &written, nullptr);
    });
    targets = {input};
    ExecuteConvert(L"png");
    done = true;
    rival.join();
    ASSERT_TRUE(taken) << "the encoder finished before the name could be taken";
    CloseHandle(holder);
    const std::wstring log = LogText();
    EXPECT_EQ(Count(log, L"  Convert FAILED for " + output + L", err="), 1u) << NarrowPath(log);
    EXPECT_EQ(Count(log, L"success"), 0u);
    EXPECT_EQ(ReadFileBytes(output), "rival");
}

// ---- The picker, driven as a user would: a second thread works the dialog. ----

namespace {

HWND FindPickerDialog() {
    struct Search {
        DWORD pid;
        HWND found;
    } search = {GetCurrentProcessId(), nullptr};
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            wchar_t cls[16] = {};
            GetClassNameW(h, cls, 16);
            if (pid != s->pid || wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(h)) return TRUE;
            s->found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

template <class Condition>
bool WaitFor(Condition condition, int milliseconds = 20000) {
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (condition()) return true;
        Sleep(10);
    }
    return condition();
}

std::wstring DialogFolder(HWND dialog) {
    wchar_t folder[MAX_PATH] = {};
    SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
    return folder;
}

void SetFileNameText(HWND dialog, const std::wstring& text) {
    HWND box = GetDlgItem(dialog, cmb13);
    if (!box) box = GetDlgItem(dialog, edt1);
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

enum class Pick { Cancel, TypeNames, SelectAll };

// Works the next picker dialog: opens `folder`, then types the names, selects everything or cancels.
class PickerDriver {
public:
    PickerDriver(Pick how, std::wstring folder, std::vector<std::wstring> names = {})
        : thread_([this, how, folder = std::move(folder), names = std::move(names)] { Run(how, folder, names); }) {}
    ~PickerDriver() {
        if (thread_.joinable()) thread_.join();
    }
    void Join() { thread_.join(); }
    std::string problem;

private:
    void Run(Pick how, const std::wstring& folder, const std::vector<std::wstring>& names) {
        HWND dialog = nullptr;
        if (!WaitFor([&] { return (dialog = FindPickerDialog()) != nullptr; })) {
            problem = "no dialog appeared";
            return;
        }
        if (how == Pick::Cancel) {
            Press(dialog, IDCANCEL);
            return;
        }
        SetFileNameText(dialog, folder);
        Press(dialog, IDOK);
        if (!WaitFor([&] { return Lower(DialogFolder(dialog)) == Lower(folder); })) {
            problem = "the dialog did not open the folder";
            Press(dialog, IDCANCEL);
            return;
        }
        if (how == Pick::TypeNames) {
            std::wstring text;
            for (const std::wstring& n : names) text += L"\"" + n + L"\" ";
            SetFileNameText(dialog, names.size() == 1 ? names[0] : text);
        } else {
            HWND view = FindWindowExW(FindWindowExW(dialog, nullptr, L"SHELLDLL_DefView", nullptr), nullptr,
                                      WC_LISTVIEWW, nullptr);
            if (!view) {
                problem = "no file list";
                Press(dialog, IDCANCEL);
                return;
            }
            WaitFor([&] { return SendMessageW(view, LVM_GETITEMCOUNT, 0, 0) >= static_cast<LRESULT>(names.size()); });
            LVITEMW item = {};
            item.stateMask = LVIS_SELECTED;
            item.state = LVIS_SELECTED;
            SendMessageW(view, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
        }
        Press(dialog, IDOK);
    }
    std::thread thread_;
};

// Names long enough that the whole selection needs more than the dialog's first 8192 characters.
std::vector<std::wstring> ManyNames(size_t count) {
    std::vector<std::wstring> names;
    for (size_t i = 0; i < count; ++i) {
        wchar_t name[64];
        swprintf(name, 64, L"holiday-picture-number-%03zu-from-the-phone.png", i);
        names.push_back(name);
    }
    return names;
}

std::vector<std::wstring> Normalised(std::vector<std::wstring> paths, bool sort) {
    for (std::wstring& p : paths) {
        wchar_t full[MAX_PATH];
        if (GetLongPathNameW(p.c_str(), full, MAX_PATH)) p = full;
        p = Lower(p);
    }
    if (sort) std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace

TEST_F(ImagingTest, PickerReturnsLargeSelectionsWhole) {
    const std::vector<std::wstring> names = ManyNames(230);
    std::vector<std::wstring> expected;
    size_t characters = 0;
    for (const std::wstring& n : names) {
        ASSERT_TRUE(WriteFileBytes(Path(n), "x"));
        expected.push_back(Path(n));
        characters += n.size() + 1;
    }
    ASSERT_GT(characters, 8192u);
    const struct {
        const char* name;
        Pick how;
        std::vector<std::wstring> typed;
        std::vector<std::wstring> expected;
        bool anyOrder;
    } cases[] = {
        {"one typed name", Pick::TypeNames, {names[7]}, {expected[7]}, false},
        {"three typed names keep their order", Pick::TypeNames, {names[9], names[2], names[5]},
         {expected[9], expected[2], expected[5]}, false},
        {"every file typed", Pick::TypeNames, names, expected, false},
        {"every file selected in the list", Pick::SelectAll, names, expected, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PickerDriver driver(c.how, folder_->path(), c.typed);
        const std::vector<std::wstring> picked = PickFiles(kImagePickerFilter, L"Pilih");
        driver.Join();
        ASSERT_EQ(driver.problem, "");
        EXPECT_EQ(Normalised(picked, c.anyOrder), Normalised(c.expected, c.anyOrder));
    }
}

TEST_F(ImagingTest, CancelledPickerEndsTheActionSilently) {
    ASSERT_TRUE(targets.empty());
    PickerDriver driver(Pick::Cancel, folder_->path());
    ExecuteCompress();
    driver.Join();
    ASSERT_EQ(driver.problem, "");
    EXPECT_FALSE(FileExists(TempLogPath())) << NarrowPath(LogText());
}
