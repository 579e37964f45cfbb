// Explorer selection detection against the shell this process really runs with.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "pdf/pdf_actions_win.h"
#include "targets/explorer_win.h"
#include "targets/image_filter.h"
#include "targets/targets_win.h"
#include "win_test_util.h"

namespace {

std::vector<std::string> LogLinesWithoutStamps() {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(TempLogPath()));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // "[YYYY-MM-DD hh:mm:ss.mmm] " comes first on every line.
        lines.push_back(line.size() > 26 ? line.substr(26) : line);
    }
    return lines;
}

std::string Pointer(const void* p) {
    char text[32];
    snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

}  // namespace

TEST(ExplorerRealShell, DetectionAnswersPromptlyAndLogsWhatTheShellOffers) {
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const struct {
        HWND foreground;
        std::string firstLine;
    } cases[] = {
        {GetDesktopWindow(), "DetectSelectedFiles: hForeground=" + Pointer(GetDesktopWindow()) + ", Class=#32769"},
        {nullptr, "DetectSelectedFiles: hForeground=0000000000000000, Class="},
    };
    for (const auto& c : cases) {
        TempDirRedirect temp;
        const auto start = std::chrono::steady_clock::now();
        DetectedSelection found = DetectSelectedFiles(c.foreground);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, std::chrono::seconds(10)) << "the wheel waits for the detection";

        std::vector<std::string> lines = LogLinesWithoutStamps();
        ASSERT_GE(lines.size(), 3u);
        std::string all;
        for (const std::string& l : lines) all += l + "\n";
        EXPECT_EQ(lines[0], c.firstLine) << all;
        EXPECT_EQ(lines[1].rfind("CoCreateInstance(CLSID_ShellWindows) hr=0x", 0), 0u) << all;
        const bool created = lines[1].find("hr=0x0") != std::string::npos && lines[1].find("pSW=0000000000000000") == std::string::npos;
        if (created) {
            EXPECT_EQ(lines[2].rfind("IShellWindows count=", 0), 0u) << all;
        }

        // The closing line states what was returned (a line about kept PDFs may follow it).
        std::string closing;
        for (const std::string& l : lines)
            if (l.rfind("DetectSelectedFiles returning ", 0) == 0) closing = l;
        if (found.images.empty()) {
            EXPECT_EQ(closing, "DetectSelectedFiles returning empty vector") << all;
            if (created) {
                EXPECT_NE(all.find("FindWindowSW(SWC_DESKTOP) hr=0x"), std::string::npos) << all;
            }
        } else {
            EXPECT_NE(closing.find("(count=" + std::to_string(found.images.size()) + ")"), std::string::npos) << all;
        }
        for (const std::wstring& path : found.images) EXPECT_TRUE(IsImageFile(path));
        std::cout << "shell offered " << found.images.size() << " image(s), " << found.pdfs.size() << " PDF(s): "
                  << lines[1] << "\n";
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

TEST(ExplorerRealShell, PdfSplitTakesThePdfsSelectedAtTheOpeningWithoutADialog) {
    // An image and two PDFs selected: the image is the wheel's target, the PDFs go to the split directly
    // (a picker would block this test).
    KeepDetectedSelection({{L"C:\\d\\p.png"}, {L"C:\\d\\a.pdf", L"C:\\d\\B.PDF"}});
    EXPECT_EQ(targets, std::vector<std::wstring>{L"C:\\d\\p.png"});
    EXPECT_EQ(CollectPdfTargets(), (std::vector<std::wstring>{L"C:\\d\\a.pdf", L"C:\\d\\B.PDF"}));
    // Without selected PDFs, those among the targets still count.
    KeepDetectedSelection({{L"C:\\d\\p.png", L"C:\\d\\c.pdf"}, {}});
    EXPECT_EQ(CollectPdfTargets(), std::vector<std::wstring>{L"C:\\d\\c.pdf"});
    KeepDetectedSelection({});
}
