// Starting with Windows through the per-user Run key. Win32 side.
#include <windows.h>

#include <string>
#include <vector>

#include "app/app_win.h"
#include "app/autostart.h"
#include "base/log_line.h"
#include "base/win_handles.h"

const wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

namespace {

using ScopedRegKey = ScopedNullHandle<HKEY, &RegCloseKey>;

}  // namespace

std::wstring RunningExePath() {
    // The path may be longer than MAX_PATH; the call then cuts it and says so.
    std::vector<wchar_t> buffer(MAX_PATH);
    while (buffer.size() <= 32768) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            LogMessage(L"Autostart: GetModuleFileNameW failed, err=%lu", GetLastError());
            return {};
        }
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

AutostartState QueryAutostart(HKEY root, const wchar_t* subKey, const std::wstring& exePath) {
    DWORD bytes = 0;
    // REG_SZ alone still takes REG_EXPAND_SZ values, and gives them expanded, as the shell runs them.
    const DWORD flags = RRF_RT_REG_SZ;
    LONG err = RegGetValueW(root, subKey, kRunValueName, flags, nullptr, nullptr, &bytes);
    std::wstring value;
    if (err == ERROR_SUCCESS) {
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1);
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        err = RegGetValueW(root, subKey, kRunValueName, flags, nullptr, buffer.data(), &bytes);
        if (err == ERROR_SUCCESS) value.assign(buffer.data());
    }
    RunValueRead read = RunValueRead::Present;
    if (err == ERROR_FILE_NOT_FOUND) {
        read = RunValueRead::Absent;
    } else if (err != ERROR_SUCCESS) {
        LogMessage(L"Autostart: RegGetValueW(%ls) failed, err=%lu", kRunValueName, static_cast<unsigned long>(err));
        read = RunValueRead::Unreadable;
    }
    return AutostartStateFrom(read, value, exePath);
}

LONG WriteAutostart(HKEY root, const wchar_t* subKey, const std::wstring& exePath, bool on) {
    if (!on) {
        ScopedRegKey key;
        LONG err = RegOpenKeyExW(root, subKey, 0, KEY_SET_VALUE, key.put());
        if (err == ERROR_SUCCESS) err = RegDeleteValueW(key.get(), kRunValueName);
        // Nothing there is what was asked for.
        if (err == ERROR_FILE_NOT_FOUND) err = ERROR_SUCCESS;
        if (err != ERROR_SUCCESS) {
            LogMessage(L"Autostart: removing the Run value failed, err=%lu", static_cast<unsigned long>(err));
            return err;
        }
        LogMessage(L"Autostart: Run value removed");
        return ERROR_SUCCESS;
    }
    std::wstring command = RunCommandFor(exePath);
    if (command.empty()) {
        LogMessage(L"Autostart: the program path cannot be written as a Run value, err=%lu",
                   static_cast<unsigned long>(ERROR_BAD_PATHNAME));
        return ERROR_BAD_PATHNAME;
    }
    ScopedRegKey key;
    LONG err = RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (err == ERROR_SUCCESS) {
        DWORD bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
        err = RegSetValueExW(key.get(), kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()), bytes);
    }
    if (err != ERROR_SUCCESS) {
        LogMessage(L"Autostart: writing the Run value failed, err=%lu", static_cast<unsigned long>(err));
        return err;
    }
    LogMessage(L"Autostart: Run value set to %ls", command.c_str());
    return ERROR_SUCCESS;
}
