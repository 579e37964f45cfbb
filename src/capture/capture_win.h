// Screen tools: the area crop on a dimmed picture of the screen, and the full-screen shot.
// Win32 side. Both save PNG files where the user chooses in the save dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/win_handles.h"
#include "capture/capture.h"

// Opens the full-screen overlay on a picture of the primary screen taken now; returns at once.
// The drag, the save dialog and the save happen in the overlay's own messages.
void StartAreaCrop();

// Takes the primary screen, then asks where to save it.
void CaptureFullScreen();

// The overlay while it is open, or null.
HWND AreaCropWindow();

// The primary screen from (0, 0) at width x height, in physical pixels; empty on failure.
ScopedGdiObject<HBITMAP> CaptureScreenPicture(int width, int height);

// The `area` of `picture` as PNG bytes. False on failure, which is logged under `action`.
bool EncodePngArea(const wchar_t* action, HBITMAP picture, const SelectionRect& area, std::vector<uint8_t>& png);

// Encodes the `area` of `picture` and writes it to `path`, replacing a file the user chose to
// replace. A failure is logged with its status and told to the user in a balloon; an existing
// file is only replaced once the whole new picture is written.
bool SaveScreenshotPng(const wchar_t* action, HBITMAP picture, const SelectionRect& area, const wchar_t* path);
