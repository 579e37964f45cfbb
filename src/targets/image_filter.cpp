#include "targets/image_filter.h"

namespace {

constexpr std::wstring_view kImageExtensions[] = {L"png", L"jpg",  L"jpeg", L"webp", L"bmp",  L"ico",
                                                  L"tif", L"tiff", L"jfif", L"gif",  L"heic", L"avif"};

}  // namespace

bool IsImageFile(std::wstring_view path) {
    size_t dot = path.rfind(L'.');
    if (dot == std::wstring_view::npos) return false;
    std::wstring_view ext = path.substr(dot + 1);
    // Longest known extension is four letters; anything longer cannot match.
    if (ext.size() > 4) return false;
    wchar_t lower[4];
    for (size_t i = 0; i < ext.size(); ++i) {
        wchar_t c = ext[i];
        lower[i] = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    }
    std::wstring_view e(lower, ext.size());
    for (std::wstring_view known : kImageExtensions)
        if (e == known) return true;
    return false;
}
