#include "capture/capture.h"

#include <algorithm>
#include <cstdlib>

SelectionRect SelectionFromDrag(int startX, int startY, int currentX, int currentY) {
    SelectionRect rect;
    rect.left = std::min(startX, currentX);
    rect.top = std::min(startY, currentY);
    rect.width = std::abs(currentX - startX);
    rect.height = std::abs(currentY - startY);
    return rect;
}

SelectionRect ClipSelection(const SelectionRect& rect, int width, int height) {
    const int left = std::clamp(rect.left, 0, std::max(width, 0));
    const int top = std::clamp(rect.top, 0, std::max(height, 0));
    // In 64 bits: a far point plus its width must not wrap around.
    const long long right = std::clamp(static_cast<long long>(rect.left) + rect.width, 0LL, static_cast<long long>(width));
    const long long bottom = std::clamp(static_cast<long long>(rect.top) + rect.height, 0LL, static_cast<long long>(height));
    SelectionRect clipped;
    clipped.left = left;
    clipped.top = top;
    clipped.width = right > left ? static_cast<int>(right - left) : 0;
    clipped.height = bottom > top ? static_cast<int>(bottom - top) : 0;
    return clipped;
}

void BeginDrag(SnipDrag& drag, int x, int y) {
    drag.dragging = true;
    drag.startX = drag.currentX = x;
    drag.startY = drag.currentY = y;
}

bool MoveDrag(SnipDrag& drag, int x, int y) {
    if (!drag.dragging) return false;
    drag.currentX = x;
    drag.currentY = y;
    return true;
}

std::optional<SelectionRect> FinishDrag(SnipDrag& drag, int width, int height) {
    if (!drag.dragging) return std::nullopt;
    drag.dragging = false;
    // The mouse is captured, so the release can lie beyond the screen: only what the picture
    // holds can be saved, and that part must still meet the minimum.
    const SelectionRect rect =
        ClipSelection(SelectionFromDrag(drag.startX, drag.startY, drag.currentX, drag.currentY), width, height);
    if (rect.width < kMinSelectionSide || rect.height < kMinSelectionSide) return std::nullopt;
    return rect;
}
