#include "docking/layout.h"

#include <algorithm>
#include <limits>

namespace System::Docking {

namespace {

using i64 = std::int64_t;

constexpr i64 kIntMin = std::numeric_limits<int>::min();
constexpr i64 kIntMax = std::numeric_limits<int>::max();

i64 Right(const Gdiplus::Rect& r) {
    return i64{r.X} + std::max(r.Width, 0);
}

i64 Bottom(const Gdiplus::Rect& r) {
    return i64{r.Y} + std::max(r.Height, 0);
}

}  // namespace

int ClampToInt(i64 value) {
    return static_cast<int>(std::clamp(value, kIntMin, kIntMax));
}

Gdiplus::Rect ClampedRect(i64 x, i64 y, i64 width, i64 height) {
    return {ClampToInt(x), ClampToInt(y), ClampToInt(std::max<i64>(width, 0)),
            ClampToInt(std::max<i64>(height, 0))};
}

Gdiplus::Rect InsetRect(const Gdiplus::Rect& box, const BoxFields& padding, int borderWidth) {
    const i64 border = std::max(borderWidth, 0);
    const i64 left = std::min<i64>(box.X + border + padding.left, Right(box));
    const i64 top = std::min<i64>(box.Y + border + padding.top, Bottom(box));
    const i64 right = std::max<i64>(Right(box) - padding.right, left);
    const i64 bottom = std::max<i64>(Bottom(box) - padding.bottom, top);
    return ClampedRect(left, top, right - left, bottom - top);
}

GridAxis LayoutGridAxis(int total, const int sizes[3]) {
    const i64 whole = std::max(total, 0);
    i64 size[3];
    int flexible = 0;
    for (int k = 0; k < 3; ++k) {
        size[k] = sizes[k] < 0 ? -1 : sizes[k];
        if (size[k] < 0) ++flexible;
    }
    if (flexible == 0) {
        size[2] = -1;
        flexible = 1;
    }
    i64 rest = whole;
    for (i64 s : size)
        if (s >= 0) rest -= s;
    const i64 share = std::max<i64>(rest, 0) / flexible;
    i64 start[4] = {0, 0, 0, 0};
    for (int k = 0; k < 3; ++k) start[k + 1] = start[k] + (size[k] < 0 ? share : size[k]);
    GridAxis axis;
    for (int k = 0; k < 3; ++k) {
        const i64 end = k < 2 ? start[k + 1] : whole;
        axis.start[k] = ClampToInt(start[k]);
        axis.extent[k] = ClampToInt(std::max<i64>(end - start[k], 0));
    }
    return axis;
}

void LayoutGrid(const Gdiplus::Rect& content, const int widths[3], const int heights[3],
                Gdiplus::Rect cells[9]) {
    const GridAxis columns = LayoutGridAxis(content.Width, widths);
    const GridAxis rows = LayoutGridAxis(content.Height, heights);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            cells[r * 3 + c] =
                ClampedRect(i64{content.X} + columns.start[c], i64{content.Y} + rows.start[r],
                            columns.extent[c], rows.extent[r]);
}

Gdiplus::Rect PullInToClip(const Gdiplus::Rect& rect, const Gdiplus::Rect& clip) {
    const i64 right = std::min(Right(rect), Right(clip));
    const i64 bottom = std::min(Bottom(rect), Bottom(clip));
    return ClampedRect(rect.X, rect.Y, right - rect.X, bottom - rect.Y);
}

Gdiplus::Rect Intersect(const Gdiplus::Rect& a, const Gdiplus::Rect& b) {
    const i64 left = std::max(a.X, b.X);
    const i64 top = std::max(a.Y, b.Y);
    const i64 right = std::min(Right(a), Right(b));
    const i64 bottom = std::min(Bottom(a), Bottom(b));
    if (right <= left || bottom <= top) return {};
    return ClampedRect(left, top, right - left, bottom - top);
}

}  // namespace System::Docking
