// Tray balloon records and the about text.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/app_win.h"

TEST(TrayBalloon, TitleAndTextAreCutToWhatTheRecordHolds) {
    NOTIFYICONDATAW nid;
    std::wstring title(70, L'T'), text(300, L'x');
    title[62] = L'!';
    text[254] = L'?';
    FillBalloonRecord(nid, reinterpret_cast<HWND>(0x1234), title.c_str(), text.c_str());
    EXPECT_EQ(nid.cbSize, 976u) << "the full record, as the shell expects on this platform";
    EXPECT_EQ(nid.uID, 1u);
    EXPECT_EQ(nid.uFlags, static_cast<UINT>(NIF_INFO)) << "tooltip and icon must stay untouched";
    EXPECT_EQ(nid.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(std::wstring(nid.szInfoTitle), title.substr(0, 63));
    EXPECT_EQ(std::wstring(nid.szInfo), text.substr(0, 255));

    FillBalloonRecord(nid, nullptr, L"PDF Unmerge Selesai", L"Berhasil meng-unmerge 3 gambar dari PDF!");
    EXPECT_STREQ(nid.szInfoTitle, L"PDF Unmerge Selesai");
    EXPECT_STREQ(nid.szInfo, L"Berhasil meng-unmerge 3 gambar dari PDF!");
    EXPECT_EQ(nid.szTip[0], 0);
}

TEST(AboutBox, CarriesTheBuildStampAndASinglePercentSign) {
    wchar_t text[512];
    FormatAboutText(text, 512);
    std::wstring about = text;
    EXPECT_EQ(about.rfind(L"Tarvix Tool v1.9 (PDF Split Engine)\nBuild: ", 0), 0u);
    // "Build: Mmm dd yyyy hh:mm:ss" as the compiler stamps it.
    size_t at = about.find(L"Build: ") + 7;
    std::wstring stamp = about.substr(at, about.find(L'\n', at) - at);
    ASSERT_EQ(stamp.size(), 20u) << std::string(stamp.begin(), stamp.end());
    EXPECT_EQ(stamp[11], L' ');
    EXPECT_EQ(stamp[14], L':');
    EXPECT_EQ(stamp[17], L':');
    EXPECT_NE(about.find(L"- Auto-Trim RAM: ~2-5 MB idle, 0% CPU"), std::wstring::npos);
    EXPECT_EQ(about.find(L"%%"), std::wstring::npos);
    EXPECT_EQ(about.back(), L'U');

    wchar_t shortBuffer[40];
    FormatAboutText(shortBuffer, 40);
    EXPECT_EQ(std::wstring(shortBuffer).size(), 39u) << "longer output is cut to the buffer";
}
