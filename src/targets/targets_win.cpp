#include "targets/targets_win.h"

#include <utility>

std::vector<std::wstring> targets;
std::vector<std::wstring> selectedPdfs;

void KeepDetectedSelection(DetectedSelection found) {
    targets = std::move(found.images);
    selectedPdfs = std::move(found.pdfs);
}
