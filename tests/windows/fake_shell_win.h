// In-process stand-ins for the shell's window list and everything behind it, for driving the
// selection detection through real COM calls. Every object belongs to the test (it starts with
// one reference and is never deleted by Release), so a test can check that each count is back
// to its start after a call: a missing Release leaves it higher, an extra one lower.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace fake {

// How one step of the shell answers: a status, and whether a successful call hands out null.
struct Step {
    HRESULT hr = S_OK;
    bool giveNull = false;
};

// Every fake alive, so a test can find the ones whose count moved.
class Counted;
inline std::vector<Counted*>& AllFakes() {
    static std::vector<Counted*> all;
    return all;
}

class Counted {
public:
    explicit Counted(const char* kind) : kind_(kind) { AllFakes().push_back(this); }
    virtual ~Counted() { AllFakes().erase(std::find(AllFakes().begin(), AllFakes().end(), this)); }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    LONG refs() const { return refs_; }
    const char* kind() const { return kind_; }

protected:
    ULONG AddRefCounted() { return static_cast<ULONG>(++refs_); }
    ULONG ReleaseCounted() { return static_cast<ULONG>(--refs_); }

private:
    const char* kind_;
    LONG refs_ = 1;
};

// "kind refs=N" for every fake whose count is not back at its start; empty when all are.
inline std::string UnbalancedFakes() {
    std::string out;
    for (const Counted* c : AllFakes())
        if (c->refs() != 1) out += std::string(c->kind()) + " refs=" + std::to_string(c->refs()) + "; ";
    return out;
}

// Hands out obj (with a reference) as the step says; null and the step's status otherwise.
template <class I>
HRESULT Hand(const Step& step, I* obj, void** out) {
    *out = nullptr;
    if (FAILED(step.hr) || step.giveNull) return step.hr;
    if (!obj) return E_NOINTERFACE;
    obj->AddRef();
    *out = obj;
    return step.hr;
}

#define FAKE_E_NOTIMPL(name, ...) \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }
#define FAKE_COUNTED_REFS                                                   \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCounted(); } \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseCounted(); }

// The methods no caller of the detection uses, per interface (generated from the SDK headers).
#define FAKE_NOTIMPL_IDISPATCH \
    FAKE_E_NOTIMPL(GetTypeInfoCount, UINT*) FAKE_E_NOTIMPL(GetTypeInfo, UINT, LCID, ITypeInfo**) \
    FAKE_E_NOTIMPL(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*) \
    FAKE_E_NOTIMPL(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
#define FAKE_NOTIMPL_ISHELLWINDOWS \
    FAKE_E_NOTIMPL(_NewEnum, IUnknown**) FAKE_E_NOTIMPL(Register, IDispatch*, LONG, int, LONG*) \
    FAKE_E_NOTIMPL(RegisterPending, LONG, VARIANT*, VARIANT*, int, LONG*) FAKE_E_NOTIMPL(Revoke, LONG) \
    FAKE_E_NOTIMPL(OnNavigate, LONG, VARIANT*) FAKE_E_NOTIMPL(OnActivated, LONG, VARIANT_BOOL) FAKE_E_NOTIMPL(OnCreated, LONG, IUnknown*) \
    FAKE_E_NOTIMPL(ProcessAttachDetach, VARIANT_BOOL)
#define FAKE_NOTIMPL_IWEBBROWSER \
    FAKE_E_NOTIMPL(GoBack) FAKE_E_NOTIMPL(GoForward) FAKE_E_NOTIMPL(GoHome) FAKE_E_NOTIMPL(GoSearch) \
    FAKE_E_NOTIMPL(Navigate, BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) FAKE_E_NOTIMPL(Refresh) FAKE_E_NOTIMPL(Refresh2, VARIANT*) \
    FAKE_E_NOTIMPL(Stop) FAKE_E_NOTIMPL(get_Application, IDispatch**) FAKE_E_NOTIMPL(get_Parent, IDispatch**) \
    FAKE_E_NOTIMPL(get_Container, IDispatch**) FAKE_E_NOTIMPL(get_Document, IDispatch**) \
    FAKE_E_NOTIMPL(get_TopLevelContainer, VARIANT_BOOL*) FAKE_E_NOTIMPL(get_Type, BSTR*) FAKE_E_NOTIMPL(get_Left, LONG*) \
    FAKE_E_NOTIMPL(put_Left, LONG) FAKE_E_NOTIMPL(get_Top, LONG*) FAKE_E_NOTIMPL(put_Top, LONG) FAKE_E_NOTIMPL(get_Width, LONG*) \
    FAKE_E_NOTIMPL(put_Width, LONG) FAKE_E_NOTIMPL(get_Height, LONG*) FAKE_E_NOTIMPL(put_Height, LONG) FAKE_E_NOTIMPL(get_LocationName, BSTR*) \
    FAKE_E_NOTIMPL(get_LocationURL, BSTR*) FAKE_E_NOTIMPL(get_Busy, VARIANT_BOOL*)
#define FAKE_NOTIMPL_IWEBBROWSERAPP \
    FAKE_E_NOTIMPL(Quit) FAKE_E_NOTIMPL(ClientToWindow, int*, int*) FAKE_E_NOTIMPL(PutProperty, BSTR, VARIANT) \
    FAKE_E_NOTIMPL(GetProperty, BSTR, VARIANT*) FAKE_E_NOTIMPL(get_Name, BSTR*) FAKE_E_NOTIMPL(get_FullName, BSTR*) \
    FAKE_E_NOTIMPL(get_Path, BSTR*) FAKE_E_NOTIMPL(get_Visible, VARIANT_BOOL*) FAKE_E_NOTIMPL(put_Visible, VARIANT_BOOL) \
    FAKE_E_NOTIMPL(get_StatusBar, VARIANT_BOOL*) FAKE_E_NOTIMPL(put_StatusBar, VARIANT_BOOL) FAKE_E_NOTIMPL(get_StatusText, BSTR*) \
    FAKE_E_NOTIMPL(put_StatusText, BSTR) FAKE_E_NOTIMPL(get_ToolBar, int*) FAKE_E_NOTIMPL(put_ToolBar, int) \
    FAKE_E_NOTIMPL(get_MenuBar, VARIANT_BOOL*) FAKE_E_NOTIMPL(put_MenuBar, VARIANT_BOOL) FAKE_E_NOTIMPL(get_FullScreen, VARIANT_BOOL*) \
    FAKE_E_NOTIMPL(put_FullScreen, VARIANT_BOOL)
#define FAKE_NOTIMPL_IOLEWINDOW \
    FAKE_E_NOTIMPL(ContextSensitiveHelp, WINBOOL)
#define FAKE_NOTIMPL_ISHELLBROWSER \
    FAKE_E_NOTIMPL(InsertMenusSB, HMENU, LPOLEMENUGROUPWIDTHS) FAKE_E_NOTIMPL(SetMenuSB, HMENU, HOLEMENU, HWND) \
    FAKE_E_NOTIMPL(RemoveMenusSB, HMENU) FAKE_E_NOTIMPL(SetStatusTextSB, LPCWSTR) FAKE_E_NOTIMPL(EnableModelessSB, WINBOOL) \
    FAKE_E_NOTIMPL(TranslateAcceleratorSB, MSG*, WORD) FAKE_E_NOTIMPL(BrowseObject, PCUIDLIST_RELATIVE, UINT) \
    FAKE_E_NOTIMPL(GetViewStateStream, DWORD, IStream**) FAKE_E_NOTIMPL(GetControlWindow, UINT, HWND*) \
    FAKE_E_NOTIMPL(SendControlMsg, UINT, UINT, WPARAM, LPARAM, LRESULT*) FAKE_E_NOTIMPL(OnViewWindowActive, IShellView*) \
    FAKE_E_NOTIMPL(SetToolbarItems, LPTBBUTTONSB, UINT, UINT)
#define FAKE_NOTIMPL_ISHELLVIEW \
    FAKE_E_NOTIMPL(TranslateAccelerator, MSG*) FAKE_E_NOTIMPL(EnableModeless, WINBOOL) FAKE_E_NOTIMPL(UIActivate, UINT) FAKE_E_NOTIMPL(Refresh) \
    FAKE_E_NOTIMPL(CreateViewWindow, IShellView*, LPCFOLDERSETTINGS, IShellBrowser*, RECT*, HWND*) \
    FAKE_E_NOTIMPL(DestroyViewWindow) FAKE_E_NOTIMPL(GetCurrentInfo, LPFOLDERSETTINGS) \
    FAKE_E_NOTIMPL(AddPropertySheetPages, DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) FAKE_E_NOTIMPL(SaveViewState) \
    FAKE_E_NOTIMPL(SelectItem, PCUITEMID_CHILD, SVSIF)
#define FAKE_NOTIMPL_IFOLDERVIEW \
    FAKE_E_NOTIMPL(GetCurrentViewMode, UINT*) FAKE_E_NOTIMPL(SetCurrentViewMode, UINT) FAKE_E_NOTIMPL(GetFolder, REFIID, void**) \
    FAKE_E_NOTIMPL(Item, int, PITEMID_CHILD*) FAKE_E_NOTIMPL(ItemCount, UINT, int*) FAKE_E_NOTIMPL(GetSelectionMarkedItem, int*) \
    FAKE_E_NOTIMPL(GetFocusedItem, int*) FAKE_E_NOTIMPL(GetItemPosition, PCUITEMID_CHILD, POINT*) FAKE_E_NOTIMPL(GetSpacing, POINT*) \
    FAKE_E_NOTIMPL(GetDefaultSpacing, POINT*) FAKE_E_NOTIMPL(GetAutoArrange) FAKE_E_NOTIMPL(SelectItem, int, DWORD) \
    FAKE_E_NOTIMPL(SelectAndPositionItems, UINT, PCUITEMID_CHILD_ARRAY, POINT*, DWORD)
#define FAKE_NOTIMPL_IFOLDERVIEW2 \
    FAKE_E_NOTIMPL(SetGroupBy, REFPROPERTYKEY, WINBOOL) FAKE_E_NOTIMPL(GetGroupBy, PROPERTYKEY*, WINBOOL*) \
    FAKE_E_NOTIMPL(SetViewProperty, PCUITEMID_CHILD, REFPROPERTYKEY, REFPROPVARIANT) \
    FAKE_E_NOTIMPL(GetViewProperty, PCUITEMID_CHILD, REFPROPERTYKEY, PROPVARIANT*) \
    FAKE_E_NOTIMPL(SetTileViewProperties, PCUITEMID_CHILD, LPCWSTR) \
    FAKE_E_NOTIMPL(SetExtendedTileViewProperties, PCUITEMID_CHILD, LPCWSTR) FAKE_E_NOTIMPL(SetText, FVTEXTTYPE, LPCWSTR) \
    FAKE_E_NOTIMPL(SetCurrentFolderFlags, DWORD, DWORD) FAKE_E_NOTIMPL(GetCurrentFolderFlags, DWORD*) \
    FAKE_E_NOTIMPL(GetSortColumnCount, int*) FAKE_E_NOTIMPL(SetSortColumns, const SORTCOLUMN*, int) \
    FAKE_E_NOTIMPL(GetSortColumns, SORTCOLUMN*, int) FAKE_E_NOTIMPL(GetItem, int, REFIID, void**) \
    FAKE_E_NOTIMPL(GetVisibleItem, int, WINBOOL, int*) FAKE_E_NOTIMPL(GetSelectedItem, int, int*) \
    FAKE_E_NOTIMPL(GetSelection, WINBOOL, IShellItemArray**) FAKE_E_NOTIMPL(GetSelectionState, PCUITEMID_CHILD, DWORD*) \
    FAKE_E_NOTIMPL(InvokeVerbOnSelection, LPCSTR) FAKE_E_NOTIMPL(SetViewModeAndIconSize, FOLDERVIEWMODE, int) \
    FAKE_E_NOTIMPL(GetViewModeAndIconSize, FOLDERVIEWMODE*, int*) FAKE_E_NOTIMPL(SetGroupSubsetCount, UINT) \
    FAKE_E_NOTIMPL(GetGroupSubsetCount, UINT*) FAKE_E_NOTIMPL(SetRedraw, WINBOOL) FAKE_E_NOTIMPL(IsMoveInSameFolder) FAKE_E_NOTIMPL(DoRename)
#define FAKE_NOTIMPL_ISHELLITEMARRAY \
    FAKE_E_NOTIMPL(BindToHandler, IBindCtx*, REFGUID, REFIID, void**) \
    FAKE_E_NOTIMPL(GetPropertyStore, GETPROPERTYSTOREFLAGS, REFIID, void**) \
    FAKE_E_NOTIMPL(GetPropertyDescriptionList, REFPROPERTYKEY, REFIID, void**) \
    FAKE_E_NOTIMPL(GetAttributes, SIATTRIBFLAGS, SFGAOF, SFGAOF*) FAKE_E_NOTIMPL(EnumItems, IEnumShellItems**)
#define FAKE_NOTIMPL_ISHELLITEM \
    FAKE_E_NOTIMPL(BindToHandler, IBindCtx*, REFGUID, REFIID, void**) FAKE_E_NOTIMPL(GetParent, IShellItem**) \
    FAKE_E_NOTIMPL(GetAttributes, SFGAOF, SFGAOF*) FAKE_E_NOTIMPL(Compare, IShellItem*, SICHINTF, int*)
#define FAKE_NOTIMPL_IDATAOBJECT \
    FAKE_E_NOTIMPL(GetDataHere, FORMATETC*, STGMEDIUM*) FAKE_E_NOTIMPL(QueryGetData, FORMATETC*) \
    FAKE_E_NOTIMPL(GetCanonicalFormatEtc, FORMATETC*, FORMATETC*) FAKE_E_NOTIMPL(SetData, FORMATETC*, STGMEDIUM*, WINBOOL) \
    FAKE_E_NOTIMPL(EnumFormatEtc, DWORD, IEnumFORMATETC**) FAKE_E_NOTIMPL(DAdvise, FORMATETC*, DWORD, IAdviseSink*, DWORD*) \
    FAKE_E_NOTIMPL(DUnadvise, DWORD) FAKE_E_NOTIMPL(EnumDAdvise, IEnumSTATDATA**)

// One selected item: its file-system path, or none (a virtual item) when displayName fails.
class ShellItem : public IShellItem, public Counted {
public:
    explicit ShellItem(std::wstring path) : Counted("ShellItem"), path_(std::move(path)) {}
    Step displayName;  // GetDisplayName
    Step at;           // how the item array hands this item out
    SIGDN askedFor = static_cast<SIGDN>(0);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IShellItem) return Hand(Step{}, static_cast<IShellItem*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE GetDisplayName(SIGDN sigdn, LPWSTR* name) override {
        askedFor = sigdn;
        *name = nullptr;
        if (FAILED(displayName.hr) || displayName.giveNull) return displayName.hr;
        if (sigdn != SIGDN_FILESYSPATH) return E_INVALIDARG;
        size_t bytes = (path_.size() + 1) * sizeof(wchar_t);
        *name = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!*name) return E_OUTOFMEMORY;
        memcpy(*name, path_.c_str(), bytes);
        return S_OK;
    }
    FAKE_NOTIMPL_ISHELLITEM

private:
    std::wstring path_;
};

class ShellItemArray : public IShellItemArray, public Counted {
public:
    ShellItemArray() : Counted("ShellItemArray") {}
    std::vector<ShellItem*> items;
    Step count;  // GetCount: a failure leaves the count untouched

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IShellItemArray)
            return Hand(Step{}, static_cast<IShellItemArray*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* n) override {
        if (FAILED(count.hr)) return count.hr;
        *n = static_cast<DWORD>(items.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemAt(DWORD index, IShellItem** out) override {
        if (index >= items.size()) {
            *out = nullptr;
            return E_INVALIDARG;
        }
        return Hand(items[index]->at, static_cast<IShellItem*>(items[index]), reinterpret_cast<void**>(out));
    }
    FAKE_NOTIMPL_ISHELLITEMARRAY
};

class FolderView : public IFolderView2, public Counted {
public:
    FolderView() : Counted("FolderView") {}
    ShellItemArray* selection = nullptr;
    Step items;  // Items(SVGIO_SELECTION, IID_IShellItemArray); other arguments are refused

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IFolderView || riid == IID_IFolderView2)
            return Hand(Step{}, static_cast<IFolderView2*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE Items(UINT flags, REFIID riid, void** out) override {
        if (flags != SVGIO_SELECTION || riid != IID_IShellItemArray) {
            *out = nullptr;
            return E_INVALIDARG;
        }
        return Hand(items, static_cast<IShellItemArray*>(selection), out);
    }
    FAKE_NOTIMPL_IFOLDERVIEW
    FAKE_NOTIMPL_IFOLDERVIEW2
};

// Stands in as the medium's owner, so its release is observable as a count back at its start.
class MediumOwner : public IUnknown, public Counted {
public:
    MediumOwner() : Counted("MediumOwner") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown) return Hand(Step{}, static_cast<IUnknown*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_COUNTED_REFS
};

// A file-drop list in a real DROPFILES block. By default the medium names an owner, which
// keeps the memory (freed here) and shows the release; with ownerKeepsMemory off the caller
// gets the memory itself and must free it through ReleaseStgMedium.
class DataObject : public IDataObject, public Counted {
public:
    DataObject() : Counted("DataObject") {}
    ~DataObject() override {
        for (HGLOBAL mem : kept_) GlobalFree(mem);
    }
    std::vector<std::wstring> files;
    Step data;  // GetData; giveNull: success with no memory in the medium
    bool ownerKeepsMemory = true;
    MediumOwner owner;
    FORMATETC asked = {};
    HGLOBAL lastMemory = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDataObject) return Hand(Step{}, static_cast<IDataObject*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        asked = *format;
        *medium = {};
        if (FAILED(data.hr)) return data.hr;
        if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        if (!data.giveNull) medium->hGlobal = lastMemory = BuildDropList();
        if (ownerKeepsMemory) {
            if (medium->hGlobal) kept_.push_back(medium->hGlobal);
            owner.AddRef();
            medium->pUnkForRelease = &owner;
        }
        return data.hr;
    }
    FAKE_NOTIMPL_IDATAOBJECT

private:
    HGLOBAL BuildDropList() const {
        size_t chars = 2;  // the list ends with an empty name, even when it holds none
        for (const std::wstring& f : files) chars += f.size() + 1;
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
        if (!mem) return nullptr;
        auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        auto* names = reinterpret_cast<wchar_t*>(drop + 1);
        for (const std::wstring& f : files) {
            memcpy(names, f.c_str(), (f.size() + 1) * sizeof(wchar_t));
            names += f.size() + 1;
        }
        GlobalUnlock(mem);
        return mem;
    }
    std::vector<HGLOBAL> kept_;
};

class ShellView : public IShellView, public Counted {
public:
    ShellView() : Counted("ShellView") {}
    FolderView* folderView = nullptr;
    Step folderViewQuery;  // QueryInterface(IID_IFolderView2)
    DataObject* dataObject = nullptr;
    Step itemObject;  // GetItemObject(SVGIO_SELECTION, IID_IDataObject); other arguments are refused

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IOleWindow || riid == IID_IShellView)
            return Hand(Step{}, static_cast<IShellView*>(this), out);
        if (riid == IID_IFolderView2) return Hand(folderViewQuery, static_cast<IFolderView2*>(folderView), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE GetItemObject(UINT item, REFIID riid, void** out) override {
        if (item != SVGIO_SELECTION || riid != IID_IDataObject) {
            *out = nullptr;
            return E_INVALIDARG;
        }
        return Hand(itemObject, static_cast<IDataObject*>(dataObject), out);
    }
    FAKE_E_NOTIMPL(GetWindow, HWND*)
    FAKE_NOTIMPL_IOLEWINDOW
    FAKE_NOTIMPL_ISHELLVIEW
};

class ShellBrowser : public IShellBrowser, public Counted {
public:
    ShellBrowser() : Counted("ShellBrowser") {}
    HWND window = nullptr;  // IOleWindow::GetWindow; fails while null
    Step oleWindow;         // QueryInterface(IID_IOleWindow)
    ShellView* view = nullptr;
    Step activeView;  // QueryActiveShellView

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IShellBrowser) return Hand(Step{}, static_cast<IShellBrowser*>(this), out);
        if (riid == IID_IOleWindow) return Hand(oleWindow, static_cast<IOleWindow*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
        *out = window;
        return window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE QueryActiveShellView(IShellView** out) override {
        return Hand(activeView, static_cast<IShellView*>(view), reinterpret_cast<void**>(out));
    }
    FAKE_NOTIMPL_IOLEWINDOW
    FAKE_NOTIMPL_ISHELLBROWSER
};

// One entry of the window list (or the desktop): the dispatch object with its browser-app and
// service-provider faces.
class WindowItem : public IWebBrowserApp, public IServiceProvider, public Counted {
public:
    WindowItem() : Counted("WindowItem") {}
    Step item;  // how the window list hands this entry out
    Step browserApp;       // QueryInterface(IID_IWebBrowserApp)
    HWND topWindow = nullptr;  // get_HWND; fails while null
    Step serviceProvider;  // QueryInterface(IID_IServiceProvider)
    Step topLevelBrowser;  // QueryService(SID_STopLevelBrowser, IID_IShellBrowser)
    ShellBrowser* browser = nullptr;

    IDispatch* dispatch() { return static_cast<IWebBrowserApp*>(this); }
    IServiceProvider* provider() { return this; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) return Hand(Step{}, dispatch(), out);
        if (riid == IID_IWebBrowserApp) return Hand(browserApp, static_cast<IWebBrowserApp*>(this), out);
        if (riid == IID_IServiceProvider) return Hand(serviceProvider, provider(), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* out) override {
        if (!topWindow) return E_FAIL;
        *out = reinterpret_cast<SHANDLE_PTR>(topWindow);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** out) override {
        if (service != SID_STopLevelBrowser || riid != IID_IShellBrowser) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return Hand(topLevelBrowser, static_cast<IShellBrowser*>(browser), out);
    }
    FAKE_NOTIMPL_IDISPATCH
    FAKE_NOTIMPL_IWEBBROWSER
    FAKE_NOTIMPL_IWEBBROWSERAPP
};

class ShellWindows : public IShellWindows, public Counted {
public:
    ShellWindows() : Counted("ShellWindows") {}
    std::vector<WindowItem*> items;
    WindowItem* desktop = nullptr;  // FindWindowSW(SWC_DESKTOP, SWFO_NEEDDISPATCH); S_FALSE while null
    Step findDesktop;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IShellWindows)
            return Hand(Step{}, static_cast<IShellWindows*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE get_Count(LONG* n) override {
        *n = static_cast<LONG>(items.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(VARIANT index, IDispatch** out) override {
        *out = nullptr;
        if (index.vt != VT_I4 || index.lVal < 0 || static_cast<size_t>(index.lVal) >= items.size()) return E_INVALIDARG;
        WindowItem* entry = items[static_cast<size_t>(index.lVal)];
        return Hand(entry->item, entry->dispatch(), reinterpret_cast<void**>(out));
    }
    HRESULT STDMETHODCALLTYPE FindWindowSW(VARIANT* location, VARIANT* root, int swClass, LONG* hwnd, int options,
                                           IDispatch** out) override {
        *out = nullptr;
        *hwnd = 0;
        if (location->vt != VT_EMPTY || root->vt != VT_EMPTY || swClass != SWC_DESKTOP || options != SWFO_NEEDDISPATCH)
            return E_INVALIDARG;
        if (!desktop && SUCCEEDED(findDesktop.hr)) return S_FALSE;
        return Hand(findDesktop, desktop ? desktop->dispatch() : nullptr, reinterpret_cast<void**>(out));
    }
    FAKE_NOTIMPL_IDISPATCH
    FAKE_NOTIMPL_ISHELLWINDOWS
};

#undef FAKE_COUNTED_REFS
#undef FAKE_E_NOTIMPL
#undef FAKE_NOTIMPL_IDISPATCH
#undef FAKE_NOTIMPL_ISHELLWINDOWS
#undef FAKE_NOTIMPL_IWEBBROWSER
#undef FAKE_NOTIMPL_IWEBBROWSERAPP
#undef FAKE_NOTIMPL_IOLEWINDOW
#undef FAKE_NOTIMPL_ISHELLBROWSER
#undef FAKE_NOTIMPL_ISHELLVIEW
#undef FAKE_NOTIMPL_IFOLDERVIEW
#undef FAKE_NOTIMPL_IFOLDERVIEW2
#undef FAKE_NOTIMPL_ISHELLITEMARRAY
#undef FAKE_NOTIMPL_ISHELLITEM
#undef FAKE_NOTIMPL_IDATAOBJECT

// Real windows with the classes the detection looks for: top-level Explorer windows and their
// tab windows. The top-level class is registered in lower case on purpose: class names keep the
// case of their registration, and the detection must match them regardless of it.
inline constexpr wchar_t kTopClass[] = L"cabinetwclass";
inline constexpr wchar_t kTabClass[] = L"ShellTabWindowClass";
inline constexpr wchar_t kOtherClass[] = L"TarvixFakeOtherApp";

class Windows {
public:
    Windows() {
        for (const wchar_t* name : {kTopClass, kTabClass, kOtherClass}) {
            WNDCLASSEXW wc = {sizeof(wc)};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = name;
            RegisterClassExW(&wc);  // fails harmlessly when an earlier test registered it
        }
    }
    ~Windows() {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) DestroyWindow(*it);
    }
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    HWND Top(const wchar_t* cls = kTopClass) {
        return Make(cls, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, WS_POPUP | WS_VISIBLE, nullptr);
    }
    HWND Child(HWND parent, bool visible, const wchar_t* cls = kTabClass) {
        return Make(cls, 0, WS_CHILD | (visible ? WS_VISIBLE : 0), parent);
    }

private:
    HWND Make(const wchar_t* cls, DWORD exStyle, DWORD style, HWND parent) {
        HWND h = CreateWindowExW(exStyle, cls, L"", style, -200, -200, 40, 30, parent, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        if (h) made_.push_back(h);
        return h;
    }
    std::vector<HWND> made_;
};

}  // namespace fake
