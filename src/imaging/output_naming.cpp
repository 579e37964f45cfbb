#include "imaging/output_naming.h"

#include <cwchar>

bool SplitPathParts(std::wstring_view path, PathParts& parts) {
    parts = {};
    if (path.size() >= 2 && path[1] == L':') {
        parts.drive = path.substr(0, 2);
        path.remove_prefix(2);
    }
    size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring_view::npos) {
        parts.dir = path.substr(0, slash + 1);
        path.remove_prefix(slash + 1);
    }
    size_t dot = path.rfind(L'.');
    if (dot != std::wstring_view::npos) {
        parts.ext = path.substr(dot);
        path = path.substr(0, dot);
    }
    parts.stem = path;
    return parts.dir.size() <= kMaxPathPartLength && parts.stem.size() <= kMaxPathPartLength &&
           parts.ext.size() <= kMaxPathPartLength;
}

bool MakeOutputPath(std::wstring_view input, std::wstring_view suffix, std::wstring_view ext, wchar_t* out,
                    size_t capacity, const PathExistsFn& exists) {
    if (out && capacity > 0) out[0] = 0;
    PathParts parts;
    if (!out || capacity == 0 || !SplitPathParts(input, parts)) return false;

    std::wstring head = parts.drive + parts.dir + parts.stem;
    head += suffix;
    std::wstring candidate = head + L"." + std::wstring(ext);
    for (int n = 0; n <= kMaxOutputCounter; ++n) {
        if (n > 0) {
            candidate = head;
            candidate += L"-" + std::to_wstring(n) + L"." + std::wstring(ext);
        }
        // Candidates only grow with n; once one is too long, none after it fits.
        if (candidate.size() >= capacity) return false;
        if (!exists(candidate)) {
            std::wmemcpy(out, candidate.c_str(), candidate.size() + 1);
            return true;
        }
    }
    return false;
}
