#include <windows.h>

#include "imaging/output_naming.h"

bool MakeOutputPath(std::wstring_view input, std::wstring_view suffix, std::wstring_view ext, wchar_t* out,
                    size_t capacity) {
    // A folder of that name counts as taken too.
    return MakeOutputPath(input, suffix, ext, out, capacity,
                          [](const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; });
}
