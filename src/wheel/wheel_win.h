// The wheel window and its cycle. Win32 side; the mouse hook that feeds it is in hook_thread_win.h.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "wheel/wheel_logic.h"
#include "wheel/wheel_state.h"

// wParam: the press point (PackPressPoint); lParam: the window in the foreground at the press.
constexpr UINT WM_APP_OPENWHEEL = WM_APP + 1;
constexpr UINT WM_APP_WHEELSCROLL = WM_APP + 2;
constexpr UINT WM_APP_WHEELRELEASE = WM_APP + 3;

extern HWND wheelWindow;
extern WheelState wheelState;

bool RegisterWheelClass(HINSTANCE instance);
HWND CreateWheelWindow(HINSTANCE instance);

LRESULT CALLBACK WheelWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Runs a media action on targets; replaceable so that tests can see what an action receives.
using MediaActionRunner = void (*)(MediaAction action, const std::wstring& argument);
extern MediaActionRunner mediaActionRunner;
// The real actions: conversion, compression, images to PDF and PDF split.
void RunMediaAction(MediaAction action, const std::wstring& argument);

void HideWheel(HWND hwnd);
void HitTestWheel(HWND hwnd, int x, int y);
void DispatchWheelSelection(HWND hwnd);

// Draws the current state at wheelState.dpi and presents it as the window's per-pixel-alpha
// content, centred on the press point.
void RenderWheel(HWND hwnd);
// The DPI of the monitor nearest to a screen point (the system DPI where monitors have none of
// their own): the wheel opened there is drawn at it.
int32_t MonitorDpiAt(ScreenPoint point);
// The face the renderer draws an icon glyph in: the first of its chain that has the glyph,
// else the label face. Resolved once per glyph and process.
const std::wstring& IconFaceFor(std::wstring_view glyph);

struct WheelPicture;
struct RenderTimings;
// Paints the picture into picture.metrics.size squared premultiplied ARGB pixels (top-down rows);
// false when the graphics library cannot draw there. Every drawing object is released before it
// returns.
bool PaintWheelPicture(void* bits, const WheelPicture& picture, RenderTimings* timings);

// Time spent in the last RenderWheel, split for the benchmark (microseconds).
struct RenderTimings {
    double shapes = 0, texts = 0, present = 0, total = 0;
};
extern RenderTimings lastRenderTimings;
