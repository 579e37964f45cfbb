#include <windows.h>
#include <shlobj.h>

#include "base/log_line.h"
#include "base/win_handles.h"
#include "config/config_file.h"

namespace {

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        LogMessage(L"LoadWheelConfig: cannot open %ls, using the defaults and leaving the file as it is, err=%lu", path.c_str(), GetLastError());
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) {
        LogMessage(L"LoadWheelConfig: cannot read the size of %ls, using the defaults and leaving the file as it is, err=%lu", path.c_str(),
                   GetLastError());
        return false;
    }
    // Parsing costs many times the file's size in memory; a configuration is a few kilobytes.
    if (size.QuadPart > static_cast<LONGLONG>(kMaxConfigFileBytes)) {
        LogMessage(L"LoadWheelConfig: %ls is %lld bytes, more than the %lu a configuration may have; using the defaults and leaving the file as it is",
                   path.c_str(), static_cast<long long>(size.QuadPart), static_cast<unsigned long>(kMaxConfigFileBytes));
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t filled = 0;
    while (filled < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled), &got, nullptr)) {
            LogMessage(L"LoadWheelConfig: cannot read %ls, using the defaults and leaving the file as it is, err=%lu", path.c_str(), GetLastError());
            return false;
        }
        if (got == 0) break;  // the file shrank since its size was taken
        filled += got;
    }
    bytes.resize(filled);
    return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes, DWORD& error) {
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = GetLastError();
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(file.get())) {
        error = GetLastError();
        if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
        return false;
    }
    return true;
}

}  // namespace

std::wstring GetConfigFilePath() {
    wchar_t appData[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData))) return L"config.ini";
    std::wstring folder = appData;
    folder += L"\\TarvixTool";
    CreateDirectoryW(folder.c_str(), nullptr);  // fails harmlessly when it already exists
    return folder + L"\\config.ini";
}

namespace {

// Puts the completely written copy in place of the file. Replacing keeps what the user set on
// the old file (attributes, permissions); a first save simply moves the copy into place.
bool SwapIn(const std::wstring& path, const std::wstring& temp, bool replace, DWORD& error) {
    if (replace ? ReplaceFileW(path.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                : MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH))
        return true;
    error = GetLastError();
    // A replace can fail after it removed the old file; the copy is then all there is.
    return !PathExists(path) && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
}

}  // namespace

bool SaveWheelConfig() {
    std::wstring path = GetConfigFilePath();
    // Write beside the file and swap it in, so a full disk or a crash never leaves half a file.
    std::wstring temp = path + L".new";
    DWORD error = ERROR_SUCCESS;
    bool ok = false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        // Replacing a read-only file would succeed for an administrator on some file systems;
        // the user's read-only mark means "do not change it" everywhere.
        error = ERROR_ACCESS_DENIED;
    } else if (!WriteWholeFile(temp, SerializeWheelConfig(wheelConfig), error)) {
        DeleteFileW(temp.c_str());  // an unfinished copy is worth nothing
    } else {
        ok = SwapIn(path, temp, attributes != INVALID_FILE_ATTRIBUTES, error);
        // A complete copy is kept only when it is the sole remaining version of the settings.
        if (!ok && PathExists(path)) DeleteFileW(temp.c_str());
    }
    if (!ok) {
        LogMessage(L"SaveWheelConfig: FAILED to save %ls, err=%lu", path.c_str(), error);
        return false;
    }
    LogMessage(L"SaveWheelConfig: saved to %ls", path.c_str());
    return true;
}

void LoadWheelConfig() {
    std::wstring path = GetConfigFilePath();
    ConfigFileAccess access{[&] { return PathExists(path); },
                            [&](std::string& bytes) { return ReadWholeFile(path, bytes); },
                            [](const WheelConfig&) { return SaveWheelConfig(); }};
    LoadWheelConfigWith(access, wheelConfig);
}
