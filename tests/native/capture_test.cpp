// The area crop's drag: the rectangle from any direction, the minimum size, the screen's edges.
#include <gtest/gtest.h>

#include <optional>

#include "capture/capture.h"

namespace {

constexpr int kScreenW = 1024, kScreenH = 768;

struct DragCase {
    const char* name;
    int x0, y0, x1, y1;
    std::optional<SelectionRect> expected;
};

std::optional<SelectionRect> Drag(int x0, int y0, int x1, int y1) {
    SnipDrag drag;
    BeginDrag(drag, x0, y0);
    EXPECT_TRUE(MoveDrag(drag, (x0 + x1) / 2, y1));  // an intermediate point must not stick
    EXPECT_TRUE(MoveDrag(drag, x1, y1));
    std::optional<SelectionRect> rect = FinishDrag(drag, kScreenW, kScreenH);
    EXPECT_FALSE(drag.dragging);
    return rect;
}

}  // namespace

TEST(AreaCropDrag, RectangleAndMinimumFromEveryDirection) {
    const SelectionRect box{100, 200, 40, 30};
    const DragCase cases[] = {
        {"down-right", 100, 200, 140, 230, box},
        {"up-left", 140, 230, 100, 200, box},
        {"up-right", 100, 230, 140, 200, box},
        {"down-left", 140, 200, 100, 230, box},
        {"6 x 6 is kept", 10, 10, 16, 16, SelectionRect{10, 10, 6, 6}},
        {"6 x 6 up-left is kept", 16, 16, 10, 10, SelectionRect{10, 10, 6, 6}},
        {"6 x 5 is dropped", 10, 10, 16, 15, std::nullopt},
        {"5 x 6 is dropped", 10, 10, 15, 16, std::nullopt},
        {"plain click", 300, 300, 300, 300, std::nullopt},
        {"whole screen", 0, 0, kScreenW, kScreenH, SelectionRect{0, 0, kScreenW, kScreenH}},
        // Captured mouse beyond the screen: only the screen's part is saved.
        {"past the bottom-right", 1000, 700, 1300, 900, SelectionRect{1000, 700, 24, 68}},
        {"past the top-left", 20, 30, -50, -40, SelectionRect{0, 0, 20, 30}},
        {"big drag, 4 pixels on screen", 1020, 100, 1400, 200, std::nullopt},
        {"entirely off screen", -300, -300, -100, -100, std::nullopt},
    };
    for (const DragCase& c : cases) {
        EXPECT_EQ(Drag(c.x0, c.y0, c.x1, c.y1), c.expected) << c.name;
    }
}

TEST(AreaCropDrag, NothingHappensWithoutAPress) {
    SnipDrag drag;
    EXPECT_FALSE(MoveDrag(drag, 50, 50));  // no redraw before the press
    EXPECT_EQ(FinishDrag(drag, kScreenW, kScreenH), std::nullopt);
    // A finished drag does not answer a second release.
    BeginDrag(drag, 0, 0);
    MoveDrag(drag, 100, 100);
    EXPECT_EQ(FinishDrag(drag, kScreenW, kScreenH), (SelectionRect{0, 0, 100, 100}));
    EXPECT_EQ(FinishDrag(drag, kScreenW, kScreenH), std::nullopt);
    EXPECT_FALSE(MoveDrag(drag, 200, 200));
}

TEST(AreaCropDrag, ClipKeepsFarCoordinatesFromWrapping) {
    EXPECT_EQ(ClipSelection({2147483000, 5, 2000, 10}, kScreenW, kScreenH), (SelectionRect{kScreenW, 5, 0, 10}));
    EXPECT_EQ(ClipSelection({10, 10, 50, 50}, 0, 0), (SelectionRect{0, 0, 0, 0}));
}
