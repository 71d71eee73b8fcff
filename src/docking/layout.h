// The geometry of the docking tree: content and client rectangles inside a box, the three-way
// split of a grid axis, and clipping. Every sum is taken in 64 bits and every result clamped into
// the int range, so that numbers from a skin can neither overflow nor give a negative extent.
#pragma once

#include <cstdint>

#include "docking/style.h"
#include <gdiplus.h>

namespace System::Docking {

// The value clamped into the int range.
int ClampToInt(std::int64_t value);

// A rectangle from 64-bit edges: position clamped into the int range, extents clamped at 0 and
// at the int range.
Gdiplus::Rect ClampedRect(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height);

// The box less its padding and, on the left and top sides only, a border of borderWidth. Never
// negative: padding larger than the box collapses it at the inset left or top edge. A box of
// negative width or height counts as 0 wide or high.
Gdiplus::Rect InsetRect(const Gdiplus::Rect& box, const BoxFields& padding, int borderWidth = 0);

// One axis of a grid: where each of the three columns (or rows) starts within `total` and how
// far it reaches. A negative size is flexible; without one the third becomes flexible. Flexible
// entries share what the fixed ones leave (integer division); the last takes the remainder.
// No extent is negative, whatever the sizes; a negative total counts as 0.
struct GridAxis {
    int start[3] = {0, 0, 0};
    int extent[3] = {0, 0, 0};
};
GridAxis LayoutGridAxis(int total, const int sizes[3]);

// The nine cell rectangles (row-major) of a grid laid out inside `content`.
void LayoutGrid(const Gdiplus::Rect& content, const int widths[3], const int heights[3],
                Gdiplus::Rect cells[9]);

// The rectangle with its right and bottom edges pulled in to the clip's where it reaches beyond
// them (extents not below 0); its left and top stay.
Gdiplus::Rect PullInToClip(const Gdiplus::Rect& rect, const Gdiplus::Rect& clip);

// Where two rectangles meet; empty (all 0) when they do not.
Gdiplus::Rect Intersect(const Gdiplus::Rect& a, const Gdiplus::Rect& b);

}  // namespace System::Docking
