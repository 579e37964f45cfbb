#include <gtest/gtest.h>

#include "config/wheel_config.h"

namespace {

std::vector<std::wstring> Labels(const WheelConfig& c, int layer) {
    std::vector<std::wstring> out;
    for (const auto& s : c.layers[layer]) out.push_back(s.label);
    return out;
}

}  // namespace

TEST(WheelConfigModel, DefaultsReplaceWhateverWasThere) {
    WheelConfig c;
    AppendSector(c, kLayerMedia, {L"a", L"x"});
    AppendSector(c, kLayerMedia, {L"b", L"y"});
    AppendSector(c, kLayerMedia, {L"c", L"z"});
    AppendSector(c, kLayerWeb, {L"w", L"http://w"});
    AppendSector(c, kLayerWeb, {L"v", L"http://v"});
    ApplyDefaultWheelConfig(c);
    EXPECT_EQ(Labels(c, kLayerMedia),
              (std::vector<std::wstring>{L"Format Image", L"Image to PDF", L"Screenshot", L"Compress", L"PDF Split"}));
    EXPECT_EQ(Labels(c, kLayerWeb),
              (std::vector<std::wstring>{L"YouTube", L"Netflix", L"GitHub", L"ChatGPT", L"Google"}));
    const wchar_t* targets[] = {L"action:format", L"action:pdf", L"action:screenshot", L"action:compress",
                                L"action:split"};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(c.layers[kLayerMedia][i].target, targets[i]);
    for (const auto& s : c.layers[kLayerWeb]) EXPECT_EQ(s.target.rfind(L"https://", 0), 0u) << s.target;
}

TEST(WheelConfigModel, ListOperationsKeepOrderAndRefuseBadIndexes) {
    WheelConfig c;
    for (const wchar_t* l : {L"0", L"1", L"2", L"3"}) ASSERT_TRUE(AppendSector(c, kLayerWeb, {l, l}));
    ASSERT_TRUE(EraseSector(c, kLayerWeb, 1));
    EXPECT_EQ(Labels(c, kLayerWeb), (std::vector<std::wstring>{L"0", L"2", L"3"}));
    ASSERT_TRUE(UpdateSector(c, kLayerWeb, 2, L"three", L"t"));
    EXPECT_EQ(SectorAt(c, kLayerWeb, 2)->label, L"three");
    EXPECT_EQ(SectorAt(c, kLayerWeb, 2)->target, L"t");

    EXPECT_FALSE(EraseSector(c, kLayerWeb, 3));
    EXPECT_FALSE(UpdateSector(c, kLayerWeb, 7, L"", L""));
    EXPECT_EQ(SectorAt(c, kLayerWeb, 3), nullptr);
    EXPECT_EQ(SectorAt(c, 2, 0), nullptr);
    EXPECT_EQ(SectorAt(c, -1, 0), nullptr);
    EXPECT_FALSE(AppendSector(c, 2, {L"", L""}));
    EXPECT_EQ(LayerLength(c, 5), 0u);
    EXPECT_EQ(LayerLength(c, kLayerWeb), 3u);

    ApplyDefaultWheelConfig(c);
    ApplyDefaultWebSectors(c);
    ClearLayer(c, kLayerWeb);
    EXPECT_EQ(LayerLength(c, kLayerWeb), 0u);
    EXPECT_EQ(LayerLength(c, kLayerMedia), 5u) << "clearing one layer must leave the other";
}
