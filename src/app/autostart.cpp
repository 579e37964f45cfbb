#include "app/autostart.h"

#include <cwctype>

const wchar_t kRunValueName[] = L"TarvixTool";

namespace {

std::wstring Trimmed(const std::wstring& text) {
    size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    size_t last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}

// Paths on Windows compare without regard to case.
bool SamePath(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i] == L'/' ? L'\\' : a[i];
        wchar_t y = b[i] == L'/' ? L'\\' : b[i];
        if (std::towlower(x) != std::towlower(y)) return false;
    }
    return true;
}

}  // namespace

std::wstring RunCommandFor(const std::wstring& exePath) {
    if (exePath.empty()) return {};
    for (wchar_t c : exePath) {
        // A quote would end the quoted path early and turn the rest into arguments.
        if (c == L'"' || c < 0x20) return {};
    }
    return L"\"" + exePath + L"\"";
}

std::wstring RunValueProgram(const std::wstring& value) {
    std::wstring text = Trimmed(value);
    if (text.empty() || text[0] != L'"') return text;
    size_t close = text.find(L'"', 1);
    return close == std::wstring::npos ? text.substr(1) : text.substr(1, close - 1);
}

AutostartState AutostartStateFrom(RunValueRead read, const std::wstring& value, const std::wstring& exePath) {
    switch (read) {
    case RunValueRead::Absent: return AutostartState::Off;
    case RunValueRead::Unreadable: return AutostartState::Unknown;
    case RunValueRead::Present: break;
    }
    std::wstring program = RunValueProgram(value);
    // An empty value starts nothing.
    if (program.empty()) return AutostartState::Off;
    return !exePath.empty() && SamePath(program, exePath) ? AutostartState::On : AutostartState::OtherPath;
}
