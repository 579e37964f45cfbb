// Application shell: start-up, tray icon and menu, message loop. Win32 side.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "base/notify_win.h"

// Tray icon notifications arrive as this message.
constexpr UINT WM_TRAYICON = WM_USER + 1;

// The program icon in the resources.
constexpr UINT kAppIconId = 1;

constexpr UINT IDM_EXIT = 1001;
constexpr UINT IDM_ABOUT = 1002;
constexpr UINT IDM_SETTINGS = 1003;

extern HINSTANCE appInstance;
extern HWND trayWindow;

// Runs the program: start-up, message loop, shut-down. Returns the exit code.
int AppMain(HINSTANCE instance);
LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The about text with the build stamp.
void FormatAboutText(wchar_t* buffer, size_t capacity);
