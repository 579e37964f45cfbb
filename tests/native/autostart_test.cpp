// The Run value's text and what the tray menu makes of the value it reads back.
#include <gtest/gtest.h>

#include <string>

#include "app/autostart.h"

TEST(Autostart, RunCommandQuotesThePathOrRefusesIt) {
    struct Case {
        std::wstring path, command;
    };
    const Case cases[] = {
        {L"C:\\Tools\\TarvixTool.exe", L"\"C:\\Tools\\TarvixTool.exe\""},
        // Blanks: unquoted, the shell would try to run "C:\Users\Ani" with arguments.
        {L"C:\\Users\\Ani Putri\\AppData\\Local\\Programs\\Tarvix Tool\\TarvixTool.exe",
         L"\"C:\\Users\\Ani Putri\\AppData\\Local\\Programs\\Tarvix Tool\\TarvixTool.exe\""},
        {L"D:\\Alat & Bahan (x86)\\100%\\Tarvix,Tool;v1.9\\TarvixTool.exe",
         L"\"D:\\Alat & Bahan (x86)\\100%\\Tarvix,Tool;v1.9\\TarvixTool.exe\""},
        {L"C:\\Pengguna\\\u00C9lodie\\\u6587\u4EF6\\TarvixTool.exe", L"\"C:\\Pengguna\\\u00C9lodie\\\u6587\u4EF6\\TarvixTool.exe\""},
        {L"\\\\server\\share\\Tarvix Tool\\TarvixTool.exe", L"\"\\\\server\\share\\Tarvix Tool\\TarvixTool.exe\""},
        // A quote would close the quoted path early; a line break would split the command.
        {L"C:\\a\"b\\TarvixTool.exe", L""},
        {L"C:\\a\nb\\TarvixTool.exe", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        std::wstring got = RunCommandFor(c.path);
        EXPECT_EQ(got, c.command) << std::string(c.path.begin(), c.path.end());
        // Whatever is written must name the same program when read back.
        if (!got.empty()) EXPECT_EQ(RunValueProgram(got), c.path);
    }
}

TEST(Autostart, MenuStateFollowsTheRegistrysAnswer) {
    const std::wstring exe = L"C:\\Users\\Ani Putri\\AppData\\Local\\Programs\\Tarvix Tool\\TarvixTool.exe";
    struct Case {
        RunValueRead read;
        std::wstring value;
        AutostartState state;
    };
    const Case cases[] = {
        {RunValueRead::Present, L"\"" + exe + L"\"", AutostartState::On},
        // Written by hand or by another tool: case, slashes, blanks and arguments around it.
        {RunValueRead::Present, L"\"c:\\users\\ani putri\\appdata\\local\\programs\\tarvix tool\\tarvixtool.exe\"",
         AutostartState::On},
        {RunValueRead::Present, L"  \"C:/Users/Ani Putri/AppData/Local/Programs/Tarvix Tool/TarvixTool.exe\" --tray ",
         AutostartState::On},
        {RunValueRead::Present, exe, AutostartState::On},
        {RunValueRead::Present, L"\"" + exe, AutostartState::On},
        {RunValueRead::Present, L"\"D:\\Portable\\Tarvix Tool\\TarvixTool.exe\"", AutostartState::OtherPath},
        {RunValueRead::Present, L"\"" + exe + L".bak\"", AutostartState::OtherPath},
        {RunValueRead::Present, L"\"C:\\Users\\Ani\"", AutostartState::OtherPath},
        {RunValueRead::Present, L"", AutostartState::Off},
        {RunValueRead::Present, L"  \"\"  ", AutostartState::Off},
        {RunValueRead::Absent, L"", AutostartState::Off},
        // What an unreadable value holds is not known, whatever text came along.
        {RunValueRead::Unreadable, L"\"" + exe + L"\"", AutostartState::Unknown},
        {RunValueRead::Unreadable, L"", AutostartState::Unknown},
    };
    for (const Case& c : cases) {
        AutostartState got = AutostartStateFrom(c.read, c.value, exe);
        EXPECT_EQ(static_cast<int>(got), static_cast<int>(c.state)) << std::string(c.value.begin(), c.value.end());
    }
    // Without a path of our own nothing can be ours.
    EXPECT_EQ(AutostartStateFrom(RunValueRead::Present, L"\"\"x", L""), AutostartState::Off);
    EXPECT_EQ(AutostartStateFrom(RunValueRead::Present, L"x.exe", L""), AutostartState::OtherPath);

    // Only our own value is checked and only our own value is ever removed.
    EXPECT_TRUE(AutostartMenuChecked(AutostartState::On));
    for (AutostartState s : {AutostartState::Off, AutostartState::OtherPath, AutostartState::Unknown}) {
        EXPECT_FALSE(AutostartMenuChecked(s));
        EXPECT_TRUE(AutostartChoiceTurnsOn(s));
    }
    EXPECT_FALSE(AutostartChoiceTurnsOn(AutostartState::On));
}
