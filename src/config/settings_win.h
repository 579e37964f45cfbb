// The settings window: edits the sectors of both wheel layers in the live configuration. Win32 side.
#pragma once

#include <windows.h>

extern const wchar_t kSettingsWindowClass[];

// Control ids of the window.
constexpr int IDC_SETTINGS_TABS = 3001;
constexpr int IDC_SETTINGS_LIST = 3002;
constexpr int IDC_SETTINGS_LABEL = 3003;
constexpr int IDC_SETTINGS_TARGET = 3004;
constexpr int IDC_SETTINGS_ADD = 3005;
constexpr int IDC_SETTINGS_DELETE = 3006;
constexpr int IDC_SETTINGS_SAVE = 3007;
constexpr int IDC_SETTINGS_RESET = 3008;

// Opens the window, or brings the open one to the front: there is never a second one.
void OpenSettingsWindow();
// The open window, or null.
HWND CurrentSettingsWindow();
// Refills the list from the selected layer.
void RefreshSectorList();
LRESULT CALLBACK SettingsWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
