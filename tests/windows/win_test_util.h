// Helpers for the Win32 tests: temporary folders, whole-file reads and writes, a private temp dir.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <optional>
#include <string>

#include "base/text.h"

// Live GDI objects of this process. Where the system does not count them (GetGuiResources
// answers 0 under some compatibility layers), probe every handle slot with GetObjectType.
inline size_t CountGdiObjects() {
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (n > 0) return n;
    size_t live = 0;
    for (uintptr_t slot = 1; slot < 0x10000; ++slot)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0) ++live;
    return live;
}

inline bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(h);
    return ok;
}

inline std::string NarrowPath(const std::wstring& path) { return WideToUtf8(path); }

inline HRESULT SHGetFolderPathWrapper(wchar_t (&out)[MAX_PATH]) {
    return SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, out);
}

// A fresh folder under the system temp folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static int counter = 0;
        path_ = std::wstring(base) + L"tarvix-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        // Wine reuses process ids: a folder left by a killed run must not leak into this one.
        RemoveTree(path_);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return path_; }

    static void RemoveTree(const std::wstring& dir) {
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &fd);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = fd.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring full = dir + L"\\" + name;
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
                else DeleteFileW(full.c_str());
            } while (FindNextFileW(find, &fd));
            FindClose(find);
        }
        RemoveDirectoryW(dir.c_str());
    }

private:
    std::wstring path_;
};

// Points the process's temp folder (and so the log file) at a fresh folder for one test.
class TempDirRedirect {
public:
    TempDirRedirect() {
        GetEnvironmentVariableW(L"TMP", oldTmp_, MAX_PATH);
        GetEnvironmentVariableW(L"TEMP", oldTemp_, MAX_PATH);
        SetEnvironmentVariableW(L"TMP", folder_.path().c_str());
        SetEnvironmentVariableW(L"TEMP", folder_.path().c_str());
    }
    ~TempDirRedirect() {
        SetEnvironmentVariableW(L"TMP", oldTmp_[0] ? oldTmp_ : nullptr);
        SetEnvironmentVariableW(L"TEMP", oldTemp_[0] ? oldTemp_ : nullptr);
    }
    TempDirRedirect(const TempDirRedirect&) = delete;
    TempDirRedirect& operator=(const TempDirRedirect&) = delete;

private:
    TempFolder folder_;
    wchar_t oldTmp_[MAX_PATH] = {};
    wchar_t oldTemp_[MAX_PATH] = {};
};

// The log file as LogMessage finds it right now.
inline std::wstring TempLogPath() {
    wchar_t dir[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir, n) + L"TarvixTool.log";
}

// Puts a file that a test writes back as it was (or removes it) when the test ends.
class KeepFile {
public:
    explicit KeepFile(std::wstring path)
        : path_(std::move(path)), hadFile_(FileExists(path_)), saved_(ReadFileBytes(path_)) {}
    ~KeepFile() {
        SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path_.c_str());
        if (hadFile_) WriteFileBytes(path_, saved_);
    }
    KeepFile(const KeepFile&) = delete;
    KeepFile& operator=(const KeepFile&) = delete;

private:
    std::wstring path_;
    bool hadFile_;
    std::string saved_;
};

// The log as text, for counting the lines a run wrote.
inline std::wstring LogText() {
    std::wstring text;
    Utf8ToWide(ReadFileBytes(TempLogPath()), text);
    return text;
}

inline size_t Count(const std::wstring& text, const std::wstring& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::wstring::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}
