// Stands in for the taskbar: the notification call hands each record to a window of the class
// "Shell_TrayWnd", so the tests can see which balloons and tooltips the program asked for.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/notify_win.h"

class FakeTray {
public:
    FakeTray() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Shell_TrayWnd";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
        records().clear();
        SetNotifyWindow(hwnd_);
    }
    ~FakeTray() {
        SetNotifyWindow(nullptr);
        if (hwnd_) DestroyWindow(hwnd_);
        UnregisterClassW(L"Shell_TrayWnd", GetModuleHandleW(nullptr));
    }
    FakeTray(const FakeTray&) = delete;
    FakeTray& operator=(const FakeTray&) = delete;
    HWND hwnd() const { return hwnd_; }
    // Whether any record handed over carried this text.
    static bool Saw(const std::wstring& text) {
        const std::string needle(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        for (const std::string& record : records())
            if (record.find(needle) != std::string::npos) return true;
        return false;
    }

private:
    static std::vector<std::string>& records() {
        static std::vector<std::string> all;
        return all;
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_COPYDATA) {
            const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            records().emplace_back(static_cast<const char*>(cds->lpData), cds->cbData);
            return TRUE;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    HWND hwnd_ = nullptr;
};
