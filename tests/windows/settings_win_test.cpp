#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

#include "config/config_file.h"
#include "config/settings_win.h"
#include "fake_tray_win.h"
#include "win_test_util.h"

namespace {

// What the message box showed, read from inside its own modal loop, then closed with OK.
std::wstring shownCaption, shownText;

void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = nullptr;
    for (const wchar_t* caption : {L"Perhatian", L"Batas Maksimum", L"Konfirmasi"})
        if ((box = FindWindowW(L"#32770", caption))) break;
    if (!box) return;
    KillTimer(nullptr, id);
    wchar_t text[512] = {}, caption[128] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);  // the box's message text
    GetWindowTextW(box, caption, 128);
    shownText = text;
    shownCaption = caption;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        redirect_.emplace();
        path_ = GetConfigFilePath();
        config_.emplace(path_);
        ApplyDefaultWheelConfig(wheelConfig);
        shownCaption.clear();
        shownText.clear();
    }
    void TearDown() override {
        if (HWND w = CurrentSettingsWindow()) DestroyWindow(w);
        config_.reset();
        redirect_.reset();
    }
    // Presses a button the way a click does; answers the box it is expected to show.
    void Press(int id, bool showsBox) {
        HWND window = CurrentSettingsWindow();
        if (showsBox) SetTimer(nullptr, 0, 50, AnswerMessageBox);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    }
    std::optional<TempDirRedirect> redirect_;
    FakeTray tray_;
    std::wstring path_;
    std::optional<KeepFile> config_;
};

}  // namespace

TEST_F(SettingsWindowTest, OneWindowOnTheWebTabWithTheMessageFont) {
    OpenSettingsWindow();
    HWND first = CurrentSettingsWindow();
    ASSERT_NE(first, nullptr);
    OpenSettingsWindow();
    EXPECT_EQ(CurrentSettingsWindow(), first);
    int windows = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, kSettingsWindowClass, nullptr));) ++windows;
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(SendMessageW(GetDlgItem(first, IDC_SETTINGS_TABS), TCM_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessageW(GetDlgItem(first, IDC_SETTINGS_LIST), LB_GETCOUNT, 0, 0), 5);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(GetDlgItem(first, IDC_SETTINGS_SAVE), WM_GETFONT, 0, 0));
    EXPECT_NE(font, nullptr);
    EXPECT_NE(font, GetStockObject(SYSTEM_FONT));
    SendMessageW(first, WM_CLOSE, 0, 0);
    EXPECT_EQ(CurrentSettingsWindow(), nullptr);
    EXPECT_FALSE(IsWindow(first));
}

TEST_F(SettingsWindowTest, FailedSaveWarnsKeepsTheWindowAndTheFile) {
    const std::string original = "[PAGE0]\r\nCount=2\r\nLabel_0=Keep\r\nTarget_0=me\r\nLabel_1=B\r\nTarget_1=b\r\n"
                                 "[PAGE1]\r\nCount=2\r\nLabel_0=W\r\nTarget_0=w\r\nLabel_1=V\r\nTarget_1=v\r\n";
    ASSERT_TRUE(WriteFileBytes(path_, original));
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    LoadWheelConfig();
    OpenSettingsWindow();
    HWND window = CurrentSettingsWindow();
    ASSERT_NE(window, nullptr);
    SetWindowTextW(GetDlgItem(window, IDC_SETTINGS_LABEL), L"Baru");
    Press(IDC_SETTINGS_ADD, false);
    ASSERT_EQ(wheelConfig.layers[kLayerWeb].size(), 3u);
    EXPECT_EQ(wheelConfig.layers[kLayerWeb][2].label, L"Baru");

    Press(IDC_SETTINGS_SAVE, true);
    EXPECT_EQ(shownCaption, L"Perhatian");
    EXPECT_NE(shownText.find(L"tidak dapat disimpan"), std::wstring::npos);
    EXPECT_TRUE(IsWindow(window)) << "the edits are still on screen to save again";
    EXPECT_FALSE(FakeTray::Saw(L"Pengaturan Tersimpan"));
    EXPECT_EQ(ReadFileBytes(path_), original);

    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    shownCaption.clear();
    Press(IDC_SETTINGS_SAVE, false);
    EXPECT_TRUE(shownCaption.empty());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(FakeTray::Saw(L"Pengaturan Tersimpan"));
    EXPECT_EQ(ReadFileBytes(path_), SerializeWheelConfig(wheelConfig));
}
