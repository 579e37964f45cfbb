// The open-file dialogs of the media actions. Win32 side.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The open-file dialog for several existing files. `filter` is pairs of zero-terminated strings ending in an
// extra zero; `title` may be null. Full paths in the dialog's order; empty when cancelled.
std::vector<std::wstring> PickFiles(const wchar_t* filter, const wchar_t* title);

// The detected targets, or the image picker's choice when there are none.
std::vector<std::wstring> GetImageTargets();

// The image picker's filter: image files, then all files.
extern const wchar_t kImagePickerFilter[];
