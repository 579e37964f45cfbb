// Explorer selection detection through real COM calls on in-process shell objects: which window
// wins, the exact log of every failing step, released media and balanced references.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fake_shell_win.h"
#include "targets/explorer_win.h"
#include "targets/image_filter.h"
#include "win_test_util.h"

namespace {

using Paths = std::vector<std::wstring>;

std::wstring Ptr(const void* p) {
    wchar_t text[32];
    swprintf(text, 32, L"%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    if (window) GetClassNameW(window, name, 256);
    return name;
}

// The log's lines without their time stamps.
std::vector<std::wstring> LogLines() {
    std::wstring text;
    Utf8ToWide(ReadFileBytes(TempLogPath()), text);
    std::vector<std::wstring> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(L"\r\n", at);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(at, end - at);
        size_t stamp = line.find(L"] ");
        lines.push_back(stamp == std::wstring::npos ? line : line.substr(stamp + 2));
        at = end + 2;
    }
    return lines;
}

std::string Dump(const std::vector<std::wstring>& lines) {
    std::string out;
    for (const std::wstring& l : lines) out += "  | " + WideToUtf8(l) + "\n";
    return out;
}

// Positions of the expected lines, found in this order among the log's lines (others may lie between).
std::vector<size_t> ExpectInOrder(const std::vector<std::wstring>& log, const std::vector<std::wstring>& expected) {
    std::vector<size_t> at;
    size_t from = 0;
    for (const std::wstring& want : expected) {
        size_t i = from;
        while (i < log.size() && log[i] != want) ++i;
        if (i == log.size()) {
            ADD_FAILURE() << "missing, or out of order: " << WideToUtf8(want) << "\nlog:\n" << Dump(log);
            return at;
        }
        at.push_back(i);
        from = i + 1;
    }
    return at;
}

size_t CountStarting(const std::vector<std::wstring>& log, const std::wstring& prefix) {
    size_t n = 0;
    for (const std::wstring& l : log) n += l.rfind(prefix, 0) == 0;
    return n;
}

// One shell window (or the desktop) with its browser, view, folder view and selection; the
// file-drop list names the same files as the view unless a test changes it.
struct Entry {
    fake::WindowItem item;
    fake::ShellBrowser browser;
    fake::ShellView view;
    fake::FolderView folderView;
    fake::ShellItemArray array;
    fake::DataObject data;
    std::deque<fake::ShellItem> selected;

    Entry(HWND top, HWND tab, const Paths& selection) {
        item.topWindow = top;
        item.browser = &browser;
        browser.window = tab;
        browser.view = &view;
        view.folderView = &folderView;
        view.dataObject = &data;
        folderView.selection = &array;
        for (const std::wstring& path : selection) {
            selected.emplace_back(path);
            array.items.push_back(&selected.back());
        }
        data.files = selection;
    }
    // The lines of the steps up to the browser's window, all succeeding.
    std::vector<std::wstring> EntryLines(long index, HWND top, int isForeground) {
        const std::wstring item_ = L"Item[" + std::to_wstring(index) + L"]: ";
        return {item_ + L"hr=0x00000000, pDisp=" + Ptr(item.dispatch()),
                item_ + L"QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=" + Ptr(static_cast<IWebBrowserApp*>(&item)),
                item_ + L"hSWWnd=" + Ptr(top) + L" (" + ClassOf(top) + L"), isForeground=" + std::to_wstring(isForeground),
                item_ + L"QueryInterface(IServiceProvider) hr=0x00000000, pSP=" + Ptr(item.provider()),
                item_ + L"QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=" +
                    Ptr(static_cast<IShellBrowser*>(&browser))};
    }
};

class ExplorerFakes : public ::testing::Test {
protected:
    void SetUp() override { redirect_.emplace(); }
    void TearDown() override { redirect_.reset(); }
    std::optional<TempDirRedirect> redirect_;
};

// ---------------------------------------------------------------------------------------------
// Which window wins.

enum class Tab { Visible, Hidden, TopItself, OtherClass };
constexpr int kOtherApp = -1, kNoForeground = -2, kTabOfFirst = -3;
constexpr int kNoTopHandle = -1;  // the entry's get_HWND fails

struct EntryPlan {
    int top;  // which top-level Explorer window the entry belongs to, or kNoTopHandle
    Tab tab;
    Paths selection;
    int isForeground, isTabActive;
    const wchar_t* verdict;
};

struct DetectCase {
    const char* name;
    int tops;        // top-level Explorer windows
    int foreground;  // one of them, or kOtherApp, kNoForeground, kTabOfFirst
    std::vector<EntryPlan> entries;
    Paths desktop;
    Paths images, pdfs;
    const wchar_t* answer;
};

const wchar_t* const kActive1 = L"SELECTED as activeTabResults (count=1)";
const wchar_t* const kFocused1 = L"SELECTED as focusedResults (count=1)";
const wchar_t* const kFallback1 = L"Saved as fallbackResults (count=1)";
const wchar_t* const kSkipped = L"SKIPPED";

const DetectCase kDetectCases[] = {
    {"VisibleTabWinsOverEarlierWindows", 2, 1,
     {{0, Tab::Visible, {L"C:\\a\\one.png"}, 0, 0, kFallback1},
      {1, Tab::Hidden, {L"C:\\b\\hidden.jpg"}, 1, 0, kFocused1},
      {1, Tab::Visible, {L"C:\\b\\x.png", L"C:\\b\\y.gif"}, 1, 1, L"SELECTED as activeTabResults (count=2)"},
      {1, Tab::Visible, {L"C:\\b\\late.png"}, 1, 1, kSkipped}},
     {L"C:\\desk\\d.png"}, {L"C:\\b\\x.png", L"C:\\b\\y.gif"}, {},
     L"DetectSelectedFiles returning activeTabResults (count=2)"},
    {"HiddenTabOfTheForegroundWindow", 1, 0,
     {{0, Tab::Visible, {L"C:\\a\\notes.txt"}, 1, 1, kSkipped}, {0, Tab::Hidden, {L"C:\\a\\h.jpeg"}, 1, 0, kFocused1}},
     {}, {L"C:\\a\\h.jpeg"}, {}, L"DetectSelectedFiles returning focusedResults (count=1)"},
    {"AnotherProgramInFront", 2, kOtherApp,
     {{0, Tab::Visible, {L"C:\\a\\a.doc"}, 0, 0, kSkipped},
      {1, Tab::Visible, {L"C:\\b\\b.png"}, 0, 0, kFallback1},
      {0, Tab::Hidden, {L"C:\\a\\c.png"}, 0, 0, kSkipped}},
     {L"C:\\desk\\d.png"}, {L"C:\\b\\b.png"}, {}, L"DetectSelectedFiles returning fallbackResults (count=1)"},
    {"OnlyNonImagesEverywhere", 2, 0,
     {{0, Tab::Visible, {L"C:\\a\\r.txt", L"C:\\a\\s.pdf"}, 1, 1, kSkipped},
      {1, Tab::Visible, {L"C:\\b\\t.docx"}, 0, 0, kSkipped}},
     {L"C:\\desk\\u.zip"}, {}, {L"C:\\a\\s.pdf"}, L"DetectSelectedFiles returning empty vector"},
    {"DesktopWhenNoWindowHasImages", 1, 0, {{0, Tab::Visible, {L"C:\\a\\a.txt"}, 1, 1, kSkipped}},
     {L"C:\\desk\\p.png", L"C:\\desk\\n.txt", L"C:\\desk\\q.JPG"}, {L"C:\\desk\\p.png", L"C:\\desk\\q.JPG"}, {},
     L"DetectSelectedFiles returning fallbackResults (count=2)"},
    {"NoExplorerWindow", 0, kOtherApp, {}, {L"C:\\desk\\d.webp"}, {L"C:\\desk\\d.webp"}, {},
     L"DetectSelectedFiles returning fallbackResults (count=1)"},
    {"NoExplorerWindowNoDesktopSelection", 0, kNoForeground, {}, {}, {}, {}, L"DetectSelectedFiles returning empty vector"},
    {"NullForegroundOnlyMatchesANullTopWindow", 1, kNoForeground,
     {{0, Tab::Visible, {L"C:\\a\\a.png"}, 0, 0, kFallback1},
      {kNoTopHandle, Tab::Visible, {L"C:\\n\\n.png"}, 1, 0, kFocused1}},
     {}, {L"C:\\n\\n.png"}, {}, L"DetectSelectedFiles returning focusedResults (count=1)"},
    {"MixedSelectionKeepsImagesInOrder", 1, 0,
     {{0, Tab::Visible,
       {L"C:\\m\\1.png", L"C:\\m\\2.txt", L"C:\\m\\3.JPG", L"C:\\m\\4.pdf", L"C:\\m\\5.webp", L"C:\\m\\6.tiff"}, 1, 1,
       L"SELECTED as activeTabResults (count=4)"}},
     {}, {L"C:\\m\\1.png", L"C:\\m\\3.JPG", L"C:\\m\\5.webp", L"C:\\m\\6.tiff"}, {L"C:\\m\\4.pdf"},
     L"DetectSelectedFiles returning activeTabResults (count=4)"},
    // The top-level class is registered as "cabinetwclass": only a comparison without case accepts it.
    {"ClassComparisonIgnoresCase", 1, 0, {{0, Tab::TopItself, {L"C:\\a\\a.png"}, 1, 1, kActive1}}, {}, {L"C:\\a\\a.png"},
     {}, L"DetectSelectedFiles returning activeTabResults (count=1)"},
    {"VisibleChildOfAnotherClassIsNoTab", 1, 0, {{0, Tab::OtherClass, {L"C:\\a\\a.png"}, 1, 0, kFocused1}}, {},
     {L"C:\\a\\a.png"}, {}, L"DetectSelectedFiles returning focusedResults (count=1)"},
    {"ForegroundInsideTheExplorerWindow", 1, kTabOfFirst, {{0, Tab::Visible, {L"C:\\a\\a.png"}, 1, 1, kActive1}}, {},
     {L"C:\\a\\a.png"}, {}, L"DetectSelectedFiles returning activeTabResults (count=1)"},
    {"TwoPdfsAndOneImage", 1, 0,
     {{0, Tab::Visible, {L"C:\\p\\a.pdf", L"C:\\p\\photo.jpg", L"C:\\p\\b.PDF"}, 1, 1, kActive1}}, {},
     {L"C:\\p\\photo.jpg"}, {L"C:\\p\\a.pdf", L"C:\\p\\b.PDF"}, L"DetectSelectedFiles returning activeTabResults (count=1)"},
    // The view and the file-drop list name the same two PDFs: each must be kept once.
    {"TwoPdfsOnly", 1, 0, {{0, Tab::Visible, {L"C:\\p\\a.pdf", L"C:\\p\\b.pdf"}, 1, 1, kSkipped}}, {}, {},
     {L"C:\\p\\a.pdf", L"C:\\p\\b.pdf"}, L"DetectSelectedFiles returning empty vector"},
};

void PrintTo(const DetectCase& c, std::ostream* os) { *os << c.name; }

size_t ExpectedRejections(const Paths& selection) {
    size_t images = 0;
    for (const std::wstring& p : selection) images += IsImageFile(p);
    // A selection without images is read twice: through the view and through the file-drop list.
    return (selection.size() - images) * (images ? 1 : 2);
}

class DetectPriorities : public ExplorerFakes, public ::testing::WithParamInterface<DetectCase> {};

TEST_P(DetectPriorities, ChoosesTheWindowAndLogsEveryStep) {
    const DetectCase& c = GetParam();
    fake::Windows windows;
    std::vector<HWND> tops;
    for (int i = 0; i < c.tops; ++i) tops.push_back(windows.Top());
    for (HWND top : tops) ASSERT_EQ(ClassOf(top), fake::kTopClass);
    HWND otherApp = windows.Top(fake::kOtherClass);

    fake::ShellWindows shell;
    std::deque<Entry> entries;
    std::vector<HWND> entryTops, entryTabs;
    for (const EntryPlan& plan : c.entries) {
        HWND parent = plan.top >= 0 ? tops[static_cast<size_t>(plan.top)] : windows.Top();
        HWND tab = plan.tab == Tab::TopItself
                       ? parent
                       : windows.Child(parent, plan.tab != Tab::Hidden,
                                       plan.tab == Tab::OtherClass ? fake::kOtherClass : fake::kTabClass);
        ASSERT_NE(tab, nullptr);
        entryTops.push_back(plan.top >= 0 ? parent : nullptr);
        entryTabs.push_back(tab);
        entries.emplace_back(entryTops.back(), tab, plan.selection);
        shell.items.push_back(&entries.back().item);
    }
    Entry desktop(nullptr, nullptr, c.desktop);
    shell.desktop = &desktop.item;

    HWND foreground = c.foreground >= 0              ? tops[static_cast<size_t>(c.foreground)]
                      : c.foreground == kOtherApp    ? otherApp
                      : c.foreground == kTabOfFirst ? entryTabs[0]
                                                     : nullptr;
    DetectedSelection found = DetectSelectedFilesFrom(foreground, &shell, S_OK);
    EXPECT_EQ(found.images, c.images);
    EXPECT_EQ(found.pdfs, c.pdfs);
    EXPECT_EQ(fake::UnbalancedFakes(), "");

    std::vector<std::wstring> expected = {
        L"DetectSelectedFiles: hForeground=" + Ptr(foreground) + L", Class=" + ClassOf(foreground),
        L"CoCreateInstance(CLSID_ShellWindows) hr=0x00000000, pSW=" + Ptr(static_cast<IShellWindows*>(&shell)),
        L"IShellWindows count=" + std::to_wstring(c.entries.size())};
    size_t rejections = 0;
    bool anyImage = false;
    for (size_t i = 0; i < c.entries.size(); ++i) {
        const EntryPlan& plan = c.entries[i];
        const long index = static_cast<long>(i);
        for (std::wstring& line : entries[i].EntryLines(index, entryTops[i], plan.isForeground))
            expected.push_back(std::move(line));
        const int visible = plan.tab == Tab::Hidden ? 0 : 1;
        expected.push_back(L"Item[" + std::to_wstring(index) + L"]: hTabWnd=" + Ptr(entryTabs[i]) + L" (" +
                           ClassOf(entryTabs[i]) + L"), isTabActive=" + std::to_wstring(plan.isTabActive) +
                           L", IsVisible=" + std::to_wstring(visible));
        expected.push_back(L"Item[" + std::to_wstring(index) + L"]: " + plan.verdict);
        rejections += ExpectedRejections(plan.selection);
        for (const std::wstring& p : plan.selection) anyImage = anyImage || IsImageFile(p);
    }
    if (!anyImage) {
        expected.push_back(L"FindWindowSW(SWC_DESKTOP) hr=0x00000000, pDispDesktop=" + Ptr(desktop.item.dispatch()));
        rejections += ExpectedRejections(c.desktop);
    }
    expected.push_back(c.answer);

    const std::vector<std::wstring> log = LogLines();
    ExpectInOrder(log, expected);
    EXPECT_EQ(CountStarting(log, L"    Rejected non-image: "), rejections) << Dump(log);
    EXPECT_EQ(CountStarting(log, L"DetectSelectedFiles returning"), 1u);
    // The desktop is asked only when no window gave an image, and is never combined with one.
    EXPECT_EQ(CountStarting(log, L"FindWindowSW(SWC_DESKTOP)"), anyImage ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, DetectPriorities, ::testing::ValuesIn(kDetectCases),
                         [](const ::testing::TestParamInfo<DetectCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// A failing step of one window ends that window after its line; the scan goes on with the next.

struct WindowFailCase {
    const char* name;
    std::function<void(Entry&)> breakIt;
    const wchar_t* lastLine;  // the first window's last line (null pointers print as zeros)
    bool windowEnds;          // false: the window is still read and placed
};

const std::wstring kNull = Ptr(nullptr);

const WindowFailCase kWindowFailCases[] = {
    {"ItemFails", [](Entry& e) { e.item.item = {E_FAIL}; }, L"Item[0]: hr=0x80004005, pDisp=0000000000000000", true},
    {"ItemNull", [](Entry& e) { e.item.item = {S_OK, true}; }, L"Item[0]: hr=0x00000000, pDisp=0000000000000000", true},
    {"NoBrowserApp", [](Entry& e) { e.item.browserApp = {E_NOINTERFACE}; },
     L"Item[0]: QueryInterface(IWebBrowserApp) hr=0x80004002, pWBA=0000000000000000", true},
    {"BrowserAppNull", [](Entry& e) { e.item.browserApp = {S_OK, true}; },
     L"Item[0]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000000", true},
    {"NoServiceProvider", [](Entry& e) { e.item.serviceProvider = {E_NOINTERFACE}; },
     L"Item[0]: QueryInterface(IServiceProvider) hr=0x80004002, pSP=0000000000000000", true},
    {"ServiceProviderNull", [](Entry& e) { e.item.serviceProvider = {S_OK, true}; },
     L"Item[0]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000000", true},
    {"NoTopLevelBrowser", [](Entry& e) { e.item.topLevelBrowser = {E_FAIL}; },
     L"Item[0]: QueryService(SID_STopLevelBrowser) hr=0x80004005, pSB=0000000000000000", true},
    {"TopLevelBrowserNull", [](Entry& e) { e.item.topLevelBrowser = {S_OK, true}; },
     L"Item[0]: QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=0000000000000000", true},
    // Reading the browser's window has no line of its own: the handle just stays null.
    {"NoOleWindow", [](Entry& e) { e.browser.oleWindow = {E_NOINTERFACE}; },
     L"Item[0]: hTabWnd=0000000000000000 (), isTabActive=0, IsVisible=0", false},
    {"GetWindowFails", [](Entry& e) { e.browser.window = nullptr; },
     L"Item[0]: hTabWnd=0000000000000000 (), isTabActive=0, IsVisible=0", false},
};

void PrintTo(const WindowFailCase& c, std::ostream* os) { *os << c.name; }

class WindowFailures : public ExplorerFakes, public ::testing::WithParamInterface<WindowFailCase> {};

TEST_P(WindowFailures, EndOnlyThatWindow) {
    const WindowFailCase& c = GetParam();
    fake::Windows windows;
    HWND topA = windows.Top(), topB = windows.Top();
    HWND otherApp = windows.Top(fake::kOtherClass);
    fake::ShellWindows shell;
    Entry first(topA, windows.Child(topA, true), {L"C:\\a\\first.png"});
    Entry second(topB, windows.Child(topB, true), {L"C:\\b\\second.png"});
    shell.items = {&first.item, &second.item};
    c.breakIt(first);

    DetectedSelection found = DetectSelectedFilesFrom(otherApp, &shell, S_OK);
    EXPECT_EQ(fake::UnbalancedFakes(), "");
    const std::vector<std::wstring> log = LogLines();
    const std::wstring nextWindow = L"Item[1]: hr=0x00000000, pDisp=" + Ptr(second.item.dispatch());
    std::vector<size_t> at = ExpectInOrder(log, {c.lastLine, nextWindow});
    if (c.windowEnds) {
        EXPECT_EQ(found.images, Paths{L"C:\\b\\second.png"});
        ASSERT_EQ(at.size(), 2u);
        EXPECT_EQ(at[1], at[0] + 1) << "no further line for the failed window\n" << Dump(log);
        ExpectInOrder(log, {L"Item[1]: Saved as fallbackResults (count=1)",
                            L"DetectSelectedFiles returning fallbackResults (count=1)"});
    } else {
        EXPECT_EQ(found.images, Paths{L"C:\\a\\first.png"});
        ExpectInOrder(log, {c.lastLine, L"Item[0]: Saved as fallbackResults (count=1)", L"Item[1]: SKIPPED"});
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowFailures, ::testing::ValuesIn(kWindowFailCases),
                         [](const ::testing::TestParamInfo<WindowFailCase>& info) { return std::string(info.param.name); });

TEST_F(ExplorerFakes, FailedCreationReturnsEmpty) {
    for (HRESULT hr : {REGDB_E_CLASSNOTREG, S_OK}) {
        TempDirRedirect ownLog;
        DetectedSelection found = DetectSelectedFilesFrom(nullptr, nullptr, hr);
        EXPECT_TRUE(found.images.empty());
        EXPECT_TRUE(found.pdfs.empty());
        wchar_t status[16];
        swprintf(status, 16, L"0x%08X", static_cast<unsigned>(hr));
        EXPECT_EQ(LogLines(), (std::vector<std::wstring>{
                                  L"DetectSelectedFiles: hForeground=0000000000000000, Class=",
                                  L"CoCreateInstance(CLSID_ShellWindows) hr=" + std::wstring(status) + L", pSW=" + kNull,
                                  L"DetectSelectedFiles returning empty vector"}));
    }
}

TEST_F(ExplorerFakes, FailingDesktopStepsGiveEmpty) {
    struct Row {
        std::function<void(fake::ShellWindows&, Entry&)> breakIt;
        const wchar_t* findLine;  // null: the desktop is found
    };
    const Row rows[] = {
        {[](fake::ShellWindows& s, Entry&) { s.findDesktop = {E_FAIL}; },
         L"FindWindowSW(SWC_DESKTOP) hr=0x80004005, pDispDesktop=0000000000000000"},
        {[](fake::ShellWindows& s, Entry&) { s.findDesktop = {S_OK, true}; },
         L"FindWindowSW(SWC_DESKTOP) hr=0x00000000, pDispDesktop=0000000000000000"},
        {[](fake::ShellWindows& s, Entry&) { s.desktop = nullptr; },
         L"FindWindowSW(SWC_DESKTOP) hr=0x00000001, pDispDesktop=0000000000000000"},
        {[](fake::ShellWindows&, Entry& d) { d.item.serviceProvider = {E_NOINTERFACE}; }, nullptr},
        {[](fake::ShellWindows&, Entry& d) { d.item.topLevelBrowser = {S_OK, true}; }, nullptr},
    };
    for (const Row& row : rows) {
        TempDirRedirect ownLog;
        fake::ShellWindows shell;
        Entry desktop(nullptr, nullptr, {L"C:\\desk\\d.png"});
        shell.desktop = &desktop.item;
        row.breakIt(shell, desktop);
        DetectedSelection found = DetectSelectedFilesFrom(nullptr, &shell, S_OK);
        EXPECT_TRUE(found.images.empty());
        EXPECT_EQ(fake::UnbalancedFakes(), "");
        const std::wstring findLine =
            row.findLine ? row.findLine
                         : L"FindWindowSW(SWC_DESKTOP) hr=0x00000000, pDispDesktop=" + Ptr(desktop.item.dispatch());
        const std::vector<std::wstring> log = LogLines();
        ASSERT_GE(log.size(), 3u) << Dump(log);
        // The desktop's own service and browser queries leave no line.
        EXPECT_EQ(std::vector<std::wstring>(log.begin() + 3, log.end()),
                  (std::vector<std::wstring>{findLine, L"DetectSelectedFiles returning empty vector"}))
            << Dump(log);
    }
}

// ---------------------------------------------------------------------------------------------
// One view's selection, line by line. The view selects a.png, notes.txt and c.jpg; its file-drop
// list names d.png and e.doc, so each answer shows which way it was read.

struct ViewCase {
    const char* name;
    std::function<void(Entry&)> breakIt;
    std::vector<std::wstring> lines;  // $SV $FV $IT $DO: the fakes' pointers; $0: null
    Paths images;
};

const wchar_t kView[] = L"  pSB->QueryActiveShellView hr=0x00000000, pSV=$SV";
const wchar_t kFolder[] = L"  pSV->QueryInterface(IFolderView2) hr=0x00000000, pFV2=$FV";
const wchar_t kItems[] = L"  pFV2->Items(SVGIO_SELECTION) hr=0x00000000, pItems=$IT";
const wchar_t kCount3[] = L"  IFolderView2 raw selected count=3";
const wchar_t kAcceptA[] = L"    Accepted image: C:\\v\\a.png";
const wchar_t kRejectNotes[] = L"    Rejected non-image: C:\\v\\notes.txt";
const wchar_t kAcceptC[] = L"    Accepted image: C:\\v\\c.jpg";
const wchar_t kFallback[] = L"  IFolderView2 yielded 0 files. Falling back to CF_HDROP...";
const wchar_t kItemObject[] = L"  pSV->GetItemObject(SVGIO_SELECTION) hr=0x00000000, pDO=$DO";
const wchar_t kGetData[] = L"  ExtractFromDataObject: pDO->GetData hr=0x00000000";
const wchar_t kDropCount[] = L"  ExtractFromDataObject: CF_HDROP raw item count=2";
const wchar_t kAcceptD[] = L"    Accepted image: C:\\d\\d.png";
const wchar_t kRejectE[] = L"    Rejected non-image: C:\\d\\e.doc";
const Paths kFromView = {L"C:\\v\\a.png", L"C:\\v\\c.jpg"};
const Paths kFromDrop = {L"C:\\d\\d.png"};

void NoFolderView(Entry& e) { e.view.folderViewQuery = {E_NOINTERFACE}; }

const ViewCase kViewCases[] = {
    {"AllSucceed", [](Entry&) {}, {kView, kFolder, kItems, kCount3, kAcceptA, kRejectNotes, kAcceptC}, kFromView},
    {"NoActiveView", [](Entry& e) { e.browser.activeView = {E_FAIL}; },
     {L"  pSB->QueryActiveShellView hr=0x80004005, pSV=$0"}, {}},
    {"ActiveViewNull", [](Entry& e) { e.browser.activeView = {S_OK, true}; },
     {L"  pSB->QueryActiveShellView hr=0x00000000, pSV=$0"}, {}},
    {"NoFolderView", NoFolderView,
     {kView, L"  pSV->QueryInterface(IFolderView2) hr=0x80004002, pFV2=$0", kFallback, kItemObject, kGetData, kDropCount,
      kAcceptD, kRejectE},
     kFromDrop},
    {"FolderViewNull", [](Entry& e) { e.view.folderViewQuery = {S_OK, true}; },
     {kView, L"  pSV->QueryInterface(IFolderView2) hr=0x00000000, pFV2=$0", kFallback, kItemObject, kGetData, kDropCount,
      kAcceptD, kRejectE},
     kFromDrop},
    {"ItemsFail", [](Entry& e) { e.folderView.items = {E_FAIL}; },
     {kView, kFolder, L"  pFV2->Items(SVGIO_SELECTION) hr=0x80004005, pItems=$0", kFallback, kItemObject, kGetData,
      kDropCount, kAcceptD, kRejectE},
     kFromDrop},
    {"ItemsNull", [](Entry& e) { e.folderView.items = {S_OK, true}; },
     {kView, kFolder, L"  pFV2->Items(SVGIO_SELECTION) hr=0x00000000, pItems=$0", kFallback, kItemObject, kGetData,
      kDropCount, kAcceptD, kRejectE},
     kFromDrop},
    {"CountFails", [](Entry& e) { e.array.count = {E_FAIL}; },
     {kView, kFolder, kItems, L"  IFolderView2 raw selected count=0", kFallback, kItemObject, kGetData, kDropCount,
      kAcceptD, kRejectE},
     kFromDrop},
    {"ItemAtFailsOrGivesNull",
     [](Entry& e) {
         e.selected[0].at = {E_FAIL};
         e.selected[2].at = {S_OK, true};
     },
     {kView, kFolder, kItems, kCount3, kRejectNotes, kFallback, kItemObject, kGetData, kDropCount, kAcceptD, kRejectE},
     kFromDrop},
    {"VirtualItemsAreSkippedSilently",
     [](Entry& e) {
         e.selected[0].displayName = {E_INVALIDARG};
         e.selected[1].displayName = {S_OK, true};
     },
     {kView, kFolder, kItems, kCount3, kAcceptC}, {L"C:\\v\\c.jpg"}},
    {"NoDataObject",
     [](Entry& e) {
         NoFolderView(e);
         e.view.itemObject = {E_FAIL};
     },
     {kView, L"  pSV->QueryInterface(IFolderView2) hr=0x80004002, pFV2=$0", kFallback,
      L"  pSV->GetItemObject(SVGIO_SELECTION) hr=0x80004005, pDO=$0"},
     {}},
    {"DataObjectNull",
     [](Entry& e) {
         NoFolderView(e);
         e.view.itemObject = {S_OK, true};
     },
     {kView, L"  pSV->QueryInterface(IFolderView2) hr=0x80004002, pFV2=$0", kFallback,
      L"  pSV->GetItemObject(SVGIO_SELECTION) hr=0x00000000, pDO=$0"},
     {}},
    {"GetDataFails",
     [](Entry& e) {
         NoFolderView(e);
         e.data.data = {DV_E_FORMATETC};
     },
     {kView, L"  pSV->QueryInterface(IFolderView2) hr=0x80004002, pFV2=$0", kFallback, kItemObject,
      L"  ExtractFromDataObject: pDO->GetData hr=0x80040064"},
     {}},
    {"MediumWithoutMemory",
     [](Entry& e) {
         NoFolderView(e);
         e.data.data = {S_OK, true};
     },
     {kView, L"  pSV->QueryInterface(IFolderView2) hr=0x80004002, pFV2=$0", kFallback, kItemObject, kGetData}, {}},
};

std::wstring Expand(std::wstring line, Entry& e) {
    const std::pair<const wchar_t*, std::wstring> tokens[] = {
        {L"$SV", Ptr(static_cast<IShellView*>(&e.view))},
        {L"$FV", Ptr(static_cast<IFolderView2*>(&e.folderView))},
        {L"$IT", Ptr(static_cast<IShellItemArray*>(&e.array))},
        {L"$DO", Ptr(static_cast<IDataObject*>(&e.data))},
        {L"$0", kNull}};
    for (const auto& [token, value] : tokens)
        if (size_t at = line.find(token); at != std::wstring::npos) line.replace(at, wcslen(token), value);
    return line;
}

void PrintTo(const ViewCase& c, std::ostream* os) { *os << c.name; }

class ViewSelection : public ExplorerFakes, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(ViewSelection, LogsEveryStepAndReleasesEverything) {
    const ViewCase& c = GetParam();
    Entry e(nullptr, nullptr, {L"C:\\v\\a.png", L"C:\\v\\notes.txt", L"C:\\v\\c.jpg"});
    e.data.files = {L"C:\\d\\d.png", L"C:\\d\\e.doc"};
    c.breakIt(e);

    Paths list;
    CollectViewSelection(&e.browser, list);
    EXPECT_EQ(list, c.images);
    // Covers the medium too: its owner's count is back only when the medium was released.
    EXPECT_EQ(fake::UnbalancedFakes(), "");
    std::vector<std::wstring> expected;
    for (const std::wstring& line : c.lines) expected.push_back(Expand(line, e));
    EXPECT_EQ(LogLines(), expected) << Dump(LogLines());

    for (const fake::ShellItem& item : e.selected) {
        if (item.askedFor != 0) {
            EXPECT_EQ(item.askedFor, SIGDN_FILESYSPATH);
        }
    }
    if (e.data.asked.cfFormat != 0) {
        EXPECT_EQ(e.data.asked.cfFormat, CF_HDROP);
        EXPECT_EQ(e.data.asked.ptd, nullptr);
        EXPECT_EQ(e.data.asked.dwAspect, static_cast<DWORD>(DVASPECT_CONTENT));
        EXPECT_EQ(e.data.asked.lindex, -1);
        EXPECT_EQ(e.data.asked.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ViewSelection, ::testing::ValuesIn(kViewCases),
                         [](const ::testing::TestParamInfo<ViewCase>& info) { return std::string(info.param.name); });

TEST_F(ExplorerFakes, NullBrowserAndNullDataObjectDoNothing) {
    Paths list = {L"C:\\keep.png"};
    CollectViewSelection(nullptr, list);
    ExtractFromDataObject(nullptr, list);
    EXPECT_EQ(list, Paths{L"C:\\keep.png"});
    EXPECT_TRUE(LogLines().empty()) << Dump(LogLines());
}

// The caller frees the memory the medium carries, appends after what the list held, and splits
// images from PDFs.
TEST_F(ExplorerFakes, DropListMemoryIsFreedAndPdfsKeptApart) {
    fake::DataObject data;
    data.ownerKeepsMemory = false;
    data.files = {L"C:\\x\\x.pdf", L"C:\\x\\a.png", L"C:\\x\\y.PDF", L"C:\\x\\b.GIF", L"C:\\x\\readme"};
    Paths list = {L"C:\\keep.png"}, pdfs;
    ExtractFromDataObject(&data, list, &pdfs);
    EXPECT_EQ(list, (Paths{L"C:\\keep.png", L"C:\\x\\a.png", L"C:\\x\\b.GIF"}));
    EXPECT_EQ(pdfs, (Paths{L"C:\\x\\x.pdf", L"C:\\x\\y.PDF"}));
    ASSERT_NE(data.lastMemory, nullptr);
    EXPECT_EQ(GlobalFlags(data.lastMemory), static_cast<UINT>(GMEM_INVALID_HANDLE)) << "medium memory not freed";
    EXPECT_EQ(fake::UnbalancedFakes(), "");
    ExpectInOrder(LogLines(), {L"  ExtractFromDataObject: pDO->GetData hr=0x00000000",
                               L"  ExtractFromDataObject: CF_HDROP raw item count=5", L"    Accepted image: C:\\x\\a.png",
                               L"    Accepted image: C:\\x\\b.GIF", L"    Rejected non-image: C:\\x\\readme"});
}

}  // namespace
