// Times images to PDF (the whole action: decode, turn, flatten, encode, write) on every *.jpg of
// a folder, and reports the process's peak memory. Usage: winbench_pdf <folder>
// The output PDF is removed afterwards, so runs can be repeated on the same folder.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/gdiplus_flat.h"
#include "imaging/output_naming.h"
#include "pdf/pdf_actions_win.h"
#include "targets/targets_win.h"

namespace {

std::vector<std::wstring> JpegsIn(const std::wstring& folder) {
    std::vector<std::wstring> paths;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\*.jpg").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return paths;
    do paths.push_back(folder + L"\\" + fd.cFileName);
    while (FindNextFileW(find, &fd));
    FindClose(find);
    std::sort(paths.begin(), paths.end());
    return paths;
}

double Megabytes(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) {
        std::fprintf(stderr, "usage: winbench_pdf <folder with *.jpg>\n");
        return 2;
    }
    const std::vector<std::wstring> photos = JpegsIn(argv[1]);
    LocalFree(argv);
    if (photos.empty()) {
        std::fprintf(stderr, "no *.jpg in the folder\n");
        return 2;
    }

    CoInitialize(nullptr);
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    GdiplusStartup(&token, &input, nullptr);

    // The name the action will choose, worked out the same way beforehand.
    wchar_t output[kOutputPathCapacity];
    if (!MakeOutputPath(photos.front(), L"-merged", L"pdf", output, kOutputPathCapacity)) return 1;

    targets = photos;
    const auto start = std::chrono::steady_clock::now();
    ExecutePdf();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    targets.clear();

    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    const bool written = GetFileAttributesExW(output, GetFileExInfoStandard, &attributes) != FALSE;
    const double outputMb =
        written ? Megabytes((static_cast<SIZE_T>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow) : 0.0;
    DeleteFileW(output);

    PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    GdiplusShutdown(token);
    CoUninitialize();

    if (!written) {
        std::fprintf(stderr, "no PDF was written; see TarvixTool.log in the temporary folder\n");
        return 1;
    }
    std::printf("pages %zu\nseconds %.3f\nseconds_per_page %.4f\noutput_mb %.1f\npeak_working_set_mb %.1f\n"
                "peak_pagefile_mb %.1f\n",
                photos.size(), seconds, seconds / static_cast<double>(photos.size()), outputMb,
                Megabytes(counters.PeakWorkingSetSize), Megabytes(counters.PeakPagefileUsage));
    return 0;
}
