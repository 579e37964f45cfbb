#include "targets/targets_win.h"

std::vector<std::wstring> targets;

std::vector<std::wstring> DetectSelectedFiles(HWND) {
    // Explorer's selection is not read yet: every opening starts without files, and the
    // actions fall back to their file pickers.
    return {};
}
