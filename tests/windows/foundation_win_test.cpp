// Win32 pieces on real files: the log file, the configuration file and its path, output naming.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/log_line.h"
#include "base/text.h"
#include "config/config_file.h"
#include "imaging/output_naming.h"
#include "win_test_util.h"

namespace {


class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override { redirect_.emplace(); }
    void TearDown() override { redirect_.reset(); }
    std::optional<TempDirRedirect> redirect_;
};

}  // namespace

TEST_F(LogFileTest, FirstCallCreatesLaterCallsAppendUtf8Lines) {
    ASSERT_FALSE(FileExists(TempLogPath()));
    LogMessage(L"first %d", 1);
    ASSERT_TRUE(FileExists(TempLogPath()));
    LogMessage(L"second %ls", L"line");
    std::string bytes = ReadFileBytes(TempLogPath());
    // Two lines, each "[YYYY-MM-DD hh:mm:ss.mmm] text" and CR LF.
    size_t first = bytes.find("] first 1\r\n");
    size_t second = bytes.find("] second line\r\n");
    ASSERT_NE(first, std::string::npos) << bytes;
    ASSERT_NE(second, std::string::npos) << bytes;
    EXPECT_LT(first, second);
    ASSERT_GE(bytes.size(), 26u);
    EXPECT_EQ(bytes[0], '[');
    EXPECT_EQ(bytes[5], '-');
    EXPECT_EQ(bytes[11], ' ');
    EXPECT_EQ(bytes[20], '.');
    EXPECT_EQ(bytes.substr(24, 2), "] ");
    SYSTEMTIME st;
    GetLocalTime(&st);
    char year[8];
    snprintf(year, sizeof year, "[%04d-", st.wYear);
    EXPECT_EQ(bytes.substr(0, 6), year);
}

TEST_F(LogFileTest, NonLatinPathReadsBackAsUtf8) {
    const wchar_t* path = L"C:\\\u0444\u043E\u0442\u043E\\\u732B\u306E\u5199\u771F \u00E9.png";
    LogMessage(L"ExecutePdf: Reading %ls", path);
    std::string bytes = ReadFileBytes(TempLogPath());
    std::wstring text;
    ASSERT_TRUE(Utf8ToWide(bytes, text)) << "log is not valid UTF-8";
    EXPECT_NE(text.find(std::wstring(L"ExecutePdf: Reading ") + path + L"\r\n"), std::wstring::npos);
}

TEST_F(LogFileTest, ReadOnlyLogIsSkippedQuietly) {
    LogMessage(L"before");
    std::string before = ReadFileBytes(TempLogPath());
    ASSERT_TRUE(SetFileAttributesW(TempLogPath().c_str(), FILE_ATTRIBUTE_READONLY));
    LogMessage(L"while read-only %d", 42);
    EXPECT_EQ(ReadFileBytes(TempLogPath()), before);
    SetFileAttributesW(TempLogPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    LogMessage(L"after");
    EXPECT_NE(ReadFileBytes(TempLogPath()).find("] after\r\n"), std::string::npos);
}

class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        redirect_.emplace();
        path_ = GetConfigFilePath();
        config_.emplace(path_);
        SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path_.c_str());
        wheelConfig = WheelConfig{};
    }
    void TearDown() override {
        config_.reset();
        redirect_.reset();
    }
    std::optional<TempDirRedirect> redirect_;
    std::wstring path_;
    std::optional<KeepFile> config_;
};

TEST_F(LogFileTest, LogHeldOpenByAnotherProgramIsSkippedQuietly) {
    LogMessage(L"before");
    std::string before = ReadFileBytes(TempLogPath());
    HANDLE exclusive = CreateFileW(TempLogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    LogMessage(L"while held %d", 42);
    CloseHandle(exclusive);
    EXPECT_EQ(ReadFileBytes(TempLogPath()), before);
}

TEST_F(ConfigFileTest, PathIsUnderRoamingAppDataAndFolderIsCreated) {
    wchar_t appData[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathWrapper(appData), S_OK);
    EXPECT_EQ(path_, std::wstring(appData) + L"\\TarvixTool\\config.ini");
    DWORD attrs = GetFileAttributesW((std::wstring(appData) + L"\\TarvixTool").c_str());
    ASSERT_NE(attrs, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(ConfigFileTest, FirstLoadWritesTheDefaultsAndLogsTheSave) {
    LoadWheelConfig();
    WheelConfig defaults;
    ApplyDefaultWheelConfig(defaults);
    ASSERT_TRUE(FileExists(path_));
    std::string bytes = ReadFileBytes(path_);
    EXPECT_EQ(bytes, SerializeWheelConfig(defaults));
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(bytes.find("[PAGE0]\r\nCount=5\r\nLabel_0=Format Image\r\nTarget_0=action:format\r\n"), std::string::npos);
    EXPECT_EQ(wheelConfig.layers[kLayerMedia].size(), 5u);
    std::string log = ReadFileBytes(TempLogPath());
    EXPECT_NE(log.find("SaveWheelConfig: saved to " + NarrowPath(path_) + "\r\n"), std::string::npos) << log;
    EXPECT_FALSE(FileExists(path_ + L".new"));
}

TEST_F(ConfigFileTest, EditedConfigurationSurvivesSaveAndLoad) {
    ApplyDefaultWheelConfig(wheelConfig);
    UpdateSector(wheelConfig, kLayerWeb, 1, L"Berita \u732B", L"https://example.org/\u00E9");
    EraseSector(wheelConfig, kLayerMedia, 4);
    ASSERT_TRUE(SaveWheelConfig());
    // A second save replaces the existing file.
    ASSERT_TRUE(SaveWheelConfig());
    EXPECT_FALSE(FileExists(path_ + L".new"));
    wheelConfig = WheelConfig{};
    LoadWheelConfig();
    ASSERT_EQ(wheelConfig.layers[kLayerMedia].size(), 4u);
    EXPECT_EQ(wheelConfig.layers[kLayerWeb][1].label, L"Berita \u732B");
    EXPECT_EQ(wheelConfig.layers[kLayerWeb][1].target, L"https://example.org/\u00E9");
}

TEST_F(ConfigFileTest, BadWebSectionFallsBackWithoutTouchingTheFile) {
    const std::string custom = "[PAGE0]\r\nCount=2\r\nLabel_0=A\r\nTarget_0=action:pdf\r\nLabel_1=B\r\nTarget_1=x\r\n"
                               "[PAGE1]\r\nCount=9\r\n";
    WriteFileBytes(path_, custom);
    LoadWheelConfig();
    EXPECT_EQ(wheelConfig.layers[kLayerMedia].size(), 2u);
    EXPECT_EQ(wheelConfig.layers[kLayerWeb].size(), 5u);
    EXPECT_EQ(ReadFileBytes(path_), custom);
}

TEST_F(ConfigFileTest, FailedSaveKeepsTheOldFileWholeAndIsReported) {
    const std::string original = "[PAGE0]\r\nCount=1\r\nLabel_0=Keep\r\nTarget_0=me\r\n[PAGE1]\r\nCount=1\r\n";
    WriteFileBytes(path_, original);
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    ApplyDefaultWheelConfig(wheelConfig);
    EXPECT_FALSE(SaveWheelConfig());
    EXPECT_EQ(ReadFileBytes(path_), original);
    EXPECT_FALSE(FileExists(path_ + L".new")) << "the unfinished copy must not be left behind";
    std::string log = ReadFileBytes(TempLogPath());
    EXPECT_EQ(log.find("SaveWheelConfig: saved to"), std::string::npos);
    EXPECT_NE(log.find("SaveWheelConfig: FAILED to save " + NarrowPath(path_) + ", err="), std::string::npos) << log;
}

TEST_F(ConfigFileTest, CopyThatCannotBeWrittenLeavesTheOldFileAndIsReported) {
    const std::string original = "[PAGE0]\r\nCount=1\r\nLabel_0=Keep\r\nTarget_0=me\r\n[PAGE1]\r\nCount=1\r\n";
    WriteFileBytes(path_, original);
    // A folder where the new copy should go: the write fails before anything is replaced.
    ASSERT_TRUE(CreateDirectoryW((path_ + L".new").c_str(), nullptr));
    ApplyDefaultWheelConfig(wheelConfig);
    bool saved = SaveWheelConfig();
    RemoveDirectoryW((path_ + L".new").c_str());
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFileBytes(path_), original);
    std::string log = ReadFileBytes(TempLogPath());
    EXPECT_NE(log.find("SaveWheelConfig: FAILED to save " + NarrowPath(path_) + ", err="), std::string::npos) << log;
    EXPECT_EQ(log.find("SaveWheelConfig: saved to"), std::string::npos);
}

TEST(OutputNamingWin, RealFilesAndFoldersCountAsTaken) {
    TempFolder dir;
    std::wstring input = dir.path() + L"\\foto.png";
    WriteFileBytes(input, "png");
    wchar_t out[260];
    ASSERT_TRUE(MakeOutputPath(input, L"", L"png", out, 260));
    EXPECT_EQ(std::wstring(out), dir.path() + L"\\foto-1.png");
    ASSERT_TRUE(MakeOutputPath(input, L"-compressed", L"jpg", out, 260));
    EXPECT_EQ(std::wstring(out), dir.path() + L"\\foto-compressed.jpg");
    ASSERT_TRUE(CreateDirectoryW((dir.path() + L"\\foto-compressed.jpg").c_str(), nullptr));
    ASSERT_TRUE(MakeOutputPath(input, L"-compressed", L"jpg", out, 260));
    EXPECT_EQ(std::wstring(out), dir.path() + L"\\foto-compressed-1.jpg");
}

TEST(IniReaderWin, LongValueIsNeverCutInsideASurrogatePair) {
    // 510 characters, then one outside the basic plane: a pair of UTF-16 units at 511 and 512.
    std::string value(510, 'a');
    value += "\xF0\x9F\x98\x80tail";
    IniDocument doc = ParseIni("[PAGE0]\r\nTarget_0=" + value + "\r\n");
    std::wstring cut = IniGetString(doc, L"PAGE0", L"Target_0");
    EXPECT_EQ(cut, std::wstring(510, L'a')) << "half a pair would be an invalid string";
    std::string plain(600, 'b');
    EXPECT_EQ(IniGetString(ParseIni("[PAGE0]\r\nTarget_0=" + plain + "\r\n"), L"PAGE0", L"Target_0").size(), 511u);
}
