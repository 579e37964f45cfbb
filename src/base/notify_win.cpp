#include "base/notify_win.h"

#include "base/text.h"

const wchar_t kTrayTip[] = L"Tarvix Tool v1.9 (Hold-Aim-Release)";

namespace {
HWND notifyWindow = nullptr;

void SetTip(const wchar_t* tip) {
    if (!notifyWindow) return;
    NOTIFYICONDATAW nid = {sizeof(nid)};
    nid.hWnd = notifyWindow;
    nid.uID = kTrayIconId;
    nid.uFlags = NIF_TIP;
    FormatText(nid.szTip, ARRAYSIZE(nid.szTip), L"%ls", tip);
    Shell_NotifyIconW(NIM_MODIFY, &nid);
}
}  // namespace

void SetNotifyWindow(HWND owner) { notifyWindow = owner; }

void FillBalloonRecord(NOTIFYICONDATAW& nid, HWND owner, const wchar_t* title, const wchar_t* text) {
    nid = {sizeof(nid)};
    nid.hWnd = owner;
    nid.uID = kTrayIconId;
    nid.uFlags = NIF_INFO;  // tooltip and icon stay as they are
    nid.dwInfoFlags = NIIF_INFO;
    FormatText(nid.szInfoTitle, ARRAYSIZE(nid.szInfoTitle), L"%ls", title ? title : L"");
    FormatText(nid.szInfo, ARRAYSIZE(nid.szInfo), L"%ls", text ? text : L"");
}

void ShowTrayBalloon(const wchar_t* title, const wchar_t* text) {
    if (!notifyWindow) return;
    NOTIFYICONDATAW nid;
    FillBalloonRecord(nid, notifyWindow, title, text);
    Shell_NotifyIconW(NIM_MODIFY, &nid);
}

void ShowNothingWrittenBalloon(const wchar_t* action, size_t inputCount) {
    wchar_t text[256];
    FormatText(text, ARRAYSIZE(text),
               L"%ls: tidak ada file yang berhasil dibuat dari %zu file. Detailnya ada di TarvixTool.log (folder Temp).",
               action, inputCount);
    ShowTrayBalloon(L"Tidak Ada File Dibuat", text);
}

void ShowActionProgress(const wchar_t* action, size_t done, size_t total) {
    wchar_t tip[128];
    FormatText(tip, ARRAYSIZE(tip), L"%ls %zu / %zu", action, done, total);
    SetTip(tip);
}

void RestoreTrayTip() { SetTip(kTrayTip); }
