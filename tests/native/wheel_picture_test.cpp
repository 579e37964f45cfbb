#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "wheel/geometry.h"
#include "wheel/wheel_picture.h"

namespace {

// Colours as the wheel's look defines them, written out here so a wrong constant shows.
constexpr uint32_t kDarkFill = 0xE1161B22;
constexpr uint32_t kDarkPen = 0x28FFFFFF;
constexpr uint32_t kSkyFill = 0xF50EA5E9;
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFF;
constexpr uint32_t kDimGlyph = 0xC8FFFFFF;
constexpr uint32_t kSky = 0xFF38BDF8;
constexpr uint32_t kDotOff = 0x50FFFFFF;
constexpr uint32_t kDiscFill = 0xFA0D1117;
constexpr uint32_t kDiscPen = 0x3CFFFFFF;
constexpr uint32_t kRoseFill = 0xF5E11D48;

constexpr float kEps = 0.01f;

const std::wstring kCancel = L"\u2715 BATAL";
const std::wstring kClose = L"\u2715 Tutup";
const std::wstring kRing = L"\u25CB";
const std::wstring kBack = L"\u21A9";

struct Point {
    float x, y;
};

WheelState StateOf(WheelMode mode, int layer = 0, int hovered = kHoveredNone) {
    WheelState s;
    s.mode = mode;
    s.layer = layer;
    s.hovered = hovered;
    return s;
}

WheelConfig Defaults() {
    WheelConfig c;
    ApplyDefaultWheelConfig(c);
    return c;
}

std::wstring S(std::wstring_view v) { return std::wstring(v); }
std::string Narrow(std::wstring_view v) { return WideToUtf8(v); }

void ExpectRect(const RectF& r, float x, float y, float w, float h, const char* what) {
    EXPECT_NEAR(r.x, x, kEps) << what;
    EXPECT_NEAR(r.y, y, kEps) << what;
    EXPECT_NEAR(r.width, w, kEps) << what;
    EXPECT_NEAR(r.height, h, kEps) << what;
}

// The op list splits into: shadow, n pies, rim, inner ring, disc, glyph/label pairs, centre.
struct Parts {
    std::vector<DrawOp> pies;
    std::vector<DrawOp> glyphs;
    std::vector<DrawOp> labels;
    std::vector<DrawOp> centre;
};

// Walks the list in its drawing order; any op out of place fails the test.
Parts Split(const WheelPicture& p) {
    Parts out;
    const auto& ops = p.ops;
    size_t i = 0;
    EXPECT_GE(ops.size(), 5u);
    if (ops.size() < 5) return out;

    const DrawOp& shadow = ops[i++];
    EXPECT_EQ(shadow.kind, DrawKind::Circle) << "shadow ring first";
    ExpectRect(shadow.rect, 16, 16, 308, 308, "shadow ring");
    EXPECT_EQ(shadow.fill, 0u) << "the shadow is a ring, not a disc";
    EXPECT_EQ(shadow.pen, 0x23000000u);
    EXPECT_FLOAT_EQ(shadow.penWidth, 12.0f);

    while (i < ops.size() && ops[i].kind == DrawKind::Pie) out.pies.push_back(ops[i++]);

    EXPECT_LE(i + 3, ops.size());
    if (i + 3 > ops.size()) return out;
    const DrawOp& rim = ops[i++];
    EXPECT_EQ(rim.kind, DrawKind::Circle) << "rim after the pies";
    ExpectRect(rim.rect, 20, 20, 300, 300, "rim");
    EXPECT_EQ(rim.fill, 0u);
    EXPECT_EQ(rim.pen, 0x32FFFFFFu);
    EXPECT_FLOAT_EQ(rim.penWidth, 1.5f);

    const DrawOp& inner = ops[i++];
    EXPECT_EQ(inner.kind, DrawKind::Circle) << "inner ring after the rim";
    ExpectRect(inner.rect, 123, 123, 94, 94, "inner ring");
    EXPECT_EQ(inner.fill, 0u);
    EXPECT_EQ(inner.pen, 0x2DFFFFFFu);
    EXPECT_FLOAT_EQ(inner.penWidth, 2.0f);

    const DrawOp& disc = ops[i++];
    EXPECT_EQ(disc.kind, DrawKind::Circle) << "centre disc after the inner ring";
    ExpectRect(disc.rect, 125, 125, 90, 90, "centre disc");
    EXPECT_FLOAT_EQ(disc.penWidth, 1.5f);
    out.centre.push_back(disc);

    // Glyph/label pairs: an icon-font text followed by a label-font text.
    while (i + 1 < ops.size() && ops[i].kind == DrawKind::Text && ops[i].font == FontRole::Icon) {
        out.glyphs.push_back(ops[i++]);
        EXPECT_EQ(ops[i].kind, DrawKind::Text);
        EXPECT_EQ(ops[i].font, FontRole::Label) << "label follows its glyph";
        out.labels.push_back(ops[i++]);
    }
    while (i < ops.size()) {
        EXPECT_NE(ops[i].kind, DrawKind::Pie) << "no pie after the centre disc";
        EXPECT_FALSE(ops[i].kind == DrawKind::Text && ops[i].font == FontRole::Icon) << "stray glyph";
        out.centre.push_back(ops[i++]);
    }
    return out;
}

const DrawOp& Disc(const Parts& parts) {
    static const DrawOp none{DrawKind::Circle, {0, 0, 0, 0}};
    if (parts.centre.empty()) {
        ADD_FAILURE() << "no centre disc";
        return none;
    }
    return parts.centre[0];
}

// Centre ops after the disc.
std::vector<DrawOp> CentreTexts(const Parts& parts) {
    return {parts.centre.begin() + (parts.centre.empty() ? 0 : 1), parts.centre.end()};
}

Point GlyphAnchor(const DrawOp& op) { return {op.rect.x + 35, op.rect.y + 22}; }
Point LabelAnchor(const DrawOp& op) { return {op.rect.x + 48, op.rect.y - 1}; }

void ExpectAnchors(const Parts& parts, const std::vector<Point>& expected) {
    ASSERT_EQ(parts.glyphs.size(), expected.size());
    ASSERT_EQ(parts.labels.size(), expected.size());
    for (size_t j = 0; j < expected.size(); ++j) {
        Point g = GlyphAnchor(parts.glyphs[j]);
        Point l = LabelAnchor(parts.labels[j]);
        EXPECT_NEAR(g.x, expected[j].x, kEps) << "glyph of sector " << j;
        EXPECT_NEAR(g.y, expected[j].y, kEps) << "glyph of sector " << j;
        EXPECT_NEAR(l.x, expected[j].x, kEps) << "label of sector " << j;
        EXPECT_NEAR(l.y, expected[j].y, kEps) << "label of sector " << j;
        EXPECT_FLOAT_EQ(parts.glyphs[j].rect.width, 70.0f);
        EXPECT_FLOAT_EQ(parts.glyphs[j].rect.height, 20.0f);
        EXPECT_FLOAT_EQ(parts.labels[j].rect.width, 96.0f);
        EXPECT_FLOAT_EQ(parts.labels[j].rect.height, 22.0f);
    }
}

void ExpectPies(const Parts& parts, int n, float d) {
    ASSERT_EQ(parts.pies.size(), static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const DrawOp& pie = parts.pies[i];
        ExpectRect(pie.rect, 20, 20, 300, 300, "pie");
        EXPECT_NEAR(pie.startAngle, i * d + 1.1f, 1e-3f) << "pie " << i;
        EXPECT_NEAR(pie.sweepAngle, d - 2.2f, 1e-3f) << "pie " << i;
    }
}

void ExpectTexts(const std::vector<DrawOp>& ops, const std::vector<std::wstring>& texts) {
    ASSERT_EQ(ops.size(), texts.size());
    for (size_t j = 0; j < texts.size(); ++j) EXPECT_EQ(S(ops[j].text), texts[j]) << "text " << j;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The main wheel at rest

TEST(WheelPicture, FiveMediaSectorsAtRest) {
    const WheelConfig c = Defaults();
    WheelPicture p;
    BuildWheelPicture(StateOf(WheelMode::Main), c, 0, p);
    EXPECT_EQ(p.ops.size(), 1u + 5 + 3 + 10 + 3);
    const Parts parts = Split(p);

    ASSERT_NO_FATAL_FAILURE(ExpectPies(parts, 5, 72.0f));
    EXPECT_NEAR(parts.pies[0].startAngle, 1.1f, 1e-4f);
    EXPECT_NEAR(parts.pies[0].sweepAngle, 69.8f, 1e-4f);
    for (const DrawOp& pie : parts.pies) {
        EXPECT_EQ(pie.fill, kDarkFill);
        EXPECT_EQ(pie.pen, kDarkPen);
        EXPECT_FLOAT_EQ(pie.penWidth, 1.0f);
    }

    EXPECT_EQ(Disc(parts).fill, kDiscFill);
    EXPECT_EQ(Disc(parts).pen, kDiscPen);

    ExpectTexts(parts.labels, {L"Format Image", L"Image to PDF", L"Screenshot", L"Compress", L"PDF Split"});
    ExpectTexts(parts.glyphs, {L"\u27F3", L"\u25A4", L"\u25A3", L"\u25BC", L"\u2702"});
    for (const DrawOp& g : parts.glyphs) EXPECT_EQ(g.color, kDimGlyph);
    for (const DrawOp& l : parts.labels) EXPECT_EQ(l.color, kOpaqueWhite);

    // Sector 0 sits below and right of the centre; the rest follow clockwise.
    ASSERT_NO_FATAL_FAILURE(ExpectAnchors(parts, {{248.879f, 227.309f},
                                                  {139.871f, 262.728f},
                                                  {72.5f, 170.0f},
                                                  {139.871f, 77.272f},
                                                  {248.879f, 112.691f}}));
    // Glyph above, label below the anchor: together they centre on it.
    const RectF& g0 = parts.glyphs[0].rect;
    const RectF& l0 = parts.labels[0].rect;
    EXPECT_NEAR(g0.x + g0.width / 2, 248.9f, 0.05f);
    EXPECT_NEAR(l0.x + l0.width / 2, 248.9f, 0.05f);
    EXPECT_NEAR(l0.y + l0.height / 2, 227.3f + 12.0f, 0.05f) << "label box starts just below the anchor";
    EXPECT_LT(g0.y + g0.height, l0.y) << "glyph and label do not overlap";

    const std::vector<DrawOp> centre = CentreTexts(parts);
    ASSERT_EQ(centre.size(), 3u);
    EXPECT_EQ(centre[0].kind, DrawKind::Text);
    EXPECT_EQ(S(centre[0].text), L"MEDIA");
    EXPECT_EQ(centre[0].font, FontRole::Small);
    EXPECT_EQ(centre[0].color, kOpaqueWhite);
    ExpectRect(centre[0].rect, 135, 156, 70, 14, "title");
    EXPECT_EQ(centre[1].kind, DrawKind::Circle);
    ExpectRect(centre[1].rect, 164, 174, 4, 4, "left dot");
    EXPECT_EQ(centre[1].fill, kSky);
    EXPECT_FLOAT_EQ(centre[1].penWidth, 0.0f) << "dots are filled, not outlined";
    EXPECT_EQ(centre[2].kind, DrawKind::Circle);
    ExpectRect(centre[2].rect, 176, 174, 4, 4, "right dot");
    EXPECT_EQ(centre[2].fill, kDotOff);
    EXPECT_FLOAT_EQ(centre[2].penWidth, 0.0f);
}

TEST(WheelPicture, WebLayerShowsWebListTitleAndRightDot) {
    const WheelConfig c = Defaults();
    WheelPicture p;
    BuildWheelPicture(StateOf(WheelMode::Main, kLayerWeb), c, 0, p);
    const Parts parts = Split(p);
    ExpectPies(parts, 5, 72.0f);
    ExpectTexts(parts.labels, {L"YouTube", L"Netflix", L"GitHub", L"ChatGPT", L"Google"});
    ExpectTexts(parts.glyphs, {L"\u25B6", L"\u25C9", L"\u2699", L"\u2728", L"\u2315"});
    const std::vector<DrawOp> centre = CentreTexts(parts);
    ASSERT_EQ(centre.size(), 3u);
    EXPECT_EQ(S(centre[0].text), L"WEB");
    ExpectRect(centre[0].rect, 135, 156, 70, 14, "title");
    ExpectRect(centre[1].rect, 164, 174, 4, 4, "left dot");
    EXPECT_EQ(centre[1].fill, kDotOff);
    ExpectRect(centre[2].rect, 176, 174, 4, 4, "right dot");
    EXPECT_EQ(centre[2].fill, kSky);
}

TEST(WheelPicture, LabelsComeFromTheConfigurationAsTheyAre) {
    // A renamed sector keeps its target but loses its glyph; the layers are read independently.
    WheelConfig c;
    AppendSector(c, kLayerMedia, {L"Ubah Format", L"action:format"});
    AppendSector(c, kLayerMedia, {L"compress", L"action:compress"});
    AppendSector(c, kLayerMedia, {L"Kembali", L"action:pdf"});
    AppendSector(c, kLayerWeb, {L"Google", L"https://www.google.com/"});
    AppendSector(c, kLayerWeb, {L"Wiki", L"https://wikipedia.org/"});
    WheelPicture p;
    BuildWheelPicture(StateOf(WheelMode::Main, kLayerMedia), c, 0, p);
    Parts parts = Split(p);
    ExpectPies(parts, 3, 120.0f);
    ExpectTexts(parts.labels, {L"Ubah Format", L"compress", L"Kembali"});
    ExpectTexts(parts.glyphs, {kRing, kRing, kBack});

    BuildWheelPicture(StateOf(WheelMode::Main, kLayerWeb), c, 0, p);
    parts = Split(p);
    ExpectPies(parts, 2, 180.0f);
    ExpectTexts(parts.labels, {L"Google", L"Wiki"});
    ExpectTexts(parts.glyphs, {L"\u2315", kRing});
    ExpectAnchors(parts, {{170.0f, 267.5f}, {170.0f, 72.5f}});
}

// ---------------------------------------------------------------------------------------------
// Hover

TEST(WheelPicture, OnlyTheHoveredSectorIsLit) {
    const WheelConfig c = Defaults();
    for (int hovered = -2; hovered <= 6; ++hovered) {
        WheelPicture p;
        BuildWheelPicture(StateOf(WheelMode::Main, kLayerMedia, hovered), c, 0, p);
        const Parts parts = Split(p);
        ASSERT_EQ(parts.pies.size(), 5u);
        ASSERT_EQ(parts.glyphs.size(), 5u);
        for (int i = 0; i < 5; ++i) {
            const bool hot = i == hovered;
            EXPECT_EQ(parts.pies[i].fill, hot ? kSkyFill : kDarkFill) << "hovered " << hovered << " pie " << i;
            EXPECT_EQ(parts.pies[i].pen, hot ? kOpaqueWhite : kDarkPen) << "hovered " << hovered << " pie " << i;
            EXPECT_FLOAT_EQ(parts.pies[i].penWidth, hot ? 2.0f : 1.0f) << "hovered " << hovered << " pie " << i;
            EXPECT_EQ(parts.glyphs[i].color, hot ? kOpaqueWhite : kDimGlyph) << "hovered " << hovered;
            EXPECT_EQ(parts.labels[i].color, kOpaqueWhite) << "labels stay white";
        }
        const bool centre = hovered == kHoveredCentre;
        EXPECT_EQ(Disc(parts).fill, centre ? kRoseFill : kDiscFill) << "hovered " << hovered;
        EXPECT_EQ(Disc(parts).pen, centre ? kOpaqueWhite : kDiscPen) << "hovered " << hovered;
    }
}

TEST(WheelPicture, HoveredCentreShowsOnlyTheCancelHintInEveryMode) {
    const WheelConfig c = Defaults();
    struct Case {
        WheelMode mode;
        int layer;
        size_t files;
    };
    const Case cases[] = {
        {WheelMode::Main, 0, 0}, {WheelMode::Main, 1, 0}, {WheelMode::Main, 0, 3},
        {WheelMode::Main, 1, 3}, {WheelMode::FormatSub, 0, 0}, {WheelMode::FormatSub, 0, 2},
        {WheelMode::SnipSub, 0, 0}, {WheelMode::SnipSub, 0, 9},
    };
    for (const Case& k : cases) {
        WheelPicture p;
        BuildWheelPicture(StateOf(k.mode, k.layer, kHoveredCentre), c, k.files, p);
        const Parts parts = Split(p);
        EXPECT_EQ(Disc(parts).fill, kRoseFill);
        EXPECT_EQ(Disc(parts).pen, kOpaqueWhite);
        const std::vector<DrawOp> centre = CentreTexts(parts);
        ASSERT_EQ(centre.size(), 1u) << "mode " << static_cast<int>(k.mode) << " files " << k.files;
        EXPECT_EQ(centre[0].kind, DrawKind::Text);
        EXPECT_EQ(S(centre[0].text), kCancel);
        EXPECT_EQ(centre[0].font, FontRole::Label);
        EXPECT_EQ(centre[0].color, kOpaqueWhite);
        ExpectRect(centre[0].rect, 135, 156, 70, 28, "cancel hint");
        for (const DrawOp& pie : parts.pies) EXPECT_EQ(pie.fill, kDarkFill);
    }
}

// ---------------------------------------------------------------------------------------------
// File count

TEST(WheelPicture, FileCountReplacesTitleAndDotsOnBothLayers) {
    const WheelConfig c = Defaults();
    for (int layer : {0, 1}) {
        WheelPicture p;
        BuildWheelPicture(StateOf(WheelMode::Main, layer, 1), c, 3, p);
        const Parts parts = Split(p);
        const std::vector<DrawOp> centre = CentreTexts(parts);
        ASSERT_EQ(centre.size(), 2u) << "no title, no dots";
        EXPECT_EQ(S(centre[0].text), L"3 FILE");
        EXPECT_EQ(centre[0].font, FontRole::Label);
        EXPECT_EQ(centre[0].color, kSky);
        ExpectRect(centre[0].rect, 135, 154, 70, 16, "count");
        EXPECT_EQ(S(centre[1].text), kClose);
        EXPECT_EQ(centre[1].font, FontRole::Small);
        EXPECT_EQ(centre[1].color, kSky);
        ExpectRect(centre[1].rect, 135, 171, 70, 12, "close hint");
        ASSERT_EQ(parts.pies.size(), 5u);
        EXPECT_EQ(parts.pies[1].fill, kSkyFill) << "the count does not change the sectors";
    }
}

TEST(WheelPicture, CountTextFollowsEachRebuild) {
    const WheelConfig c = Defaults();
    WheelPicture p;
    struct Step {
        size_t files;
        const wchar_t* text;  // nullptr: no count shown
    };
    const Step steps[] = {
        {3, L"3 FILE"}, {12, L"12 FILE"}, {7, L"7 FILE"}, {0, nullptr}, {100000, L"100000 FILE"}, {1, L"1 FILE"},
    };
    for (const Step& s : steps) {
        BuildWheelPicture(StateOf(WheelMode::Main), c, s.files, p);
        const std::vector<DrawOp> centre = CentreTexts(Split(p));
        ASSERT_FALSE(centre.empty());
        if (s.text) {
            EXPECT_EQ(S(centre[0].text), s.text) << "files " << s.files;
            EXPECT_EQ(centre.size(), 2u);
        } else {
            EXPECT_EQ(S(centre[0].text), L"MEDIA");
            EXPECT_EQ(centre.size(), 3u);
        }
    }
    // Rebuilding also drops the previous picture's ops entirely.
    BuildWheelPicture(StateOf(WheelMode::FormatSub), c, 4, p);
    EXPECT_EQ(p.ops.size(), 1u + 4 + 3 + 8 + 2);
}

// ---------------------------------------------------------------------------------------------
// Sub-wheels

TEST(WheelPicture, FormatSubWheel) {
    const WheelConfig full = Defaults();
    const WheelConfig empty;
    for (const WheelConfig* c : {&full, &empty})
        for (size_t files : {size_t{0}, size_t{3}}) {
            WheelPicture p;
            BuildWheelPicture(StateOf(WheelMode::FormatSub, kLayerMedia), *c, files, p);
            const Parts parts = Split(p);
            ExpectPies(parts, 4, 90.0f);
            ExpectTexts(parts.labels, {L"PNG", L"JPG", L"WebP", L"Kembali"});
            ExpectTexts(parts.glyphs, {kRing, kRing, kRing, kBack});
            ExpectAnchors(parts, {{238.943f, 238.943f}, {101.057f, 238.943f}, {101.057f, 101.057f},
                                  {238.943f, 101.057f}});
            const std::vector<DrawOp> centre = CentreTexts(parts);
            ASSERT_EQ(centre.size(), 2u) << "files " << files << ": title shown, no count";
            EXPECT_EQ(S(centre[0].text), L"FORMAT");
            EXPECT_EQ(centre[0].font, FontRole::Small);
            EXPECT_EQ(centre[0].color, kOpaqueWhite);
            ExpectRect(centre[0].rect, 135, 156, 70, 14, "title");
            EXPECT_EQ(S(centre[1].text), kClose);
            EXPECT_EQ(centre[1].font, FontRole::Small);
            EXPECT_EQ(centre[1].color, kSky);
            ExpectRect(centre[1].rect, 135, 172, 70, 12, "close hint");
        }
}

TEST(WheelPicture, SnipSubWheel) {
    const WheelConfig c = Defaults();
    for (size_t files : {size_t{0}, size_t{5}}) {
        WheelPicture p;
        BuildWheelPicture(StateOf(WheelMode::SnipSub, kLayerMedia, 2), c, files, p);
        const Parts parts = Split(p);
        ASSERT_NO_FATAL_FAILURE(ExpectPies(parts, 3, 120.0f));
        ASSERT_NO_FATAL_FAILURE(ExpectTexts(parts.labels, {L"Area Crop", L"Full Screen", L"Kembali"}));
        ASSERT_NO_FATAL_FAILURE(ExpectTexts(parts.glyphs, {kRing, kRing, kBack}));
        ASSERT_NO_FATAL_FAILURE(ExpectAnchors(parts, {{218.75f, 254.437f}, {72.5f, 170.0f}, {218.75f, 85.563f}}));
        EXPECT_EQ(parts.pies[2].fill, kSkyFill);
        EXPECT_EQ(parts.glyphs[2].color, kOpaqueWhite);
        const std::vector<DrawOp> centre = CentreTexts(parts);
        ASSERT_NO_FATAL_FAILURE(ExpectTexts(centre, {L"SNIP", kClose}));
        ExpectRect(centre[0].rect, 135, 156, 70, 14, "title");
        ExpectRect(centre[1].rect, 135, 172, 70, 12, "close hint");
    }
}

// ---------------------------------------------------------------------------------------------
// Short lists

TEST(WheelPicture, OneSectorListIsOneNearlyFullPie) {
    WheelConfig c;
    AppendSector(c, kLayerMedia, {L"Compress", L"action:compress"});
    WheelPicture p;
    BuildWheelPicture(StateOf(WheelMode::Main), c, 0, p);
    const Parts parts = Split(p);
    ASSERT_EQ(parts.pies.size(), 1u);
    EXPECT_NEAR(parts.pies[0].startAngle, 1.1f, 1e-4f);
    EXPECT_NEAR(parts.pies[0].sweepAngle, 357.8f, 1e-4f);
    ExpectTexts(parts.labels, {L"Compress"});
    ExpectAnchors(parts, {{72.5f, 170.0f}});  // 180 degrees: left of the centre
}

TEST(WheelPicture, EmptyListDrawsOnePieAndNoSectorText) {
    WheelConfig c;
    ApplyDefaultWheelConfig(c);
    ClearLayer(c, kLayerWeb);
    WheelPicture p;
    BuildWheelPicture(StateOf(WheelMode::Main, kLayerWeb, 0), c, 0, p);
    const Parts parts = Split(p);
    ASSERT_EQ(parts.pies.size(), 1u);
    EXPECT_NEAR(parts.pies[0].sweepAngle, 357.8f, 1e-4f);
    EXPECT_TRUE(parts.glyphs.empty());
    EXPECT_TRUE(parts.labels.empty());
    const std::vector<DrawOp> centre = CentreTexts(parts);
    ASSERT_EQ(centre.size(), 3u);
    EXPECT_EQ(S(centre[0].text), L"WEB");
}

// What is drawn and what is hit agree: every label anchor hit-tests to its own sector.
TEST(WheelPicture, DrawnSectorsMatchTheHitTest) {
    for (size_t len = 0; len <= kMaxSectorsPerLayer; ++len)
        for (WheelMode mode : {WheelMode::Main, WheelMode::FormatSub, WheelMode::SnipSub}) {
            WheelConfig c;
            for (size_t i = 0; i < len; ++i) AppendSector(c, kLayerWeb, {L"s", L"https://s/"});
            const WheelState s = StateOf(mode, kLayerWeb);
            WheelPicture p;
            BuildWheelPicture(s, c, 0, p);
            const Parts parts = Split(p);
            const int n = SectorCount(s, c);
            const float d = SectorAngle(s, c);
            ExpectPies(parts, n, d);
            for (size_t j = 0; j < parts.glyphs.size(); ++j) {
                Point a = GlyphAnchor(parts.glyphs[j]);
                EXPECT_EQ(HitTestSector(s, c, static_cast<int>(a.x + 0.5f), static_cast<int>(a.y + 0.5f)),
                          static_cast<int32_t>(j))
                    << "mode " << static_cast<int>(mode) << " length " << len;
            }
        }
}

// ---------------------------------------------------------------------------------------------
// Glyphs

TEST(WheelGlyphs, TableIsWholeLabelAndCaseSensitive) {
    struct Case {
        const wchar_t* label;
        const wchar_t* glyph;
    };
    const Case cases[] = {
        {L"Format Image", L"\u27F3"}, {L"Image to PDF", L"\u25A4"}, {L"Screenshot", L"\u25A3"},
        {L"Compress", L"\u25BC"},     {L"PDF Split", L"\u2702"},    {L"YouTube", L"\u25B6"},
        {L"Netflix", L"\u25C9"},      {L"GitHub", L"\u2699"},       {L"ChatGPT", L"\u2728"},
        {L"Google", L"\u2315"},       {L"Kembali", L"\u21A9"},
        // Anything else, including near misses, gets the plain ring.
        {L"format image", L"\u25CB"}, {L"FORMAT IMAGE", L"\u25CB"}, {L"Image To PDF", L"\u25CB"},
        {L"Screenshot ", L"\u25CB"},  {L" Compress", L"\u25CB"},    {L"PDF", L"\u25CB"},
        {L"Youtube", L"\u25CB"},      {L"Github", L"\u25CB"},       {L"ChatGPT!", L"\u25CB"},
        {L"google", L"\u25CB"},       {L"kembali", L"\u25CB"},      {L"Kemb", L"\u25CB"},
        {L"PNG", L"\u25CB"},          {L"JPG", L"\u25CB"},          {L"WebP", L"\u25CB"},
        {L"Area Crop", L"\u25CB"},    {L"Full Screen", L"\u25CB"},  {L"", L"\u25CB"},
        {L"Ubah Format", L"\u25CB"},
    };
    for (const Case& k : cases) EXPECT_EQ(S(GlyphForLabel(k.label)), k.glyph) << "\"" << Narrow(k.label) << "\"";
}

// ---------------------------------------------------------------------------------------------
// Scaled displays

// At any DPI the picture is the 96-DPI one scaled about the window's centre: same operations in
// the same order, every length times dpi / 96, every position within a pixel of the scaled one.
TEST(WheelPicture, PictureAtHigherDpiIsTheBasePictureScaled) {
    WheelConfig c = Defaults();
    struct Case {
        WheelMode mode;
        int layer, hovered;
        size_t files;
    } states[] = {{WheelMode::Main, 0, kHoveredNone, 0}, {WheelMode::Main, 1, 3, 0}, {WheelMode::Main, 0, kHoveredCentre, 2},
                  {WheelMode::Main, 0, 0, 7}, {WheelMode::FormatSub, 0, 3, 0}, {WheelMode::SnipSub, 0, 1, 4}};
    for (int dpi : {120, 144, 192}) {
        const float s = dpi / 96.0f;
        for (const Case& k : states) {
            WheelState state = StateOf(k.mode, k.layer, k.hovered);
            WheelPicture base, scaled;
            BuildWheelPicture(state, c, k.files, base);
            state.dpi = dpi;
            BuildWheelPicture(state, c, k.files, scaled);
            EXPECT_EQ(base.metrics.size, 340);
            EXPECT_EQ(scaled.metrics.dpi, dpi);
            EXPECT_NEAR(scaled.metrics.size, 340 * s, 1.0f) << dpi;
            ASSERT_EQ(scaled.ops.size(), base.ops.size()) << dpi;
            for (size_t i = 0; i < base.ops.size(); ++i) {
                const DrawOp &b = base.ops[i], &o = scaled.ops[i];
                const std::string at = "dpi " + std::to_string(dpi) + " op " + std::to_string(i);
                EXPECT_EQ(o.kind, b.kind) << at;
                // The centre is a whole pixel: at 120 DPI it sits half a pixel off 170 * 1.25.
                EXPECT_NEAR(o.rect.x, b.rect.x * s, 0.501f) << at;
                EXPECT_NEAR(o.rect.y, b.rect.y * s, 0.501f) << at;
                EXPECT_NEAR(o.rect.width, b.rect.width * s, 1e-3f) << at;
                EXPECT_NEAR(o.rect.height, b.rect.height * s, 1e-3f) << at;
                EXPECT_NEAR(o.penWidth, b.penWidth * s, 1e-4f) << at;
                EXPECT_EQ(o.fill, b.fill) << at;
                EXPECT_EQ(o.pen, b.pen) << at;
                EXPECT_EQ(o.color, b.color) << at;
                EXPECT_FLOAT_EQ(o.startAngle, b.startAngle) << at;
                EXPECT_FLOAT_EQ(o.sweepAngle, b.sweepAngle) << at;
                EXPECT_EQ(S(o.text), S(b.text)) << at;
                EXPECT_EQ(o.font, b.font) << at;
            }
        }
        // Fonts: 9.5, 14 and 8 points are 12.67, 18.67 and 10.67 pixels at 96 DPI.
        for (auto [role, px96] : {std::pair{FontRole::Label, 12.6667f}, {FontRole::Icon, 18.6667f}, {FontRole::Small, 10.6667f}}) {
            EXPECT_NEAR(FontPixelSize(role, 96), px96, 1e-3f);
            EXPECT_NEAR(FontPixelSize(role, dpi), px96 * s, 1e-3f) << dpi;
        }
    }
    // A failed DPI lookup (0) or a nonsense value draws the wheel at its base size.
    for (int dpi : {0, -144, 100000}) {
        WheelState state;
        state.dpi = dpi;
        WheelPicture p;
        BuildWheelPicture(state, c, 0, p);
        EXPECT_EQ(p.metrics.size, 340) << dpi;
        EXPECT_NEAR(FontPixelSize(FontRole::Label, dpi), 12.6667f, 1e-3f) << dpi;
    }
}
