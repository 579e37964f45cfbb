#include <gtest/gtest.h>

#include <string>

#include "config/settings_rules.h"

namespace {

WheelConfig WithLayer(int layer, int count) {
    WheelConfig c;
    ApplyDefaultWheelConfig(c);
    ClearLayer(c, layer);
    for (int i = 0; i < count; ++i)
        AppendSector(c, layer, {L"S" + std::to_wstring(i), L"t" + std::to_wstring(i)});
    return c;
}

std::wstring Labels(const WheelConfig& c, int layer) {
    std::wstring out;
    for (const auto& s : c.layers[layer]) out += s.label + L",";
    return out;
}

}  // namespace

// One row per press: the layer before, the press, the box it asks for and the layer after.
TEST(SettingsRules, AddUpdateAndDeleteFollowTheLimits) {
    enum Press { Add, Delete };
    struct Row {
        const char* name;
        int count;
        Press press;
        int selection;
        const wchar_t* label;
        SettingsNotice notice;
        bool clearFields;
        const wchar_t* after;
    };
    const Row rows[] = {
        {"full layer, no selection: refused", 5, Add, -1, L"New", SettingsNotice::LayerFull, false,
         L"S0,S1,S2,S3,S4,"},
        {"full layer, selection: updates", 5, Add, 4, L"New", SettingsNotice::None, false, L"S0,S1,S2,S3,New,"},
        {"selection past the end counts as none", 5, Add, 5, L"New", SettingsNotice::LayerFull, false,
         L"S0,S1,S2,S3,S4,"},
        {"room left: appends", 3, Add, -1, L"New", SettingsNotice::None, false, L"S0,S1,S2,New,"},
        {"empty label refused before the limit", 5, Add, -1, L"", SettingsNotice::EmptyLabel, false,
         L"S0,S1,S2,S3,S4,"},
        {"blank label is empty", 3, Add, 0, L" \t ", SettingsNotice::EmptyLabel, false, L"S0,S1,S2,"},
        {"delete at 2 refused", 2, Delete, 1, nullptr, SettingsNotice::LayerAtMinimum, false, L"S0,S1,"},
        {"delete of a single loaded sector refused", 1, Delete, 0, nullptr, SettingsNotice::LayerAtMinimum, false,
         L"S0,"},
        {"delete line 2 of 3", 3, Delete, 1, nullptr, SettingsNotice::None, true, L"S0,S2,"},
        {"delete without selection: nothing, no box", 3, Delete, -1, nullptr, SettingsNotice::None, false,
         L"S0,S1,S2,"},
    };
    for (const Row& row : rows) {
        for (int layer : {kLayerMedia, kLayerWeb}) {
            WheelConfig c = WithLayer(layer, row.count);
            const WheelConfig before = c;
            SettingsEdit edit = row.press == Add ? AddOrUpdateSector(c, layer, row.selection, row.label, L"x")
                                                 : DeleteSelectedSector(c, layer, row.selection);
            EXPECT_EQ(edit.notice, row.notice) << row.name;
            EXPECT_EQ(edit.clearFields, row.clearFields) << row.name;
            EXPECT_EQ(Labels(c, layer), row.after) << row.name;
            EXPECT_EQ(c.layers[1 - layer], before.layers[1 - layer]) << row.name << ": the other layer is untouched";
            if (row.notice != SettingsNotice::None) {
                EXPECT_TRUE(c == before) << row.name << ": a refusal changes nothing";
            }
        }
    }
}

TEST(SettingsRules, SecondPressAfterAnUpdateAppendsACopy) {
    WheelConfig c = WithLayer(kLayerWeb, 3);
    // The refresh after the update leaves the list without a selection, so the window passes -1.
    ASSERT_TRUE(AddOrUpdateSector(c, kLayerWeb, 1, L"Docs", L"https://docs").refreshList);
    ASSERT_EQ(AddOrUpdateSector(c, kLayerWeb, -1, L"Docs", L"https://docs").notice, SettingsNotice::None);
    EXPECT_EQ(Labels(c, kLayerWeb), L"S0,Docs,S2,Docs,");
    EXPECT_EQ(c.layers[kLayerWeb][3].target, L"https://docs");
    EXPECT_EQ(SectorListLines(c, kLayerWeb)[3], L"[4] Docs  ->  https://docs");
    EXPECT_EQ(AddOrUpdateSector(c, kLayerWeb, -1, L"Five", L"").notice, SettingsNotice::None) << "empty target is fine";
    EXPECT_EQ(AddOrUpdateSector(c, kLayerWeb, -1, L"Six", L"").notice, SettingsNotice::LayerFull);
}

TEST(SettingsRules, ResetRestoresBothLayersWhicheverTabIsShown) {
    WheelConfig c = WithLayer(kLayerMedia, 2);
    UpdateSector(c, kLayerWeb, 0, L"Mine", L"https://mine");
    EXPECT_TRUE(ResetBothLayers(c).refreshList);
    WheelConfig defaults;
    ApplyDefaultWheelConfig(defaults);
    EXPECT_TRUE(c == defaults);
    EXPECT_EQ(LayerForTab(0), kLayerMedia);
    for (int tab : {1, -1, 7}) EXPECT_EQ(LayerForTab(tab), kLayerWeb) << tab;
}

TEST(SettingsRules, ListLinesAndFieldsKeepWhatTheFileCanHold) {
    WheelConfig c;
    ApplyDefaultWheelConfig(c);
    EXPECT_EQ(SectorListLines(c, kLayerMedia)[0], L"[1] Format Image  ->  action:format");
    EXPECT_EQ(SectorListLines(c, kLayerWeb).size(), 5u);
    EXPECT_EQ(SectorListLine(0, {std::wstring(600, L'a'), L"t"}).size(), kSectorLineChars);

    struct Case {
        std::wstring in;
        size_t limit;
        std::wstring out;
    } cases[] = {
        {L"  Caf\u00E9  ", 127, L"Caf\u00E9"},
        {L"evil\r\nCount=9", 127, L"evil"},
        {L"one\ntwo", 127, L"one"},
        {std::wstring(126, L'a') + L" b", 127, std::wstring(126, L'a')},
        {std::wstring(600, L'q'), 511, std::wstring(511, L'q')},
        // The window's buffer already cut a pair: the lone first half goes.
        {std::wstring(126, L'a') + wchar_t(0xD83D), 127, std::wstring(126, L'a')},
    };
    for (const Case& k : cases) EXPECT_EQ(CleanSettingsField(k.in, k.limit), k.out);
    if constexpr (sizeof(wchar_t) == 2) {
        // A pair cut in half at the limit loses its lone first half, then the blank before it.
        std::wstring pair = std::wstring(125, L'a') + L" \U0001F600";
        EXPECT_EQ(CleanSettingsField(pair, 127), std::wstring(125, L'a'));
    }

    AddOrUpdateSector(c, kLayerMedia, 0, L"  Spaced  ", L" action:pdf ");
    EXPECT_EQ(c.layers[kLayerMedia][0], (WheelSector{L"Spaced", L"action:pdf"}));
}
