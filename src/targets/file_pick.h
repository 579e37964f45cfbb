// What the open-file dialog hands back, as a list of full paths, and the PDF filter for targets.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The dialog's multi-select buffer: zero-terminated strings ending with an empty one. One string is
// the full path of the single chosen file; several are the folder followed by names in it, each
// joined as folder + "\" + name (the separator is always added). Nothing is read at or past
// `capacity` characters, even when the final empty string is missing.
std::vector<std::wstring> ParsePickedFiles(const wchar_t* buffer, size_t capacity);

// At least four characters whose last four, lowered with towlower, read ".pdf".
bool IsPdfPath(std::wstring_view path);

// The PDF paths of a list, in order.
std::vector<std::wstring> CollectPdfPaths(const std::vector<std::wstring>& paths);
