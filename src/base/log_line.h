// The bytes of one log line, apart from where the line is written.
#pragma once

#include <string>

#include "base/text.h"

struct LogTime {
    int year, month, day, hour, minute, second, millisecond;
};

// "[YYYY-MM-DD hh:mm:ss.mmm] " + message + CR LF, encoded as UTF-8.
std::string BuildLogLine(const LogTime& time, const wchar_t* format, FormatArgs& args);

// Appends one line to the log file; never reports a failure (defined by the platform layer).
void LogMessage(const wchar_t* format, ...);
