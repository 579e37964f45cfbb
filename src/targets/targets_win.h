// The input files of the media actions. Win32 side.
#pragma once

#include <string>
#include <vector>

#include "targets/explorer_win.h"

// Image paths detected when the wheel opened; emptied when it hides.
extern std::vector<std::wstring> targets;
// PDF paths selected in the same window at the same opening; only the PDF split reads them.
// Filled and emptied together with targets.
extern std::vector<std::wstring> selectedPdfs;

// What the opening does with a detection: the images become targets, the PDFs selectedPdfs, each
// replacing what an earlier opening left.
void KeepDetectedSelection(DetectedSelection found);
