// The input files of the media actions. Win32 side.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Image paths detected when the wheel opened; emptied when it hides.
extern std::vector<std::wstring> targets;

// The image files selected in the Explorer window that was in the foreground at the press.
std::vector<std::wstring> DetectSelectedFiles(HWND foreground);
