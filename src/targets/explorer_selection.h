// Which Explorer window's selection the wheel works on, apart from the shell: the decision runs
// over an access layer that reports what each shell call gave, so it can be driven by recorded
// window lists as well as by the real shell.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Receives each finished log line (without time stamp).
using SelectionLog = std::function<void(const std::wstring&)>;

// The image files (the wheel's targets) and the PDF files of one selection, each in selection order.
struct SelectedFiles {
    std::vector<std::wstring> images;
    std::vector<std::wstring> pdfs;
};

// Appends the images among paths to images ("    Accepted image: %ls") and logs every other path as
// rejected; PDF paths also go to pdfs when it is given.
void SortSelectedPaths(const std::vector<std::wstring>& paths, std::vector<std::wstring>& images,
                       std::vector<std::wstring>* pdfs, const SelectionLog& log);

// The two ways one shell browser's active view tells its selection.
struct SelectionReader {
    // The selected items' file-system paths through the folder view (virtual items left out; empty when
    // the folder view is unavailable). False when the browser has no active view at all, which ends the
    // reading.
    std::function<bool(std::vector<std::wstring>& paths)> viewPaths;
    // The names of the view's file-drop data; asked only when the view yielded no image.
    std::function<void(std::vector<std::wstring>& paths)> dropPaths;
};

// One view's selection: the folder view first, the file-drop list when that gave no image. PDFs come
// from the folder view, or from the file-drop list when the folder view named none (both describe the
// same selection, so taking both would list every PDF twice).
void CollectSelection(const SelectionReader& reader, std::vector<std::wstring>& images, std::vector<std::wstring>* pdfs,
                      const SelectionLog& log);

inline constexpr uint32_t kStatusFail = 0x80004005;  // E_FAIL: a step that was never reached

// What the shell answered for one entry of its window list, step by step. The reader stops at the first
// step that fails (negative status or null pointer); later fields keep their defaults.
struct ShellEntry {
    uint32_t itemHr = kStatusFail;
    uintptr_t dispatch = 0;
    uint32_t browserAppHr = kStatusFail;
    uintptr_t browserApp = 0;
    uintptr_t hSWWnd = 0;  // null when the handle could not be read
    uint32_t serviceProviderHr = kStatusFail;
    uintptr_t serviceProvider = 0;
    uint32_t shellBrowserHr = kStatusFail;
    uintptr_t shellBrowser = 0;
    uintptr_t hTabWnd = 0;  // null when any step to it failed
};

struct ShellObject {
    uint32_t hr = kStatusFail;
    uintptr_t pointer = 0;
};

struct DesktopLookup {
    uint32_t hr = kStatusFail;
    uintptr_t dispatch = 0;
};

// Everything the decision asks of the shell and the window manager.
struct ShellAccess {
    // Creates the shell-windows object: its status and pointer (asked once, after the first line is logged).
    std::function<ShellObject()> createShellWindows;
    std::function<long()> count;
    std::function<ShellEntry(long index)> readEntry;
    // Reads the selection of the entry last read (its shell browser).
    std::function<void(std::vector<std::wstring>& images, std::vector<std::wstring>& pdfs)> collectEntry;
    std::function<DesktopLookup()> findDesktop;
    // Reads the desktop's selection after a successful lookup (its own failures leave no line).
    std::function<void(std::vector<std::wstring>& images, std::vector<std::wstring>& pdfs)> collectDesktop;
    std::function<std::wstring(uintptr_t window)> className;
    std::function<bool(uintptr_t window)> isVisible;
    std::function<bool(uintptr_t parent, uintptr_t window)> isChild;  // window is a descendant of parent
};

// The selection of the Explorer window the user was working in, by the priorities visible tab of the
// foreground window, then a window holding the foreground window, then the first other window, then the
// desktop. The PDF list is decided by the same rules over the PDF selections, independently of the images.
SelectedFiles DetectSelection(const ShellAccess& shell, uintptr_t hForeground, const SelectionLog& log);

// Window classes of an Explorer tab or top-level window, compared without regard to case.
bool IsExplorerViewClass(const std::wstring& className);
