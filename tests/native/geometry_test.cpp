#include <gtest/gtest.h>

#include "wheel/geometry.h"

namespace {

WheelConfig WithCounts(size_t media, size_t web) {
    WheelConfig c;
    for (size_t i = 0; i < media; ++i) AppendSector(c, kLayerMedia, {L"m", L"action:pdf"});
    for (size_t i = 0; i < web; ++i) AppendSector(c, kLayerWeb, {L"w", L"https://w"});
    return c;
}

WheelState Mode(WheelMode mode, int layer = 0) {
    WheelState s;
    s.mode = mode;
    s.layer = layer;
    return s;
}

}  // namespace

TEST(WheelGeometry, CountAndAnglePerModeAndLayer) {
    WheelConfig c = WithCounts(5, 2);
    EXPECT_EQ(SectorCount(Mode(WheelMode::Main, 0), c), 5);
    EXPECT_FLOAT_EQ(SectorAngle(Mode(WheelMode::Main, 0), c), 72.0f);
    EXPECT_EQ(SectorCount(Mode(WheelMode::Main, 1), c), 2);
    EXPECT_FLOAT_EQ(SectorAngle(Mode(WheelMode::Main, 1), c), 180.0f);
    EXPECT_EQ(SectorCount(Mode(WheelMode::FormatSub, 1), c), 4);
    EXPECT_FLOAT_EQ(SectorAngle(Mode(WheelMode::FormatSub), c), 90.0f);
    EXPECT_EQ(SectorCount(Mode(WheelMode::SnipSub), c), 3);
    EXPECT_FLOAT_EQ(SectorAngle(Mode(WheelMode::SnipSub), c), 120.0f);
    WheelConfig empty;
    EXPECT_EQ(SectorCount(Mode(WheelMode::Main), empty), 1);
    EXPECT_FLOAT_EQ(SectorAngle(Mode(WheelMode::Main), empty), 360.0f);
}

TEST(WheelHitTest, CentreDeadZoneEndsBelowRadius45) {
    WheelConfig c = WithCounts(5, 5);
    WheelState s;
    EXPECT_EQ(HitTestSector(s, c, 170, 170), kHoveredCentre);
    EXPECT_EQ(HitTestSector(s, c, 214, 170), kHoveredCentre);
    EXPECT_EQ(HitTestSector(s, c, 170 + 31, 170 + 31), kHoveredCentre);  // 43.8 from the centre
    EXPECT_EQ(HitTestSector(s, c, 215, 170), 0) << "exactly 45 is a sector";
    EXPECT_EQ(HitTestSector(s, c, 170 + 27, 170 + 36), 0) << "3-4-5 triangle: exactly 45";
}

TEST(WheelHitTest, FiveSectorsClockwiseFromThreeOClock) {
    WheelConfig c = WithCounts(5, 5);
    WheelState s;
    struct Case {
        int x, y, expected;
    } cases[] = {{250, 170, 0}, {170, 250, 1}, {90, 170, 2}, {170, 90, 3}, {250, 160, 4},
                 {250, 171, 0}, {30000, 170, 0}, {-30000, 170, 2}, {170, 32767, 1}, {30000, 169, 4}};
    for (const Case& k : cases) EXPECT_EQ(HitTestSector(s, c, k.x, k.y), k.expected) << k.x << "," << k.y;
}

TEST(WheelHitTest, TwoSectorsSplitAtTheHorizontal) {
    WheelConfig c = WithCounts(2, 2);
    WheelState s;
    for (int x = 0; x < 340; x += 17) {
        if (x == 170) continue;
        EXPECT_EQ(HitTestSector(s, c, x, 250), 0) << x;
        EXPECT_EQ(HitTestSector(s, c, x, 90), 1) << x;
    }
    EXPECT_EQ(HitTestSector(s, c, 90, 170), 1) << "180 degrees belongs to the second half";
    EXPECT_EQ(HitTestSector(s, c, 250, 170), 0);
}

TEST(WheelHitTest, SubWheelsUseFixedAnglesAndEmptyListIsOneSector) {
    WheelConfig c = WithCounts(2, 2);
    EXPECT_EQ(HitTestSector(Mode(WheelMode::FormatSub), c, 170, 90), 3);
    EXPECT_EQ(HitTestSector(Mode(WheelMode::SnipSub), c, 170, 90), 2);
    EXPECT_EQ(HitTestSector(Mode(WheelMode::SnipSub), c, 90, 171), 1);
    WheelConfig empty;
    for (int x : {0, 100, 339})
        for (int y : {0, 339}) EXPECT_EQ(HitTestSector(Mode(WheelMode::Main), empty, x, y), 0);
}

TEST(WheelHitTest, EveryPointOfTheWindowHitsAValidSector) {
    for (size_t n = 1; n <= 5; ++n) {
        WheelConfig c = WithCounts(n, n);
        WheelState s;
        for (int y = -400; y <= 740; y += 3)
            for (int x = -400; x <= 740; x += 3) {
                int32_t h = HitTestSector(s, c, x, y);
                ASSERT_TRUE(h == kHoveredCentre || (h >= 0 && h < static_cast<int32_t>(n))) << x << "," << y;
            }
    }
}

TEST(WheelHitTest, RedrawOnlyWhenTheHoveredValueChanges) {
    WheelConfig c = WithCounts(5, 5);
    WheelState s;
    EXPECT_TRUE(UpdateHovered(s, c, 250, 170));
    EXPECT_EQ(s.hovered, 0);
    EXPECT_FALSE(UpdateHovered(s, c, 260, 180)) << "same sector";
    EXPECT_TRUE(UpdateHovered(s, c, 170, 250));
    EXPECT_EQ(s.hovered, 1);
    EXPECT_TRUE(UpdateHovered(s, c, 171, 171));
    EXPECT_EQ(s.hovered, kHoveredCentre);
    EXPECT_FALSE(UpdateHovered(s, c, 160, 165)) << "still in the centre";
}

TEST(WheelGeometry, MetricsPerDpiKeepAWholePixelCentre) {
    struct Case {
        int dpi, size, centre;
    } cases[] = {{96, 340, 170}, {120, 426, 213}, {144, 510, 255}, {168, 596, 298}, {192, 680, 340}, {288, 1020, 510},
                 {0, 340, 170}, {20, 340, 170}, {-96, 340, 170}, {1000000, 340, 170}};
    for (const Case& k : cases) {
        WheelMetrics m = MetricsForDpi(k.dpi);
        EXPECT_EQ(m.size, k.size) << k.dpi;
        EXPECT_EQ(m.centre, k.centre) << k.dpi;
    }
}

// At a higher DPI every point of the 96-DPI window, scaled about the centre, hits the same
// sector (or the centre). The steps keep the scaled offsets whole, so no rounding enters.
TEST(WheelHitTest, ScaledPointsHitTheSameSectorAtEveryDpi) {
    struct Case {
        int dpi, step;
    } dpis[] = {{120, 4}, {144, 2}, {192, 1}};
    for (const Case& k : dpis)
        for (size_t n = 1; n <= 5; ++n)
            for (WheelMode mode : {WheelMode::Main, WheelMode::FormatSub, WheelMode::SnipSub}) {
                WheelConfig c = WithCounts(n, 6 - n);
                WheelState base = Mode(mode, static_cast<int>(n) % 2);
                WheelState scaled = base;
                scaled.dpi = k.dpi;
                const int centre = MetricsForDpi(k.dpi).centre;
                const int num = k.dpi, den = 96;
                for (int dy = -200; dy <= 200; dy += k.step)
                    for (int dx = -200; dx <= 200; dx += k.step) {
                        int32_t want = HitTestSector(base, c, 170 + dx, 170 + dy);
                        int32_t got = HitTestSector(scaled, c, centre + dx * num / den, centre + dy * num / den);
                        ASSERT_EQ(got, want) << "dpi " << k.dpi << " n " << n << " at " << dx << "," << dy;
                    }
            }
    // The dead zone's edge at 144 DPI: radius 67.5 about (255, 255).
    WheelConfig c = WithCounts(5, 5);
    WheelState s;
    s.dpi = 144;
    EXPECT_EQ(HitTestSector(s, c, 255 + 67, 255), kHoveredCentre);
    EXPECT_EQ(HitTestSector(s, c, 255 + 68, 255), 0);
    EXPECT_EQ(HitTestSector(s, c, 255, 255 - 67), kHoveredCentre);
    EXPECT_EQ(HitTestSector(s, c, 255, 255 - 68), 3);
}
