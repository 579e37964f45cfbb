#include "targets/file_pick.h"

#include <cwctype>

std::vector<std::wstring> ParsePickedFiles(const wchar_t* buffer, size_t capacity) {
    std::vector<std::wstring> strings;
    if (!buffer) return {};
    size_t pos = 0;
    while (pos < capacity && buffer[pos] != 0) {
        size_t end = pos;
        while (end < capacity && buffer[end] != 0) ++end;
        strings.emplace_back(buffer + pos, end - pos);
        pos = end + 1;
    }
    if (strings.size() <= 1) return strings;

    std::vector<std::wstring> paths;
    paths.reserve(strings.size() - 1);
    for (size_t i = 1; i < strings.size(); ++i) paths.push_back(strings[0] + L"\\" + strings[i]);
    return paths;
}

bool IsPdfPath(std::wstring_view path) {
    if (path.size() < 4) return false;
    const wchar_t* tail = path.data() + path.size() - 4;
    return tail[0] == L'.' && std::towlower(tail[1]) == L'p' && std::towlower(tail[2]) == L'd' &&
           std::towlower(tail[3]) == L'f';
}

std::vector<std::wstring> CollectPdfPaths(const std::vector<std::wstring>& paths) {
    std::vector<std::wstring> pdfs;
    for (const std::wstring& path : paths)
        if (IsPdfPath(path)) pdfs.push_back(path);
    return pdfs;
}
