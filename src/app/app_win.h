// Application shell: start-up, tray icon, menu, balloons. Win32 side.
#pragma once

#include <windows.h>
#include <shellapi.h>

// Tray icon notifications arrive as this message.
constexpr UINT WM_TRAYICON = WM_USER + 1;

constexpr UINT IDM_EXIT = 1001;
constexpr UINT IDM_ABOUT = 1002;
constexpr UINT IDM_SETTINGS = 1003;

constexpr UINT kTrayIconId = 1;

extern HINSTANCE appInstance;
extern HWND trayWindow;

// Runs the program: start-up, message loop, shut-down. Returns the exit code.
int AppMain(HINSTANCE instance);
LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Title cut to 63 and text to 255 characters, as the notification record holds them.
void ShowTrayBalloon(const wchar_t* title, const wchar_t* text);
// The notification record of a balloon: info flags, title and text cut to what the record holds.
void FillBalloonRecord(NOTIFYICONDATAW& nid, HWND owner, const wchar_t* title, const wchar_t* text);
// The about text with the build stamp.
void FormatAboutText(wchar_t* buffer, size_t capacity);
