#include <windows.h>

#include "base/log_line.h"
#include "base/win_handles.h"

void LogMessage(const wchar_t* format, ...) {
    wchar_t tempDir[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, tempDir);
    if (n == 0 || n >= MAX_PATH) return;
    std::wstring path(tempDir, n);
    path += L"TarvixTool.log";

    // A log the user marked read-only is left alone (checked here too because not every
    // file system refuses the write by itself, for instance for an administrator).
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return;

    // Opened and closed per line so another program may read, move or delete the log at any time.
    ScopedHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;

    SYSTEMTIME st;
    GetLocalTime(&st);
    LogTime time{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    FormatArgs args;
    va_start(args.ap, format);
    std::string line = BuildLogLine(time, format, args);
    va_end(args.ap);

    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
