#include "targets/explorer_selection.h"

#include <cwctype>

#include "base/text.h"
#include "targets/file_pick.h"
#include "targets/image_filter.h"

namespace {

bool Failed(uint32_t hr, uintptr_t pointer) { return (hr & 0x80000000u) != 0 || pointer == 0; }

void* Ptr(uintptr_t value) { return reinterpret_cast<void*>(value); }

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return i == a.size() && b[i] == 0;
}

// One priority set: filled once, by the first window that qualifies, never appended to.
struct ResultSets {
    std::vector<std::wstring> activeTab, focused, fallback;
};

enum class Placement { ActiveTab, Focused, Fallback, Skipped };

// The first rule that applies to a window's selection.
Placement Place(ResultSets& sets, bool isTabActive, bool isForeground, std::vector<std::wstring>& current) {
    if (isTabActive && sets.activeTab.empty() && !current.empty()) {
        sets.activeTab = std::move(current);
        return Placement::ActiveTab;
    }
    if (isForeground && sets.focused.empty()) {
        if (current.empty()) return Placement::Skipped;
        sets.focused = std::move(current);
        return Placement::Focused;
    }
    if (sets.fallback.empty() && !current.empty()) {
        sets.fallback = std::move(current);
        return Placement::Fallback;
    }
    return Placement::Skipped;
}

// The PDF list has no lines of its own in the decision's record, so its placement is logged apart
// and only when it kept something.
void LogPdfPlacement(Placement p, long index, const ResultSets& sets, const SelectionLog& log) {
    switch (p) {
    case Placement::ActiveTab:
        log(FormatString(L"Item[%ld]: PDFs kept as activeTabResults (count=%zu)", index, sets.activeTab.size()));
        break;
    case Placement::Focused:
        log(FormatString(L"Item[%ld]: PDFs kept as focusedResults (count=%zu)", index, sets.focused.size()));
        break;
    case Placement::Fallback:
        log(FormatString(L"Item[%ld]: PDFs kept as fallbackResults (count=%zu)", index, sets.fallback.size()));
        break;
    case Placement::Skipped: break;
    }
}

std::vector<std::wstring> ChoosePdfs(ResultSets& pdfs, const SelectionLog& log) {
    const wchar_t* from = nullptr;
    std::vector<std::wstring>* chosen = nullptr;
    if (!pdfs.activeTab.empty()) from = L"activeTabResults", chosen = &pdfs.activeTab;
    else if (!pdfs.focused.empty()) from = L"focusedResults", chosen = &pdfs.focused;
    else if (!pdfs.fallback.empty()) from = L"fallbackResults", chosen = &pdfs.fallback;
    if (!chosen) return {};
    log(FormatString(L"DetectSelectedFiles keeping PDFs from %ls (count=%zu)", from, chosen->size()));
    return std::move(*chosen);
}

}  // namespace

bool IsExplorerViewClass(const std::wstring& className) {
    return EqualsNoCase(className, L"ShellTabWindowClass") || EqualsNoCase(className, L"CabinetWClass");
}

void SortSelectedPaths(const std::vector<std::wstring>& paths, std::vector<std::wstring>& images,
                       std::vector<std::wstring>* pdfs, const SelectionLog& log) {
    for (const std::wstring& path : paths) {
        if (IsImageFile(path)) {
            images.push_back(path);
            log(FormatString(L"    Accepted image: %ls", path.c_str()));
            continue;
        }
        log(FormatString(L"    Rejected non-image: %ls", path.c_str()));
        if (pdfs && IsPdfPath(path)) pdfs->push_back(path);
    }
}

void CollectSelection(const SelectionReader& reader, std::vector<std::wstring>& images, std::vector<std::wstring>* pdfs,
                      const SelectionLog& log) {
    std::vector<std::wstring> paths;
    if (!reader.viewPaths(paths)) return;
    const size_t imagesBefore = images.size();
    const size_t pdfsBefore = pdfs ? pdfs->size() : 0;
    SortSelectedPaths(paths, images, pdfs, log);
    if (images.size() != imagesBefore) return;

    log(L"  IFolderView2 yielded 0 files. Falling back to CF_HDROP...");
    paths.clear();
    reader.dropPaths(paths);
    const bool viewNamedPdfs = pdfs && pdfs->size() != pdfsBefore;
    SortSelectedPaths(paths, images, viewNamedPdfs ? nullptr : pdfs, log);
}

SelectedFiles DetectSelection(const ShellAccess& shell, uintptr_t hForeground, const SelectionLog& log) {
    const std::wstring foregroundClass = hForeground ? shell.className(hForeground) : std::wstring();
    log(FormatString(L"DetectSelectedFiles: hForeground=%p, Class=%ls", Ptr(hForeground), foregroundClass.c_str()));
    const ShellObject created = shell.createShellWindows();
    log(FormatString(L"CoCreateInstance(CLSID_ShellWindows) hr=0x%08X, pSW=%p", created.hr, Ptr(created.pointer)));
    if (Failed(created.hr, created.pointer)) {
        log(L"DetectSelectedFiles returning empty vector");
        return {};
    }
    const long count = shell.count();
    log(FormatString(L"IShellWindows count=%ld", count));

    ResultSets images, pdfs;
    for (long i = 0; i < count; ++i) {
        const ShellEntry e = shell.readEntry(i);
        log(FormatString(L"Item[%ld]: hr=0x%08X, pDisp=%p", i, e.itemHr, Ptr(e.dispatch)));
        if (Failed(e.itemHr, e.dispatch)) continue;
        log(FormatString(L"Item[%ld]: QueryInterface(IWebBrowserApp) hr=0x%08X, pWBA=%p", i, e.browserAppHr,
                         Ptr(e.browserApp)));
        if (Failed(e.browserAppHr, e.browserApp)) continue;

        const std::wstring swClass = e.hSWWnd ? shell.className(e.hSWWnd) : std::wstring();
        // Without a foreground window only equality counts, so an entry without a window is foreground.
        const bool isForeground = e.hSWWnd == hForeground || (hForeground && e.hSWWnd && shell.isChild(e.hSWWnd, hForeground));
        log(FormatString(L"Item[%ld]: hSWWnd=%p (%ls), isForeground=%d", i, Ptr(e.hSWWnd), swClass.c_str(),
                         isForeground ? 1 : 0));
        log(FormatString(L"Item[%ld]: QueryInterface(IServiceProvider) hr=0x%08X, pSP=%p", i, e.serviceProviderHr,
                         Ptr(e.serviceProvider)));
        if (Failed(e.serviceProviderHr, e.serviceProvider)) continue;
        log(FormatString(L"Item[%ld]: QueryService(SID_STopLevelBrowser) hr=0x%08X, pSB=%p", i, e.shellBrowserHr,
                         Ptr(e.shellBrowser)));
        if (Failed(e.shellBrowserHr, e.shellBrowser)) continue;

        const std::wstring tabClass = e.hTabWnd ? shell.className(e.hTabWnd) : std::wstring();
        const bool related = hForeground && e.hTabWnd &&
                             (e.hTabWnd == hForeground || shell.isChild(hForeground, e.hTabWnd) ||
                              e.hSWWnd == hForeground || (e.hSWWnd && shell.isChild(e.hSWWnd, hForeground)));
        const bool isVisible = e.hTabWnd && shell.isVisible(e.hTabWnd);
        const bool isTabActive = related && isVisible && IsExplorerViewClass(tabClass);
        log(FormatString(L"Item[%ld]: hTabWnd=%p (%ls), isTabActive=%d, IsVisible=%d", i, Ptr(e.hTabWnd),
                         tabClass.c_str(), isTabActive ? 1 : 0, isVisible ? 1 : 0));

        std::vector<std::wstring> current, currentPdfs;
        shell.collectEntry(current, currentPdfs);
        const size_t found = current.size();
        switch (Place(images, isTabActive, isForeground, current)) {
        case Placement::ActiveTab:
            log(FormatString(L"Item[%ld]: SELECTED as activeTabResults (count=%zu)", i, found));
            break;
        case Placement::Focused: log(FormatString(L"Item[%ld]: SELECTED as focusedResults (count=%zu)", i, found)); break;
        case Placement::Fallback:
            log(FormatString(L"Item[%ld]: Saved as fallbackResults (count=%zu)", i, found));
            break;
        case Placement::Skipped: log(FormatString(L"Item[%ld]: SKIPPED", i)); break;
        }
        LogPdfPlacement(Place(pdfs, isTabActive, isForeground, currentPdfs), i, pdfs, log);
    }

    SelectedFiles result;
    const wchar_t* from = nullptr;
    if (!images.activeTab.empty()) from = L"activeTabResults", result.images = std::move(images.activeTab);
    else if (!images.focused.empty()) from = L"focusedResults", result.images = std::move(images.focused);
    else if (!images.fallback.empty()) from = L"fallbackResults", result.images = std::move(images.fallback);
    if (from) {
        log(FormatString(L"DetectSelectedFiles returning %ls (count=%zu)", from, result.images.size()));
        result.pdfs = ChoosePdfs(pdfs, log);
        return result;
    }

    // No window gave an image: the desktop's selection decides, never combined with a window's.
    const DesktopLookup desktop = shell.findDesktop();
    log(FormatString(L"FindWindowSW(SWC_DESKTOP) hr=0x%08X, pDispDesktop=%p", desktop.hr, Ptr(desktop.dispatch)));
    std::vector<std::wstring> desktopPdfs;
    if (!Failed(desktop.hr, desktop.dispatch)) shell.collectDesktop(images.fallback, desktopPdfs);
    // PDFs selected in a window come before those on the desktop, as for images.
    if (pdfs.activeTab.empty() && pdfs.focused.empty() && pdfs.fallback.empty()) pdfs.fallback = std::move(desktopPdfs);

    if (!images.fallback.empty()) {
        result.images = std::move(images.fallback);
        log(FormatString(L"DetectSelectedFiles returning fallbackResults (count=%zu)", result.images.size()));
    } else {
        log(L"DetectSelectedFiles returning empty vector");
    }
    result.pdfs = ChoosePdfs(pdfs, log);
    return result;
}
