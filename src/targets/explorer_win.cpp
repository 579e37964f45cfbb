#include "targets/explorer_win.h"

#include <servprov.h>
#include <shellapi.h>
#include <shobjidl.h>

#include "base/log_line.h"
#include "base/win_handles.h"
#include "targets/explorer_selection.h"

namespace {

// {4C96BE40-915C-11CF-99D3-00AA004AE837}; spelled out so the program does not depend on which
// service ids the import library happens to carry.
constexpr GUID kSidTopLevelBrowser = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

void LogLine(const std::wstring& line) { LogMessage(L"%ls", line.c_str()); }

uintptr_t Bits(const void* p) { return reinterpret_cast<uintptr_t>(p); }
uintptr_t Bits(HWND h) { return reinterpret_cast<uintptr_t>(h); }
HWND Window(uintptr_t h) { return reinterpret_cast<HWND>(h); }

bool Failed(HRESULT hr, const void* p) { return FAILED(hr) || !p; }

// The medium of one GetData call, given back on every path.
class ScopedStgMedium {
public:
    ScopedStgMedium() = default;
    ~ScopedStgMedium() { ReleaseStgMedium(&medium_); }
    ScopedStgMedium(const ScopedStgMedium&) = delete;
    ScopedStgMedium& operator=(const ScopedStgMedium&) = delete;
    STGMEDIUM* get() { return &medium_; }

private:
    STGMEDIUM medium_ = {};
};

std::wstring ClassOf(uintptr_t window) {
    wchar_t name[256] = {};
    if (window) GetClassNameW(Window(window), name, 256);
    return name;
}

// The top-level shell browser behind a dispatch object of the shell's window list; null on any failure.
ComPtr<IShellBrowser> BrowserOf(IUnknown* object) {
    ComPtr<IShellBrowser> browser;
    ComPtr<IServiceProvider> sp;
    if (FAILED(object->QueryInterface(IID_IServiceProvider, sp.putVoid())) || !sp) return browser;
    if (FAILED(sp->QueryService(kSidTopLevelBrowser, IID_IShellBrowser, browser.putVoid()))) browser.reset();
    return browser;
}

// Reads one entry of the window list up to its first failing step. The browser stays with the caller
// for reading the selection.
ShellEntry ReadEntry(IShellWindows* shellWindows, long index, ComPtr<IShellBrowser>& browser) {
    ShellEntry e;
    browser.reset();
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = index;
    ComPtr<IDispatch> dispatch;
    e.itemHr = static_cast<uint32_t>(shellWindows->Item(v, dispatch.put()));
    e.dispatch = Bits(dispatch.get());
    if (Failed(static_cast<HRESULT>(e.itemHr), dispatch.get())) return e;

    ComPtr<IWebBrowserApp> app;
    e.browserAppHr = static_cast<uint32_t>(dispatch->QueryInterface(IID_IWebBrowserApp, app.putVoid()));
    e.browserApp = Bits(app.get());
    if (Failed(static_cast<HRESULT>(e.browserAppHr), app.get())) return e;

    SHANDLE_PTR top = 0;
    if (FAILED(app->get_HWND(&top))) top = 0;
    e.hSWWnd = static_cast<uintptr_t>(top);

    ComPtr<IServiceProvider> sp;
    e.serviceProviderHr = static_cast<uint32_t>(app->QueryInterface(IID_IServiceProvider, sp.putVoid()));
    e.serviceProvider = Bits(sp.get());
    if (Failed(static_cast<HRESULT>(e.serviceProviderHr), sp.get())) return e;

    ComPtr<IShellBrowser> sb;
    e.shellBrowserHr = static_cast<uint32_t>(sp->QueryService(kSidTopLevelBrowser, IID_IShellBrowser, sb.putVoid()));
    e.shellBrowser = Bits(sb.get());
    if (Failed(static_cast<HRESULT>(e.shellBrowserHr), sb.get())) return e;

    ComPtr<IOleWindow> ole;
    HWND tab = nullptr;
    if (SUCCEEDED(sb->QueryInterface(IID_IOleWindow, ole.putVoid())) && ole && FAILED(ole->GetWindow(&tab))) tab = nullptr;
    e.hTabWnd = Bits(tab);
    browser = std::move(sb);
    return e;
}

// The folder view's selected file-system paths; virtual items have none and are left out silently.
void ReadFolderViewPaths(IShellView* view, std::vector<std::wstring>& paths) {
    ComPtr<IFolderView2> folderView;
    HRESULT hr = view->QueryInterface(IID_IFolderView2, folderView.putVoid());
    LogMessage(L"  pSV->QueryInterface(IFolderView2) hr=0x%08X, pFV2=%p", static_cast<unsigned>(hr),
               static_cast<void*>(folderView.get()));
    if (Failed(hr, folderView.get())) return;
    ComPtr<IShellItemArray> items;
    hr = folderView->Items(SVGIO_SELECTION, IID_IShellItemArray, items.putVoid());
    LogMessage(L"  pFV2->Items(SVGIO_SELECTION) hr=0x%08X, pItems=%p", static_cast<unsigned>(hr),
               static_cast<void*>(items.get()));
    if (Failed(hr, items.get())) return;
    DWORD count = 0;
    items->GetCount(&count);
    LogMessage(L"  IFolderView2 raw selected count=%lu", static_cast<unsigned long>(count));
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IShellItem> item;
        if (FAILED(items->GetItemAt(i, item.put())) || !item) continue;
        LPWSTR path = nullptr;
        if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) {
            CoTaskMemFree(path);
            continue;
        }
        paths.emplace_back(path);
        CoTaskMemFree(path);
    }
}

// The names of the data object's CF_HDROP list, in order; a zero-length answer skips its index.
void ReadDropNames(IDataObject* dataObject, std::vector<std::wstring>& names) {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    ScopedStgMedium medium;
    HRESULT hr = dataObject->GetData(&format, medium.get());
    LogMessage(L"  ExtractFromDataObject: pDO->GetData hr=0x%08X", static_cast<unsigned>(hr));
    if (FAILED(hr)) return;
    // Only a memory medium can be locked; anything else the object hands back is just released.
    ScopedGlobalLock lock(medium.get()->tymed == TYMED_HGLOBAL ? medium.get()->hGlobal : nullptr);
    HDROP drop = static_cast<HDROP>(lock.get());
    if (!drop) return;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    LogMessage(L"  ExtractFromDataObject: CF_HDROP raw item count=%u", count);
    for (UINT i = 0; i < count; ++i) {
        wchar_t name[MAX_PATH];
        if (DragQueryFileW(drop, i, name, MAX_PATH) == 0) continue;
        names.emplace_back(name);
    }
}

}  // namespace

void ExtractFromDataObject(IDataObject* dataObject, std::vector<std::wstring>& list, std::vector<std::wstring>* pdfs) {
    if (!dataObject) return;
    std::vector<std::wstring> names;
    ReadDropNames(dataObject, names);
    SortSelectedPaths(names, list, pdfs, LogLine);
}

void CollectViewSelection(IShellBrowser* browser, std::vector<std::wstring>& list, std::vector<std::wstring>* pdfs) {
    if (!browser) return;
    ComPtr<IShellView> view;
    SelectionReader reader;
    reader.viewPaths = [&](std::vector<std::wstring>& paths) {
        HRESULT hr = browser->QueryActiveShellView(view.put());
        LogMessage(L"  pSB->QueryActiveShellView hr=0x%08X, pSV=%p", static_cast<unsigned>(hr),
                   static_cast<void*>(view.get()));
        if (Failed(hr, view.get())) return false;
        ReadFolderViewPaths(view.get(), paths);
        return true;
    };
    reader.dropPaths = [&](std::vector<std::wstring>& paths) {
        ComPtr<IDataObject> data;
        HRESULT hr = view->GetItemObject(SVGIO_SELECTION, IID_IDataObject, data.putVoid());
        LogMessage(L"  pSV->GetItemObject(SVGIO_SELECTION) hr=0x%08X, pDO=%p", static_cast<unsigned>(hr),
                   static_cast<void*>(data.get()));
        if (Failed(hr, data.get())) return;
        ReadDropNames(data.get(), paths);
    };
    CollectSelection(reader, list, pdfs, LogLine);
}

namespace {

// The detection over the shell-windows object that create hands over, made once the first line is logged.
template <class Create>
DetectedSelection Detect(HWND hForeground, Create create) {
    ComPtr<IShellWindows> owned;
    IShellWindows* shellWindows = nullptr;
    ShellAccess shell;
    shell.createShellWindows = [&] {
        HRESULT hr = create(owned, shellWindows);
        return ShellObject{static_cast<uint32_t>(hr), Bits(shellWindows)};
    };
    ComPtr<IShellBrowser> browser;  // the browser of the entry last read
    shell.count = [&] {
        long count = 0;
        shellWindows->get_Count(&count);
        return count;
    };
    shell.readEntry = [&](long index) { return ReadEntry(shellWindows, index, browser); };
    shell.collectEntry = [&](std::vector<std::wstring>& images, std::vector<std::wstring>& pdfs) {
        CollectViewSelection(browser.get(), images, &pdfs);
        browser.reset();
    };
    ComPtr<IDispatch> desktop;
    shell.findDesktop = [&] {
        VARIANT location, root;
        VariantInit(&location);
        VariantInit(&root);
        long window = 0;
        HRESULT hr = shellWindows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.put());
        return DesktopLookup{static_cast<uint32_t>(hr), Bits(desktop.get())};
    };
    shell.collectDesktop = [&](std::vector<std::wstring>& images, std::vector<std::wstring>& pdfs) {
        ComPtr<IShellBrowser> desktopBrowser = BrowserOf(desktop.get());
        CollectViewSelection(desktopBrowser.get(), images, &pdfs);
    };
    shell.className = ClassOf;
    shell.isVisible = [](uintptr_t window) { return IsWindowVisible(Window(window)) != FALSE; };
    shell.isChild = [](uintptr_t parent, uintptr_t window) { return IsChild(Window(parent), Window(window)) != FALSE; };

    SelectedFiles found = DetectSelection(shell, Bits(hForeground), LogLine);
    return DetectedSelection{std::move(found.images), std::move(found.pdfs)};
}

}  // namespace

DetectedSelection DetectSelectedFilesFrom(HWND hForeground, IShellWindows* shellWindows, HRESULT createHr) {
    return Detect(hForeground, [&](ComPtr<IShellWindows>&, IShellWindows*& used) {
        used = shellWindows;
        return createHr;
    });
}

DetectedSelection DetectSelectedFiles(HWND hForeground) {
    return Detect(hForeground, [](ComPtr<IShellWindows>& owned, IShellWindows*& used) {
        HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, owned.putVoid());
        used = owned.get();
        return hr;
    });
}
