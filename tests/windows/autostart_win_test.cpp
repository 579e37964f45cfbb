// The Run value in a real registry, the check of the menu read back from it, and the
// single-instance claim with the message to the running copy.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/app_win.h"
#include "win_test_util.h"

namespace {

// A key of the tests' own, so that the prefix's real Run key is never touched.
const wchar_t kTestKey[] = L"Software\\TarvixToolTests\\Run";

std::wstring ReadTestValue(DWORD* type = nullptr) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, kTestKey, kRunValueName, RRF_RT_ANY, type, buffer, &bytes) != ERROR_SUCCESS) {
        return L"<none>";
    }
    return buffer;
}

}  // namespace

TEST(AutostartRegistry, OnOffAndForeignValuesAsTheMenuSeesThem) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TarvixToolTests");
    const std::wstring exe = RunningExePath();
    ASSERT_NE(exe.find(L"windows_tests.exe"), std::wstring::npos) << NarrowPath(exe);
    const std::wstring spaced = L"C:\\Users\\Ani Putri\\Tarvix Tool\\TarvixTool.exe";

    // No key at all: off, and turning off is no failure.
    EXPECT_EQ(QueryAutostart(HKEY_CURRENT_USER, kTestKey, exe), AutostartState::Off);
    EXPECT_EQ(WriteAutostart(HKEY_CURRENT_USER, kTestKey, exe, false), ERROR_SUCCESS);

    ASSERT_EQ(WriteAutostart(HKEY_CURRENT_USER, kTestKey, spaced, true), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(ReadTestValue(&type), L"\"" + spaced + L"\"");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(QueryAutostart(HKEY_CURRENT_USER, kTestKey, spaced), AutostartState::On);
    EXPECT_EQ(QueryAutostart(HKEY_CURRENT_USER, kTestKey, exe), AutostartState::OtherPath);

    // An expandable value is judged by what it expands to.
    wchar_t temp[MAX_PATH];
    GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    const std::wstring expandable = L"\"%TEMP%\\TarvixTool.exe\"";
    RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, kRunValueName, REG_EXPAND_SZ, expandable.c_str(),
                    static_cast<DWORD>((expandable.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(QueryAutostart(HKEY_CURRENT_USER, kTestKey, std::wstring(temp) + L"\\TarvixTool.exe"),
              AutostartState::On);

    // Not a string: the menu cannot tell, so it shows no check.
    DWORD number = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, kRunValueName, REG_DWORD, &number, sizeof number);
    EXPECT_EQ(QueryAutostart(HKEY_CURRENT_USER, kTestKey, exe), AutostartState::Unknown);

    ASSERT_EQ(WriteAutostart(HKEY_CURRENT_USER, kTestKey, exe, true), ERROR_SUCCESS);
    EXPECT_EQ(QueryAutostart(HKEY_CURRENT_USER, kTestKey, exe), AutostartState::On);
    ASSERT_EQ(WriteAutostart(HKEY_CURRENT_USER, kTestKey, exe, false), ERROR_SUCCESS);
    EXPECT_EQ(ReadTestValue(), L"<none>");
    EXPECT_EQ(QueryAutostart(HKEY_CURRENT_USER, kTestKey, exe), AutostartState::Off);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TarvixToolTests");
}

TEST(AutostartRegistry, AFailedWriteIsReportedAndLogged) {
    TempDirRedirect temp;
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x5EED0));
    LONG onErr = WriteAutostart(bogus, kTestKey, L"C:\\Tarvix Tool\\TarvixTool.exe", true);
    LONG offErr = WriteAutostart(bogus, kTestKey, L"C:\\Tarvix Tool\\TarvixTool.exe", false);
    LONG pathErr = WriteAutostart(HKEY_CURRENT_USER, kTestKey, L"C:\\a\"b.exe", true);
    EXPECT_NE(onErr, ERROR_SUCCESS);
    EXPECT_NE(offErr, ERROR_SUCCESS);
    EXPECT_EQ(pathErr, ERROR_BAD_PATHNAME);
    EXPECT_EQ(ReadTestValue(), L"<none>") << "a refused path must not be written";
    std::string log = ReadFileBytes(TempLogPath());
    EXPECT_NE(log.find("Autostart: writing the Run value failed, err=" + std::to_string(onErr)), std::string::npos)
        << log;
    EXPECT_NE(log.find("Autostart: removing the Run value failed, err=" + std::to_string(offErr)), std::string::npos)
        << log;
    EXPECT_NE(log.find("cannot be written as a Run value, err=161"), std::string::npos) << log;
    EXPECT_EQ(log.find("Autostart: Run value set"), std::string::npos) << log;
}

namespace {

UINT alreadyRunningSeen = 0;
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_APP_ALREADYRUNNING) ++alreadyRunningSeen;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

TEST(SingleInstance, TheSecondClaimFailsAndTellsTheFirstCopy) {
    const wchar_t name[] = L"Local\\TarvixToolTests.SingleInstance";
    const wchar_t cls[] = L"TarvixTestTrayClass";
    ScopedHandle first, second;
    ASSERT_TRUE(ClaimSingleInstance(name, first));
    EXPECT_FALSE(ClaimSingleInstance(name, second));
    EXPECT_FALSE(second) << "the refused copy holds nothing";
    EXPECT_TRUE(ClaimSingleInstance(L"Local\\TarvixToolTests.Other", second)) << "another name is another program";

    // No running copy's window: the wait ends and nothing is found.
    DWORD start = GetTickCount();
    EXPECT_EQ(NotifyRunningCopy(cls, 300), nullptr);
    EXPECT_GE(GetTickCount() - start, 250u);

    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    RegisterClassExW(&wc);
    HWND tray = CreateWindowExW(0, cls, L"", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(tray, nullptr);
    alreadyRunningSeen = 0;
    EXPECT_EQ(NotifyRunningCopy(cls, 3000), tray);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    EXPECT_EQ(alreadyRunningSeen, 1u);
    DestroyWindow(tray);
    UnregisterClassW(cls, wc.hInstance);

    // Once the first copy is gone, the next start runs.
    first.reset();
    second.reset();
    EXPECT_TRUE(ClaimSingleInstance(name, first));
}
