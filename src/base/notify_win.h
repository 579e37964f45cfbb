// What the actions tell the user through the tray icon: balloons and a progress tooltip.
// Win32 side. The shell registers the icon's window here at start-up.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>

constexpr UINT kTrayIconId = 1;
extern const wchar_t kTrayTip[];

// The window that owns the tray icon; null until the icon exists (then balloons are dropped).
void SetNotifyWindow(HWND owner);

// Title cut to 63 and text to 255 characters, as the notification record holds them.
void ShowTrayBalloon(const wchar_t* title, const wchar_t* text);
// The notification record of a balloon: info flags, title and text cut to what the record holds.
void FillBalloonRecord(NOTIFYICONDATAW& nid, HWND owner, const wchar_t* title, const wchar_t* text);

// A run that wrote no file at all (every input failed) says so, instead of leaving it to the log.
void ShowNothingWrittenBalloon(const wchar_t* action, size_t inputCount);

// "<action> n / N" as the icon's tooltip while a run over several files goes on.
void ShowActionProgress(const wchar_t* action, size_t done, size_t total);
// Back to the program's own tooltip.
void RestoreTrayTip();

// Shows progress for one run and puts the normal tooltip back on every way out.
class ActionProgress {
public:
    ActionProgress(const wchar_t* action, size_t total) : action_(action), total_(total) {}
    ~ActionProgress() {
        if (shown_) RestoreTrayTip();
    }
    ActionProgress(const ActionProgress&) = delete;
    ActionProgress& operator=(const ActionProgress&) = delete;
    // Called as item `index` (from 0) starts; a single item shows nothing.
    void Step(size_t index) {
        if (total_ < 2) return;
        ShowActionProgress(action_, index + 1, total_);
        shown_ = true;
    }

private:
    const wchar_t* action_;
    size_t total_;
    bool shown_ = false;
};
