#include <windows.h>

#include "app/log_line.h"
#include "app/win_handles.h"

void LogMessage(const wchar_t* format, ...) {
    wchar_t tempDir[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, tempDir);
    if (n == 0 || n >= MAX_PATH) return;
    std::wstring path(tempDir, n);
    path += L"TarvixTool.log";

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
