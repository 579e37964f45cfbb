// The wheel window, its hook and its cycle. Win32 side.
#pragma once

#include <windows.h>

#include "wheel/wheel_state.h"

constexpr UINT WM_APP_OPENWHEEL = WM_APP + 1;
constexpr UINT WM_APP_WHEELSCROLL = WM_APP + 2;
constexpr UINT WM_APP_WHEELRELEASE = WM_APP + 3;

extern HWND wheelWindow;
extern HHOOK mouseHook;
extern WheelState wheelState;

bool RegisterWheelClass(HINSTANCE instance);
HWND CreateWheelWindow(HINSTANCE instance);

LRESULT CALLBACK MouseHookProc(int nCode, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK WheelWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

void HideWheel(HWND hwnd);
void HitTestWheel(HWND hwnd, int x, int y);
void DispatchWheelSelection(HWND hwnd);

// Draws the current state and presents it as the window's per-pixel-alpha content.
void RenderWheel(HWND hwnd);

// Time spent in the last RenderWheel, split for the benchmark (microseconds).
struct RenderTimings {
    double shapes = 0, texts = 0, present = 0, total = 0;
};
extern RenderTimings lastRenderTimings;
