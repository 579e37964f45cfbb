#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/text.h"
#include "config/config_file.h"

namespace {

const char kDefaultFile[] =
    "\xEF\xBB\xBF"
    "[PAGE0]\r\nCount=5\r\n"
    "Label_0=Format Image\r\nTarget_0=action:format\r\n"
    "Label_1=Image to PDF\r\nTarget_1=action:pdf\r\n"
    "Label_2=Screenshot\r\nTarget_2=action:screenshot\r\n"
    "Label_3=Compress\r\nTarget_3=action:compress\r\n"
    "Label_4=PDF Split\r\nTarget_4=action:split\r\n"
    "\r\n[PAGE1]\r\nCount=5\r\n"
    "Label_0=YouTube\r\nTarget_0=https://www.youtube.com/\r\n"
    "Label_1=Netflix\r\nTarget_1=https://www.netflix.com/\r\n"
    "Label_2=GitHub\r\nTarget_2=https://github.com/\r\n"
    "Label_3=ChatGPT\r\nTarget_3=https://chatgpt.com/\r\n"
    "Label_4=Google\r\nTarget_4=https://www.google.com/\r\n";

// An in-memory file for the loader; counts the saves it is asked for.
struct FakeFile {
    bool present = true;
    std::string bytes;
    int saves = 0;
    ConfigFileAccess Access() {
        return {[this] { return present; },
                [this](std::string& out) {
                    out = bytes;
                    return present;
                },
                [this](const WheelConfig& c) {
                    ++saves;
                    bytes = SerializeWheelConfig(c);
                    present = true;
                    return true;
                }};
    }
};

WheelConfig Defaults() {
    WheelConfig c;
    ApplyDefaultWheelConfig(c);
    return c;
}

WheelConfig LoadFrom(const std::string& bytes, LoadOutcome* outcome = nullptr, int* saves = nullptr) {
    FakeFile f;
    f.bytes = bytes;
    WheelConfig c;
    AppendSector(c, kLayerMedia, {L"stale", L"stale"});
    LoadOutcome o = LoadWheelConfigWith(f.Access(), c);
    if (outcome) *outcome = o;
    if (saves) *saves = f.saves;
    return c;
}

}  // namespace

TEST(ConfigFileWriter, DefaultLayoutByteForByte) {
    EXPECT_EQ(SerializeWheelConfig(Defaults()), std::string(kDefaultFile));
}

TEST(ConfigFileWriter, WritesWhatItIsGivenWithoutEscaping) {
    WheelConfig c;
    AppendSector(c, kLayerMedia, {L"a=b ;c [d]", L""});
    AppendSector(c, kLayerWeb, {L"", L"http://x?q=1&r=\"2\""});
    EXPECT_EQ(SerializeWheelConfig(c),
              "\xEF\xBB\xBF[PAGE0]\r\nCount=1\r\nLabel_0=a=b ;c [d]\r\nTarget_0=\r\n\r\n[PAGE1]\r\nCount=1\r\n"
              "Label_0=\r\nTarget_0=http://x?q=1&r=\"2\"\r\n");
}

TEST(ConfigFileRoundTrip, AnyTextWithoutLineBreaksOrOuterBlanksReadsBack) {
    std::mt19937 rng(1234);
    const char32_t pool[] = {U'a', U'Z', U'0', U'=', U'[', U']', U';', U'"', U'\'', U' ', U'\t', U'%', U'\\',
                             U'\u00E9', U'\u0444', U'\u732B', U'\u27F3', U'\U0001F600', U'\u2028'};
    for (int round = 0; round < 200; ++round) {
        WheelConfig c;
        for (int layer = 0; layer < kLayerCount; ++layer) {
            int n = 1 + static_cast<int>(rng() % 5);
            for (int i = 0; i < n; ++i) {
                auto make = [&] {
                    std::wstring s;
                    int len = static_cast<int>(rng() % 40);
                    for (int k = 0; k < len; ++k) AppendCodePoint(s, pool[rng() % std::size(pool)]);
                    while (!s.empty() && (s.front() == L' ' || s.front() == L'\t')) s.erase(0, 1);
                    while (!s.empty() && (s.back() == L' ' || s.back() == L'\t')) s.pop_back();
                    return s;
                };
                AppendSector(c, layer, {make(), make()});
            }
        }
        LoadOutcome outcome;
        WheelConfig back = LoadFrom(SerializeWheelConfig(c), &outcome);
        ASSERT_EQ(outcome, LoadOutcome::Loaded);
        ASSERT_TRUE(c == back) << "round " << round;
    }
}

TEST(ConfigLoader, MissingFileOrUnusableMediaCountGivesSavedDefaults) {
    FakeFile missing;
    missing.present = false;
    WheelConfig c;
    EXPECT_EQ(LoadWheelConfigWith(missing.Access(), c), LoadOutcome::Defaults);
    EXPECT_EQ(missing.saves, 1);
    EXPECT_EQ(missing.bytes, kDefaultFile);
    EXPECT_TRUE(c == Defaults());

    const std::string web = "[PAGE1]\nCount=1\nLabel_0=Mine\nTarget_0=https://mine\n";
    for (const char* media : {"", "[PAGE0]\n", "[PAGE0]\nCount=0\n", "[PAGE0]\nCount=6\n", "[PAGE0]\nCount=-1\n",
                              "[PAGE0]\nCount=five\n", "[PAGE0]\nCount=\n", "[PAGE0]\nCount=99999999999999999999\n"}) {
        LoadOutcome outcome;
        int saves = 0;
        WheelConfig loaded = LoadFrom(std::string(media) + web, &outcome, &saves);
        EXPECT_EQ(outcome, LoadOutcome::Defaults) << media;
        EXPECT_EQ(saves, 1) << media;
        EXPECT_TRUE(loaded == Defaults()) << "custom web layer must be dropped: " << media;
    }
}

TEST(ConfigLoader, UnusableWebCountKeepsMediaAndDoesNotSave) {
    for (const char* web : {"", "[PAGE1]\nCount=0\n", "[PAGE1]\nCount=6\nLabel_0=x\n"}) {
        LoadOutcome outcome;
        int saves = 0;
        WheelConfig c = LoadFrom(std::string("[PAGE0]\nCount=3\nLabel_0=A\nTarget_0=a\nLabel_1=B\nTarget_1=b\n"
                                             "Label_2=C\nTarget_2=c\n") + web,
                                 &outcome, &saves);
        EXPECT_EQ(outcome, LoadOutcome::WebDefaults);
        EXPECT_EQ(saves, 0);
        ASSERT_EQ(c.layers[kLayerMedia].size(), 3u);
        EXPECT_EQ(c.layers[kLayerMedia][2].label, L"C");
        EXPECT_TRUE((WheelConfig{{c.layers[kLayerMedia], Defaults().layers[kLayerWeb]}} == c));
    }
}

TEST(ConfigLoader, ReadsExactlyCountEntriesMissingKeysEmpty) {
    WheelConfig c = LoadFrom(
        "[PAGE0]\nCount=3\nLabel_0=A\nTarget_0=a\nLabel_1=B\nTarget_1=b\n"
        "[PAGE1]\nCount=2\nLabel_0=W\nTarget_0=w\nLabel_1=V\nTarget_1=v\nLabel_2=Extra\nTarget_2=extra\n");
    ASSERT_EQ(c.layers[kLayerMedia].size(), 3u);
    EXPECT_EQ(c.layers[kLayerMedia][2].label, L"");
    EXPECT_EQ(c.layers[kLayerMedia][2].target, L"");
    ASSERT_EQ(c.layers[kLayerWeb].size(), 2u) << "extra keys beyond Count are ignored";

    WheelConfig one = LoadFrom("[PAGE0]\nCount=1\nLabel_0=Solo\nTarget_0=action:pdf\n[PAGE1]\nCount=1\n");
    EXPECT_EQ(one.layers[kLayerMedia].size(), 1u) << "a single sector is not padded";
    EXPECT_EQ(one.layers[kLayerWeb].size(), 1u);
}

TEST(ConfigLoader, LongValuesAreCutTo511Characters) {
    std::string target(600, 'q');
    WheelConfig c = LoadFrom("[PAGE0]\nCount=1\nLabel_0=L\nTarget_0=" + target + "\n[PAGE1]\nCount=1\n");
    EXPECT_EQ(c.layers[kLayerMedia][0].target, std::wstring(511, L'q'));
}

TEST(IniReader, ToleratesWhatEditorsAndUsersProduce) {
    // Plain LF, no BOM, blanks around "=", mixed case names, comments, duplicate keys (first wins).
    WheelConfig c = LoadFrom(
        "; my wheel\n[page0]\n  count = 2 \nlabel_0 =  One\nLABEL_0=Ignored\nTarget_0= action:pdf\n"
        "Label_1=Two\rTarget_1=x\n[PAGE1]\nCount=1\nLabel_0=W\nTarget_0=w");
    ASSERT_EQ(c.layers[kLayerMedia].size(), 2u);
    EXPECT_EQ(c.layers[kLayerMedia][0].label, L"One");
    EXPECT_EQ(c.layers[kLayerMedia][0].target, L"action:pdf");
    EXPECT_EQ(c.layers[kLayerMedia][1].target, L"x") << "a lone CR ends a line too";
    EXPECT_EQ(c.layers[kLayerWeb][0].target, L"w") << "last line without a line end";

    // UTF-16 LE with BOM, as a text editor saves "Unicode".
    std::wstring wide = L"[PAGE0]\r\nCount=1\r\nLabel_0=Caf\u00E9 \u732B\r\nTarget_0=t\r\n[PAGE1]\r\nCount=1\r\n";
    std::string utf16 = "\xFF\xFE";
    for (wchar_t ch : wide) {
        utf16.push_back(static_cast<char>(ch & 0xFF));
        utf16.push_back(static_cast<char>((ch >> 8) & 0xFF));
    }
    EXPECT_EQ(LoadFrom(utf16).layers[kLayerMedia][0].label, L"Caf\u00E9 \u732B");

    // Legacy code page bytes are not UTF-8: read them as Western text rather than losing the file.
    WheelConfig legacy = LoadFrom("[PAGE0]\nCount=1\nLabel_0=Caf\xE9 \x80\nTarget_0=t\n[PAGE1]\nCount=1\n");
    EXPECT_EQ(legacy.layers[kLayerMedia][0].label, L"Caf\u00E9 \u20AC");

    // Counts with trailing text read their leading number.
    EXPECT_EQ(LoadFrom("[PAGE0]\nCount=2 sectors\n[PAGE1]\nCount=+1\n").layers[kLayerMedia].size(), 2u);
}

TEST(IniReader, HugeAndGarbageFilesNeverBreakTheModel) {
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        std::string junk(rng() % 4000, '\0');
        for (char& ch : junk) ch = static_cast<char>(rng());
        if (round % 3 == 0) junk = "[PAGE0]\nCount=" + std::to_string(rng() % 7) + "\n" + junk;
        WheelConfig c = LoadFrom(junk);
        for (int l = 0; l < kLayerCount; ++l) {
            EXPECT_GE(c.layers[l].size(), 1u);
            EXPECT_LE(c.layers[l].size(), 5u);
        }
    }
    // Up to the size cap a padded file still reads whole; one byte more and it is unusable.
    const std::string tail = "Label_1=Late\r\nTarget_1=late\r\n[PAGE1]\r\nCount=1\r\nLabel_0=W\r\nTarget_0=w\r\n";
    std::string big = "[PAGE0]\r\nCount=2\r\nLabel_0=A\r\nTarget_0=a\r\n";
    while (big.size() + tail.size() + 64 < kMaxConfigFileBytes)
        big += "Filler_" + std::to_string(big.size()) + "=some value here\r\n";
    big += ";" + std::string(kMaxConfigFileBytes - big.size() - tail.size() - 3, 'x') + "\r\n" + tail;
    ASSERT_EQ(big.size(), kMaxConfigFileBytes);
    WheelConfig c = LoadFrom(big);
    ASSERT_EQ(c.layers[kLayerMedia].size(), 2u);
    EXPECT_EQ(c.layers[kLayerMedia][1].label, L"Late");
    EXPECT_EQ(c.layers[kLayerWeb][0].label, L"W");

    // Too big, or there but unreadable: the defaults, and the file is not overwritten.
    for (bool readable : {true, false}) {
        FakeFile f;
        f.bytes = readable ? ";" + big : "[PAGE0]\r\nCount=1\r\n";
        auto access = f.Access();
        if (!readable) access.read = [](std::string&) { return false; };
        WheelConfig loaded;
        EXPECT_EQ(LoadWheelConfigWith(access, loaded), LoadOutcome::Unusable);
        EXPECT_TRUE(loaded == Defaults());
        EXPECT_EQ(f.saves, 0);
    }
}

TEST(IniReader, StrayLegacyByteSpoilsOnlyItself) {
    WheelConfig c = LoadFrom(
        "[PAGE0]\nCount=2\nLabel_0=Caf\xC3\xA9 \xE7\x8C\xAB \xF0\x9F\x98\x80\nTarget_0=t\n"
        "Label_1=Cr\xE9me\nTarget_1=\xC3\n[PAGE1]\nCount=1\nLabel_0=\xE2\x82\nTarget_0=\xED\xA0\x80\n");
    ASSERT_EQ(c.layers[kLayerMedia].size(), 2u);
    EXPECT_EQ(c.layers[kLayerMedia][0].label, L"Caf\u00E9 \u732B \U0001F600");
    EXPECT_EQ(c.layers[kLayerMedia][1].label, L"Cr\u00E9me");
    EXPECT_EQ(c.layers[kLayerMedia][1].target, L"\u00C3") << "a lead byte without its continuation";
    EXPECT_EQ(c.layers[kLayerWeb][0].label, L"\u00E2\u201A") << "a sequence cut short";
    EXPECT_EQ(c.layers[kLayerWeb][0].target, L"\u00ED\u00A0\u20AC") << "an encoded surrogate is not UTF-8";
    EXPECT_TRUE(LoadFrom(SerializeWheelConfig(c)) == c);
}

TEST(ConfigFileRoundTrip, CutValuesAreTrimmedAgain) {
    std::vector<std::wstring> values = {std::wstring(510, L'a') + L" b", std::wstring(509, L'a') + L"\t\tzz",
                                        std::wstring(511, L'a') + L"   "};
    if constexpr (sizeof(wchar_t) == 2) values.push_back(std::wstring(509, L'a') + L" \U0001F600");
    for (const std::wstring& v : values) {
        std::string file = "[PAGE0]\nCount=1\nLabel_0=" + WideToUtf8(v) + "\nTarget_0=" + WideToUtf8(v) +
                           "\n[PAGE1]\nCount=1\n";
        WheelConfig first = LoadFrom(file);
        const std::wstring& label = first.layers[kLayerMedia][0].label;
        EXPECT_LE(label.size(), kMaxIniValueLength);
        ASSERT_FALSE(label.empty());
        EXPECT_NE(label.back(), L' ');
        EXPECT_NE(label.back(), L'\t');
        EXPECT_TRUE(LoadFrom(SerializeWheelConfig(first)) == first) << label.size();
    }
}
