// The selection of the area crop: the drag that frames it and the rectangle it gives.
// Portable: no platform calls, so every drag can be checked without a screen.
#pragma once

#include <optional>

struct SelectionRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const SelectionRect&) const = default;
};

// A side of 5 pixels or less is taken for a slip of the hand, not a selection.
constexpr int kMinSelectionSide = 6;

// The rectangle between the press point and the current point, whichever way the drag went.
SelectionRect SelectionFromDrag(int startX, int startY, int currentX, int currentY);

// The part of `rect` that lies on a picture of width x height (empty when none does).
SelectionRect ClipSelection(const SelectionRect& rect, int width, int height);

// The drag on the overlay, in overlay client coordinates (the overlay sits at 0, 0).
struct SnipDrag {
    bool dragging = false;
    int startX = 0, startY = 0;
    int currentX = 0, currentY = 0;
};

void BeginDrag(SnipDrag& drag, int x, int y);
// Returns whether the frame must be redrawn (only while a drag is in progress).
bool MoveDrag(SnipDrag& drag, int x, int y);
// Ends the drag. The rectangle to save, clipped to the picture of width x height, or nothing
// when no drag was in progress or the selection is below the minimum on either side.
std::optional<SelectionRect> FinishDrag(SnipDrag& drag, int width, int height);
