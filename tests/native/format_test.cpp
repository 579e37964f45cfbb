#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/log_line.h"
#include "base/text.h"

namespace {

std::string Line(const LogTime& t, const wchar_t* fmt, ...) {
    FormatArgs args;
    va_start(args.ap, fmt);
    std::string s = BuildLogLine(t, fmt, args);
    va_end(args.ap);
    return s;
}

}  // namespace

TEST(FormatText, ConversionsBehaveLikePrintfWithWideAndNarrowStrings) {
    wchar_t buf[256];
    FormatText(buf, 256, L"%ls|%hs|%s", L"wide", "narrow", L"plain-wide");
    EXPECT_EQ(std::wstring(buf), L"wide|narrow|plain-wide");
    FormatText(buf, 256, L"hr=0x%08X status=%d err=%lu n=%zu u=%u", 0x80004005u, -7, 5ul, size_t{123456789012}, 42u);
    EXPECT_EQ(std::wstring(buf), L"hr=0x80004005 status=-7 err=5 n=123456789012 u=42");
    FormatText(buf, 256, L"[%04d-%02d] %-5d| %5d|%x|%%|%c", 7, 3, 12, -3, 255, L'Z');
    EXPECT_EQ(std::wstring(buf), L"[0007-03] 12   |    -3|ff|%|Z");
    FormatText(buf, 256, L"%p", reinterpret_cast<void*>(0xABCDEF));
    EXPECT_EQ(std::wstring(buf), L"0000000000ABCDEF");
    FormatText(buf, 256, L"%g %g %g %g", 720.0, 888.48, 1.0, 1234567.0);
    EXPECT_EQ(std::wstring(buf), L"720 888.48 1 1.23457e+06");
    FormatText(buf, 256, L"%ls", static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(std::wstring(buf), L"(null)");
}

TEST(FormatText, CutsAtCapacityAndAlwaysTerminates) {
    wchar_t buf[8];
    std::wmemset(buf, L'#', 8);
    size_t full = FormatText(buf, 8, L"%ls", L"abcdefghijkl");
    EXPECT_EQ(full, 12u);
    EXPECT_EQ(std::wstring(buf), L"abcdefg");

    std::wmemset(buf, L'#', 8);
    FormatText(buf, 0, L"abc");
    EXPECT_EQ(buf[0], L'#') << "capacity 0 must write nothing";

    FormatText(buf, 1, L"abc");
    EXPECT_EQ(buf[0], 0);
}

size_t FormatNarrow(char* dst, size_t capacity, const char* format, ...) {
    FormatArgs args;
    va_start(args.ap, format);
    size_t n = FormatTextNarrowV(dst, capacity, format, args);
    va_end(args.ap);
    return n;
}

TEST(FormatText, ACutNeverLeavesHalfACharacter) {
    // Wide text as the 16-bit platform holds it: a pair cut after its first half loses the half.
    const std::wstring pair = {wchar_t(0xD83D), wchar_t(0xDE00)};
    struct WideCase {
        std::wstring text;
        size_t capacity;
        std::wstring kept;
    } wide[] = {
        {L"ab" + pair, 4, L"ab"},            // the cut falls inside the pair
        {L"ab" + pair, 5, L"ab" + pair},     // the pair fits whole
        {L"abc" + pair, 4, L"abc"},          // the cut falls before the pair
        {pair + pair, 2, L""},               // nothing whole fits
    };
    for (const auto& c : wide) {
        wchar_t buf[8];
        FormatText(buf, c.capacity, L"%ls", c.text.c_str());
        EXPECT_EQ(std::wstring(buf), c.kept) << c.capacity;
    }
    // Narrow text is UTF-8: "é" is two bytes, "€" three, the emoji four.
    struct NarrowCase {
        const char* text;
        size_t capacity;
        std::string kept;
    } narrow[] = {
        {"a\xC3\xA9", 3, "a"},
        {"a\xC3\xA9", 4, "a\xC3\xA9"},
        {"\xE2\x82\xAC\xE2\x82\xAC", 6, "\xE2\x82\xAC"},
        {"\xE2\x82\xAC\xE2\x82\xAC", 5, "\xE2\x82\xAC"},
        {"x\xF0\x9F\x98\x80y", 5, "x"},
        {"x\xF0\x9F\x98\x80y", 6, "x\xF0\x9F\x98\x80"},
        {"abcdef", 4, "abc"},
    };
    for (const auto& c : narrow) {
        char buf[16];
        FormatNarrow(buf, c.capacity, "%s", c.text);
        EXPECT_EQ(std::string(buf), c.kept) << c.text << " at " << c.capacity;
    }
}

TEST(FormatText, FixedThirtyTwoCharacterVariants) {
    wchar_t key[32];
    FormatText32(key, L"%d FILE", 7);
    EXPECT_EQ(std::wstring(key), L"7 FILE");
    FormatText32(key, L"%ls", std::wstring(40, L'x').c_str());
    EXPECT_EQ(std::wstring(key), std::wstring(31, L'x'));

    char entry[32];
    FormatTextNarrow32(entry, "%010zu %05d n \n", size_t{15}, 0);
    EXPECT_STREQ(entry, "0000000015 00000 n \n");
    FormatTextNarrow32(entry, "%hs and %ls", "narrow", L"wide");
    EXPECT_STREQ(entry, "narrow and wide");
    FormatTextNarrow32(entry, "%s", std::string(50, 'y').c_str());
    EXPECT_EQ(std::string(entry), std::string(31, 'y'));
}

TEST(FormatText, AboutTextDoubledPercentPrintsOnce) {
    wchar_t buf[512];
    FormatText(buf, 512, L"Build: %hs %hs\n- Auto-Trim RAM: ~2-5 MB idle, 0%% CPU", "Oct 22 2026", "09:05:03");
    EXPECT_EQ(std::wstring(buf), L"Build: Oct 22 2026 09:05:03\n- Auto-Trim RAM: ~2-5 MB idle, 0% CPU");
}

TEST(LogLine, TimestampPrefixMessageAndCrLf) {
    LogTime t{2026, 1, 2, 9, 5, 3, 7};
    EXPECT_EQ(Line(t, L"ExecutePdf: Reading %ls", L"C:\\a.png"),
              "[2026-01-02 09:05:03.007] ExecutePdf: Reading C:\\a.png\r\n");
}

TEST(LogLine, NonLatinPathsAreUtf8) {
    LogTime t{2026, 12, 31, 23, 59, 59, 999};
    std::string line = Line(t, L"%ls", L"C:\\\u0444\u043E\u0442\u043E\\\u732B.png");
    EXPECT_EQ(line, "[2026-12-31 23:59:59.999] C:\\\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE\\\xE7\x8C\xAB.png\r\n");
}

TEST(Utf8, RoundTripsAllPlanesAndRejectsMalformed) {
    std::wstring text;
    AppendCodePoint(text, U'A');
    AppendCodePoint(text, U'\u00E9');
    AppendCodePoint(text, U'\u732B');
    AppendCodePoint(text, U'\U0001F600');
    std::string utf8 = WideToUtf8(text);
    EXPECT_EQ(utf8, "A\xC3\xA9\xE7\x8C\xAB\xF0\x9F\x98\x80");
    std::wstring back;
    ASSERT_TRUE(Utf8ToWide(utf8, back));
    EXPECT_EQ(back, text);

    for (const char* bad : {"\xC3", "\xE7\x8C", "\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"})
        EXPECT_FALSE(Utf8ToWide(bad, back)) << "accepted malformed " << bad;
}

TEST(FormatText, RarelyUsedConversionsStayInStep) {
    wchar_t buf[64];
    FormatText(buf, 64, L"%#x|%#x|%I32d|%I64d|%d", 0u, 255u, 7, 1LL << 40, 9);
    EXPECT_EQ(std::wstring(buf), L"0|0xff|7|1099511627776|9") << "every argument must be read by its own directive";
    FormatText(buf, 64, L"[%*d|%-*d]", -4, 1, 3, 2);
    EXPECT_EQ(std::wstring(buf), L"[1   |2  ]");
    size_t full = FormatText(buf, 64, L"%999999999999d", 5);
    EXPECT_LE(full, 4096u) << "an absurd width is capped, not obeyed";
    EXPECT_EQ(buf[63], 0);

    char narrow[32];
    FormatTextNarrow32(narrow, "%ls", L"caf\u00E9");
    EXPECT_STREQ(narrow, "caf\xC3\xA9") << "wide text in a narrow format becomes UTF-8";
}
