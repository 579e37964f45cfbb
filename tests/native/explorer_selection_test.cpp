// Which Explorer window's selection wins, on recorded window lists, with every line of the log.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "targets/explorer_selection.h"

namespace {

using Paths = std::vector<std::wstring>;
using Lines = std::vector<std::wstring>;

struct Window {
    std::wstring cls;
    bool visible = true;
    uintptr_t parent = 0;
};

// The desktop as the test's window manager sees it: two Explorer windows, the first with a visible and a
// hidden tab and a control inside the visible tab, and a program of another kind.
const std::map<uintptr_t, Window> kWindows = {
    {0x100, {L"CabinetWClass"}},
    {0x110, {L"ShellTabWindowClass", true, 0x100}},
    {0x115, {L"DirectUIHWND", true, 0x110}},
    {0x120, {L"ShellTabWindowClass", false, 0x100}},
    {0x200, {L"CabinetWClass"}},
    {0x210, {L"ShellTabWindowClass", true, 0x200}},
    {0x300, {L"Notepad"}},
    {0x400, {L"CABINETWCLASS"}},
    {0x500, {L"CabinetWClass"}},
    {0x510, {L"shelltabwindowclass", true, 0x500}},
    {0x520, {L"DirectUIHWND", true, 0x500}},
};

struct Entry {
    ShellEntry facts;
    bool hasView = true;
    Paths view, drop;
};

// An entry whose every step succeeds; its pointers are derived from its tab window so they read apart.
Entry Explorer(uintptr_t hSW, uintptr_t hTab, Paths view, Paths drop = {}) {
    Entry e;
    e.facts = {0, hTab + 1, 0, hTab + 2, hSW, 0, hTab + 3, 0, hTab + 4, hTab};
    e.view = std::move(view);
    e.drop = std::move(drop);
    return e;
}

struct Scene {
    std::vector<Entry> entries;
    DesktopLookup desktop = {0, 0xDE5};
    Paths desktopView, desktopDrop;
    uint32_t createHr = 0;
    uintptr_t shellWindows = 0x5E;
};

struct Outcome {
    SelectedFiles files;
    std::string log;
};

SelectionReader Reader(const Entry& e) {
    SelectionReader r;
    r.viewPaths = [&e](Paths& paths) {
        paths = e.view;
        return e.hasView;
    };
    r.dropPaths = [&e](Paths& paths) { paths = e.drop; };
    return r;
}

Outcome Detect(const Scene& scene, uintptr_t hForeground) {
    Lines lines;
    SelectionLog log = [&](const std::wstring& line) { lines.push_back(line); };
    long current = -1;
    Entry desktop;
    desktop.view = scene.desktopView;
    desktop.drop = scene.desktopDrop;

    ShellAccess shell;
    shell.createShellWindows = [&] { return ShellObject{scene.createHr, scene.shellWindows}; };
    shell.count = [&] { return static_cast<long>(scene.entries.size()); };
    shell.readEntry = [&](long i) {
        current = i;
        return scene.entries[static_cast<size_t>(i)].facts;
    };
    shell.collectEntry = [&](Paths& images, Paths& pdfs) {
        CollectSelection(Reader(scene.entries[static_cast<size_t>(current)]), images, &pdfs, log);
    };
    shell.findDesktop = [&] { return scene.desktop; };
    shell.collectDesktop = [&](Paths& images, Paths& pdfs) { CollectSelection(Reader(desktop), images, &pdfs, log); };
    shell.className = [](uintptr_t h) { return kWindows.count(h) ? kWindows.at(h).cls : std::wstring(); };
    shell.isVisible = [](uintptr_t h) { return kWindows.count(h) && kWindows.at(h).visible; };
    shell.isChild = [](uintptr_t parent, uintptr_t h) {
        for (auto it = kWindows.find(h); it != kWindows.end() && it->second.parent; it = kWindows.find(it->second.parent))
            if (it->second.parent == parent) return true;
        return false;
    };
    Outcome out;
    out.files = DetectSelection(shell, hForeground, log);
    for (const std::wstring& l : lines) out.log += WideToUtf8(l) + "\n";
    return out;
}

std::string Join(const Lines& lines) {
    std::string s;
    for (const std::wstring& l : lines) s += WideToUtf8(l) + "\n";
    return s;
}

struct Case {
    const char* name;
    Scene scene;
    uintptr_t hForeground;
    Paths images, pdfs;
    Lines log;
};

}  // namespace

TEST(ExplorerSelection, PrioritiesAndTheirLogLines) {
    const Case cases[] = {
        {"the visible tab of the foreground window wins over an earlier window (foreground is a control inside it)",
         {{Explorer(0x200, 0x210, {L"C:\\b\\x.png"}), Explorer(0x100, 0x110, {L"C:\\a\\1.jpg", L"C:\\a\\2.PNG"})}},
         0x115,
         {L"C:\\a\\1.jpg", L"C:\\a\\2.PNG"},
         {},
         {L"DetectSelectedFiles: hForeground=0000000000000115, Class=DirectUIHWND",
          L"CoCreateInstance(CLSID_ShellWindows) hr=0x00000000, pSW=000000000000005E",
          L"IShellWindows count=2",
          L"Item[0]: hr=0x00000000, pDisp=0000000000000211",
          L"Item[0]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000212",
          L"Item[0]: hSWWnd=0000000000000200 (CabinetWClass), isForeground=0",
          L"Item[0]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000213",
          L"Item[0]: QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=0000000000000214",
          L"Item[0]: hTabWnd=0000000000000210 (ShellTabWindowClass), isTabActive=0, IsVisible=1",
          L"    Accepted image: C:\\b\\x.png",
          L"Item[0]: Saved as fallbackResults (count=1)",
          L"Item[1]: hr=0x00000000, pDisp=0000000000000111",
          L"Item[1]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000112",
          L"Item[1]: hSWWnd=0000000000000100 (CabinetWClass), isForeground=1",
          L"Item[1]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000113",
          L"Item[1]: QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=0000000000000114",
          L"Item[1]: hTabWnd=0000000000000110 (ShellTabWindowClass), isTabActive=1, IsVisible=1",
          L"    Accepted image: C:\\a\\1.jpg",
          L"    Accepted image: C:\\a\\2.PNG",
          L"Item[1]: SELECTED as activeTabResults (count=2)",
          L"DetectSelectedFiles returning activeTabResults (count=2)"}},

        {"a hidden tab of the foreground window, behind a visible tab with no image, is focusedResults",
         {{Explorer(0x100, 0x110, {L"C:\\a\\doc.txt"}, {L"C:\\a\\doc.txt"}), Explorer(0x100, 0x120, {L"C:\\a\\h.gif"}),
           Explorer(0x200, 0x210, {L"C:\\b\\x.png"})}},
         0x100,
         {L"C:\\a\\h.gif"},
         {},
         {L"DetectSelectedFiles: hForeground=0000000000000100, Class=CabinetWClass",
          L"CoCreateInstance(CLSID_ShellWindows) hr=0x00000000, pSW=000000000000005E",
          L"IShellWindows count=3",
          L"Item[0]: hr=0x00000000, pDisp=0000000000000111",
          L"Item[0]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000112",
          L"Item[0]: hSWWnd=0000000000000100 (CabinetWClass), isForeground=1",
          L"Item[0]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000113",
          L"Item[0]: QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=0000000000000114",
          L"Item[0]: hTabWnd=0000000000000110 (ShellTabWindowClass), isTabActive=1, IsVisible=1",
          L"    Rejected non-image: C:\\a\\doc.txt",
          L"  IFolderView2 yielded 0 files. Falling back to CF_HDROP...",
          L"    Rejected non-image: C:\\a\\doc.txt",
          L"Item[0]: SKIPPED",
          L"Item[1]: hr=0x00000000, pDisp=0000000000000121",
          L"Item[1]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000122",
          L"Item[1]: hSWWnd=0000000000000100 (CabinetWClass), isForeground=1",
          L"Item[1]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000123",
          L"Item[1]: QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=0000000000000124",
          L"Item[1]: hTabWnd=0000000000000120 (ShellTabWindowClass), isTabActive=0, IsVisible=0",
          L"    Accepted image: C:\\a\\h.gif",
          L"Item[1]: SELECTED as focusedResults (count=1)",
          L"Item[2]: hr=0x00000000, pDisp=0000000000000211",
          L"Item[2]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000212",
          L"Item[2]: hSWWnd=0000000000000200 (CabinetWClass), isForeground=0",
          L"Item[2]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000213",
          L"Item[2]: QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=0000000000000214",
          L"Item[2]: hTabWnd=0000000000000210 (ShellTabWindowClass), isTabActive=0, IsVisible=1",
          L"    Accepted image: C:\\b\\x.png",
          L"Item[2]: Saved as fallbackResults (count=1)",
          L"DetectSelectedFiles returning focusedResults (count=1)"}},

        {"another program in front: the first window with images, found through the drop list, keeps them in order",
         {{Explorer(0x100, 0x110, {}, {}), Explorer(0x200, 0x210, {}, {L"C:\\b\\1.PNG", L"C:\\b\\n.txt", L"C:\\b\\2.jpeg"}),
           Explorer(0x100, 0x120, {L"C:\\a\\z.bmp"})}},
         0x300,
         {L"C:\\b\\1.PNG", L"C:\\b\\2.jpeg"},
         {},
         {L"DetectSelectedFiles: hForeground=0000000000000300, Class=Notepad",
          L"CoCreateInstance(CLSID_ShellWindows) hr=0x00000000, pSW=000000000000005E",
          L"IShellWindows count=3",
          L"Item[0]: hr=0x00000000, pDisp=0000000000000111",
          L"Item[0]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000112",
          L"Item[0]: hSWWnd=0000000000000100 (CabinetWClass), isForeground=0",
          L"Item[0]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000113",
          L"Item[0]: QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=0000000000000114",
          L"Item[0]: hTabWnd=0000000000000110 (ShellTabWindowClass), isTabActive=0, IsVisible=1",
          L"  IFolderView2 yielded 0 files. Falling back to CF_HDROP...",
          L"Item[0]: SKIPPED",
          L"Item[1]: hr=0x00000000, pDisp=0000000000000211",
          L"Item[1]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000212",
          L"Item[1]: hSWWnd=0000000000000200 (CabinetWClass), isForeground=0",
          L"Item[1]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000213",
          L"Item[1]: QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=0000000000000214",
          L"Item[1]: hTabWnd=0000000000000210 (ShellTabWindowClass), isTabActive=0, IsVisible=1",
          L"  IFolderView2 yielded 0 files. Falling back to CF_HDROP...",
          L"    Accepted image: C:\\b\\1.PNG",
          L"    Rejected non-image: C:\\b\\n.txt",
          L"    Accepted image: C:\\b\\2.jpeg",
          L"Item[1]: Saved as fallbackResults (count=2)",
          L"Item[2]: hr=0x00000000, pDisp=0000000000000121",
          L"Item[2]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000122",
          L"Item[2]: hSWWnd=0000000000000100 (CabinetWClass), isForeground=0",
          L"Item[2]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000123",
          L"Item[2]: QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=0000000000000124",
          L"Item[2]: hTabWnd=0000000000000120 (ShellTabWindowClass), isTabActive=0, IsVisible=0",
          L"    Accepted image: C:\\a\\z.bmp",
          L"Item[2]: SKIPPED",
          L"DetectSelectedFiles returning fallbackResults (count=2)"}},

        {"only non-image files in windows: the desktop is consulted and has none either",
         {{Explorer(0x200, 0x210, {L"C:\\b\\a.txt"}, {L"C:\\b\\a.txt"})}, {0, 0xDE5}, {L"C:\\D\\x.doc"}, {L"C:\\D\\x.doc"}},
         0x300,
         {},
         {},
         {L"DetectSelectedFiles: hForeground=0000000000000300, Class=Notepad",
          L"CoCreateInstance(CLSID_ShellWindows) hr=0x00000000, pSW=000000000000005E",
          L"IShellWindows count=1",
          L"Item[0]: hr=0x00000000, pDisp=0000000000000211",
          L"Item[0]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000212",
          L"Item[0]: hSWWnd=0000000000000200 (CabinetWClass), isForeground=0",
          L"Item[0]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000213",
          L"Item[0]: QueryService(SID_STopLevelBrowser) hr=0x00000000, pSB=0000000000000214",
          L"Item[0]: hTabWnd=0000000000000210 (ShellTabWindowClass), isTabActive=0, IsVisible=1",
          L"    Rejected non-image: C:\\b\\a.txt",
          L"  IFolderView2 yielded 0 files. Falling back to CF_HDROP...",
          L"    Rejected non-image: C:\\b\\a.txt",
          L"Item[0]: SKIPPED",
          L"FindWindowSW(SWC_DESKTOP) hr=0x00000000, pDispDesktop=0000000000000DE5",
          L"    Rejected non-image: C:\\D\\x.doc",
          L"  IFolderView2 yielded 0 files. Falling back to CF_HDROP...",
          L"    Rejected non-image: C:\\D\\x.doc",
          L"DetectSelectedFiles returning empty vector"}},

        {"no Explorer window: the desktop's images",
         {{}, {0, 0xDE5}, {L"C:\\D\\p.webp"}},
         0x300,
         {L"C:\\D\\p.webp"},
         {},
         {L"DetectSelectedFiles: hForeground=0000000000000300, Class=Notepad",
          L"CoCreateInstance(CLSID_ShellWindows) hr=0x00000000, pSW=000000000000005E",
          L"IShellWindows count=0",
          L"FindWindowSW(SWC_DESKTOP) hr=0x00000000, pDispDesktop=0000000000000DE5",
          L"    Accepted image: C:\\D\\p.webp",
          L"DetectSelectedFiles returning fallbackResults (count=1)"}},

        {"no Explorer window and no desktop",
         {{}, {0x80004005, 0}, {L"C:\\D\\p.webp"}},
         0x300,
         {},
         {},
         {L"DetectSelectedFiles: hForeground=0000000000000300, Class=Notepad",
          L"CoCreateInstance(CLSID_ShellWindows) hr=0x00000000, pSW=000000000000005E",
          L"IShellWindows count=0",
          L"FindWindowSW(SWC_DESKTOP) hr=0x80004005, pDispDesktop=0000000000000000",
          L"DetectSelectedFiles returning empty vector"}},

        {"the shell-windows object cannot be created", {{}, {0, 0xDE5}, {L"C:\\D\\p.webp"}, {}, 0x80040154, 0}, 0x100, {}, {},
         {L"DetectSelectedFiles: hForeground=0000000000000100, Class=CabinetWClass",
          L"CoCreateInstance(CLSID_ShellWindows) hr=0x80040154, pSW=0000000000000000",
          L"DetectSelectedFiles returning empty vector"}},
    };
    for (const Case& c : cases) {
        Outcome out = Detect(c.scene, c.hForeground);
        EXPECT_EQ(out.files.images, c.images) << c.name;
        EXPECT_EQ(out.files.pdfs, c.pdfs) << c.name;
        EXPECT_EQ(out.log, Join(c.log)) << c.name;
    }
}

TEST(ExplorerSelection, ForegroundRulesAndClassNames) {
    // Without a foreground window nothing is tab-active and only an entry without a window is foreground.
    Entry noWindow = Explorer(0, 0x120, {L"C:\\n\\y.avif"});
    Outcome out = Detect({{Explorer(0x100, 0x110, {L"C:\\a\\x.png"}), noWindow}}, 0);
    EXPECT_EQ(out.files.images, Paths{L"C:\\n\\y.avif"});
    EXPECT_NE(out.log.find("DetectSelectedFiles: hForeground=0000000000000000, Class=\n"), std::string::npos) << out.log;
    EXPECT_NE(out.log.find("Item[0]: hTabWnd=0000000000000110 (ShellTabWindowClass), isTabActive=0, IsVisible=1\n"
                           "    Accepted image: C:\\a\\x.png\n"
                           "Item[0]: Saved as fallbackResults (count=1)\n"),
              std::string::npos)
        << out.log;
    EXPECT_NE(out.log.find("Item[1]: hSWWnd=0000000000000000 (), isForeground=1\n"), std::string::npos) << out.log;
    EXPECT_NE(out.log.find("Item[1]: SELECTED as focusedResults (count=1)\n"), std::string::npos) << out.log;

    // Class names in any letter case count; a visible related window of another class does not. The
    // browser window may be the top-level window itself.
    const struct {
        uintptr_t hSW, hTab, foreground;
        bool tabActive;
    } classes[] = {
        {0x500, 0x510, 0x500, true},   // "shelltabwindowclass"
        {0x400, 0x400, 0x400, true},   // "CABINETWCLASS", tab window = top-level window
        {0x500, 0x520, 0x500, false},  // "DirectUIHWND"
        {0x500, 0x510, 0x510, true},   // foreground is the tab itself
        {0x200, 0x210, 0x100, false},  // unrelated window
    };
    for (const auto& c : classes) {
        Outcome o = Detect({{Explorer(c.hSW, c.hTab, {L"C:\\c\\a.tif"})}}, c.foreground);
        EXPECT_EQ(o.log.find("isTabActive=1") != std::string::npos, c.tabActive) << o.log;
        EXPECT_EQ(o.files.images, Paths{L"C:\\c\\a.tif"});
    }
}

TEST(ExplorerSelection, AFailedStepEndsItsEntryAfterItsLine) {
    auto failAt = [](int step, uint32_t hr) {
        Entry e = Explorer(0x200, 0x210, {L"C:\\b\\never.png"});
        ShellEntry& f = e.facts;
        // A success status with a null pointer is a failure too.
        if (step == 0) f = ShellEntry{}, f.itemHr = hr;
        if (step == 1) f.browserAppHr = hr, f.browserApp = 0;
        if (step == 2) f.serviceProviderHr = hr, f.serviceProvider = 0;
        if (step == 3) f.shellBrowserHr = hr, f.shellBrowser = 0;
        return e;
    };
    Scene scene{{failAt(0, 0x80070057), failAt(0, 0), failAt(1, 0x80004002), failAt(2, 0x80004002), failAt(3, 0x80004005),
                 Explorer(0x100, 0x110, {L"C:\\a\\ok.jpg"})}};
    Outcome out = Detect(scene, 0x300);
    EXPECT_EQ(out.files.images, Paths{L"C:\\a\\ok.jpg"});
    const std::string expected =
        "IShellWindows count=6\n"
        "Item[0]: hr=0x80070057, pDisp=0000000000000000\n"
        "Item[1]: hr=0x00000000, pDisp=0000000000000000\n"
        "Item[2]: hr=0x00000000, pDisp=0000000000000211\n"
        "Item[2]: QueryInterface(IWebBrowserApp) hr=0x80004002, pWBA=0000000000000000\n"
        "Item[3]: hr=0x00000000, pDisp=0000000000000211\n"
        "Item[3]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000212\n"
        "Item[3]: hSWWnd=0000000000000200 (CabinetWClass), isForeground=0\n"
        "Item[3]: QueryInterface(IServiceProvider) hr=0x80004002, pSP=0000000000000000\n"
        "Item[4]: hr=0x00000000, pDisp=0000000000000211\n"
        "Item[4]: QueryInterface(IWebBrowserApp) hr=0x00000000, pWBA=0000000000000212\n"
        "Item[4]: hSWWnd=0000000000000200 (CabinetWClass), isForeground=0\n"
        "Item[4]: QueryInterface(IServiceProvider) hr=0x00000000, pSP=0000000000000213\n"
        "Item[4]: QueryService(SID_STopLevelBrowser) hr=0x80004005, pSB=0000000000000000\n"
        "Item[5]: hr=0x00000000, pDisp=0000000000000111\n";
    EXPECT_NE(out.log.find(expected), std::string::npos) << out.log;
    EXPECT_EQ(out.log.find("never.png"), std::string::npos) << "no failed entry's selection is read";
}

TEST(ExplorerSelection, PdfsFollowTheSamePrioritiesInTheirOwnList) {
    // Two PDFs and an image: the image is the target, both PDFs are kept apart.
    Outcome mixed = Detect({{Explorer(0x100, 0x110, {L"C:\\d\\a.pdf", L"C:\\d\\p.png", L"C:\\d\\B.PDF"})}}, 0x100);
    EXPECT_EQ(mixed.files.images, Paths{L"C:\\d\\p.png"});
    EXPECT_EQ(mixed.files.pdfs, (Paths{L"C:\\d\\a.pdf", L"C:\\d\\B.PDF"}));
    EXPECT_NE(mixed.log.find("    Rejected non-image: C:\\d\\a.pdf\n    Accepted image: C:\\d\\p.png\n"), std::string::npos);
    EXPECT_NE(mixed.log.find("Item[0]: SELECTED as activeTabResults (count=1)\n"
                             "Item[0]: PDFs kept as activeTabResults (count=2)\n"
                             "DetectSelectedFiles returning activeTabResults (count=1)\n"
                             "DetectSelectedFiles keeping PDFs from activeTabResults (count=2)\n"),
              std::string::npos)
        << mixed.log;

    // Only PDFs, in the view and again in the drop list: listed once; the image decision still ends on the
    // (empty) desktop, and a PDF window that is not in front loses to the foreground window's PDFs.
    Scene onlyPdfs{{Explorer(0x200, 0x210, {L"C:\\e\\other.pdf"}),
                    Explorer(0x100, 0x110, {L"C:\\d\\x.pdf", L"C:\\d\\y.pdf"}, {L"C:\\d\\x.pdf", L"C:\\d\\y.pdf"})},
                   {0, 0xDE5},
                   {L"C:\\D\\desk.pdf"}};
    Outcome pdfs = Detect(onlyPdfs, 0x100);
    EXPECT_TRUE(pdfs.files.images.empty());
    EXPECT_EQ(pdfs.files.pdfs, (Paths{L"C:\\d\\x.pdf", L"C:\\d\\y.pdf"}));
    EXPECT_NE(pdfs.log.find("Item[1]: SKIPPED\nItem[1]: PDFs kept as activeTabResults (count=2)\n"), std::string::npos)
        << pdfs.log;
    EXPECT_NE(pdfs.log.find("DetectSelectedFiles returning empty vector\n"
                            "DetectSelectedFiles keeping PDFs from activeTabResults (count=2)\n"),
              std::string::npos)
        << pdfs.log;

    // With no PDF in any window, those on the desktop are kept; a drop list is read for PDFs only when the
    // view named none, and an entry without an active view reads nothing at all.
    Entry noView = Explorer(0x200, 0x210, {L"C:\\e\\hidden.png"}, {L"C:\\e\\hidden.png"});
    noView.hasView = false;
    Outcome desk = Detect({{noView}, {0, 0xDE5}, {}, {L"C:\\D\\desk.pdf", L"C:\\D\\desk.txt"}}, 0x300);
    EXPECT_TRUE(desk.files.images.empty());
    EXPECT_EQ(desk.files.pdfs, Paths{L"C:\\D\\desk.pdf"});
    EXPECT_EQ(desk.log.find("hidden.png"), std::string::npos) << desk.log;
}
