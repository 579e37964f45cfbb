#include "base/log_line.h"

std::string BuildLogLine(const LogTime& time, const wchar_t* format, FormatArgs& args) {
    wchar_t prefix[64];
    FormatText(prefix, 64, L"[%04d-%02d-%02d %02d:%02d:%02d.%03d] ", time.year, time.month, time.day, time.hour,
               time.minute, time.second, time.millisecond);
    std::wstring text = prefix;
    AppendFormatV(text, format, args);
    // The log is a Windows text file: CR LF line ends, as a text-mode stream would write them.
    text += L"\r\n";
    return WideToUtf8(text);
}
