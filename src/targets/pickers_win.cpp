#include "targets/pickers_win.h"

#include <commdlg.h>
#include <cderr.h>
#include <commctrl.h>
#include <dlgs.h>

#include <algorithm>

#include "base/log_line.h"
#include "targets/file_pick.h"
#include "targets/targets_win.h"

const wchar_t kImagePickerFilter[] =
    L"Image Files (*.png;*.jpg;*.jpeg;*.webp;*.bmp;*.jfif;*.gif;*.heic;*.avif)\0"
    L"*.png;*.jpg;*.jpeg;*.webp;*.bmp;*.jfif;*.gif;*.heic;*.avif\0"
    L"All Files (*.*)\0*.*\0";

namespace {

constexpr DWORD kStartCapacity = 8192;
// The dialog reports sizes up to this in its buffer-too-small answer; beyond it we double.
constexpr DWORD kMaxCapacity = 16 * 1024 * 1024;
constexpr int kMaxAttempts = 4;
constexpr UINT_PTR kSubclassId = 1;

// The result buffer and what the dialog last showed, shared by PickFiles and its hook.
struct PickState {
    std::vector<wchar_t> buffer;
    std::wstring folder;
    bool subclassed = false;
};

PickState* StateOf(const OPENFILENAMEW* ofn) { return ofn ? reinterpret_cast<PickState*>(ofn->lCustData) : nullptr; }

void ResetBuffer(PickState& state, OPENFILENAMEW& ofn, size_t capacity) {
    state.buffer.assign(capacity, L'\0');
    ofn.lpstrFile = state.buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(capacity);
}

// Makes the result buffer large enough for what the dialog would write now: the folder, then every
// name in the file-name box (whose quotes and spaces more than pay for the separators). Several
// versions of the dialog copy the selection without checking the size at all, so this must happen
// before the dialog fills the buffer, not when it reports that it did not fit.
void EnsureRoom(HWND dialog, OPENFILENAMEW* ofn) {
    PickState* state = StateOf(ofn);
    if (!state) return;
    const LRESULT folderLength = SendMessageW(dialog, CDM_GETFOLDERPATH, 0, 0);
    const LRESULT specLength = SendMessageW(dialog, CDM_GETSPEC, 0, 0);
    if (folderLength > 0) {
        std::wstring folder(static_cast<size_t>(folderLength), L'\0');
        SendMessageW(dialog, CDM_GETFOLDERPATH, folder.size(), reinterpret_cast<LPARAM>(folder.data()));
        folder.resize(wcsnlen(folder.c_str(), folder.size()));
        state->folder = folder;
    }
    const size_t needed = size_t(std::max<LRESULT>(folderLength, 0)) + size_t(std::max<LRESULT>(specLength, 0)) + MAX_PATH;
    if (needed <= ofn->nMaxFile || needed > kMaxCapacity) return;
    // The dialog has read its initial text already; the old contents are not needed.
    ResetBuffer(*state, *ofn, std::min<size_t>(std::max<size_t>(needed, size_t(ofn->nMaxFile) * 2), kMaxCapacity));
}

// The OK command reaches the dialog itself, not the hook; a typed list of names grows the buffer here.
LRESULT CALLBACK DialogSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) EnsureRoom(hwnd, reinterpret_cast<OPENFILENAMEW*>(data));
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, DialogSubclassProc, id);
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

UINT_PTR CALLBACK PickerHook(HWND hookDialog, UINT msg, WPARAM, LPARAM lParam) {
    if (msg != WM_NOTIFY) return 0;
    const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lParam);
    HWND dialog = GetParent(hookDialog);
    PickState* state = StateOf(notify->lpOFN);
    if (!state || !dialog) return 0;
    switch (notify->hdr.code) {
    case CDN_INITDONE:
        // Started from the hidden wheel, the dialog may open behind the window that had the focus
        // at the press; the user's typing belongs in the dialog.
        SetForegroundWindow(dialog);
        if (!state->subclassed)
            state->subclassed = SetWindowSubclass(dialog, DialogSubclassProc, kSubclassId,
                                                  reinterpret_cast<DWORD_PTR>(notify->lpOFN)) != FALSE;
        break;
    case CDN_SELCHANGE:
    case CDN_FOLDERCHANGE: EnsureRoom(dialog, notify->lpOFN); break;
    default: break;
    }
    return 0;
}

}  // namespace

std::vector<std::wstring> PickFiles(const wchar_t* filter, const wchar_t* title) {
    PickState state;
    DWORD capacity = kStartCapacity;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        OPENFILENAMEW ofn = {sizeof(ofn)};
        ResetBuffer(state, ofn, capacity);
        ofn.hwndOwner = nullptr;
        ofn.lpstrFilter = filter;
        ofn.nFilterIndex = 0;
        ofn.lpstrTitle = title;
        // A second showing starts where the user was, so only the selection has to be made again.
        ofn.lpstrInitialDir = state.folder.empty() ? nullptr : state.folder.c_str();
        // The hook lets the buffer grow with the selection; with a hook the dialog only sizes if asked.
        ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_ENABLEHOOK | OFN_ENABLESIZING;
        ofn.lpfnHook = PickerHook;
        ofn.lCustData = reinterpret_cast<LPARAM>(&state);
        state.subclassed = false;

        if (GetOpenFileNameW(&ofn)) return ParsePickedFiles(ofn.lpstrFile, ofn.nMaxFile);

        const DWORD err = CommDlgExtendedError();
        if (err == 0) return {};  // cancelled
        if (err != FNERR_BUFFERTOOSMALL) {
            LogMessage(L"PickFiles: GetOpenFileNameW failed, err=%lu", err);
            return {};
        }
        // The first character holds the size the selection needed (cut to 16 bits for very large ones).
        const DWORD required = ofn.lpstrFile ? static_cast<WORD>(ofn.lpstrFile[0]) : 0;
        const DWORD grown = std::max<DWORD>(required + 2, ofn.nMaxFile * 2);
        if (ofn.nMaxFile >= kMaxCapacity) break;
        LogMessage(L"PickFiles: selection did not fit %lu characters, asking again with %lu", ofn.nMaxFile,
                   std::min(grown, kMaxCapacity));
        capacity = std::min(grown, kMaxCapacity);
    }
    LogMessage(L"PickFiles: selection too large, nothing picked");
    return {};
}

std::vector<std::wstring> GetImageTargets() {
    if (!targets.empty()) return targets;
    return PickFiles(kImagePickerFilter, nullptr);
}
