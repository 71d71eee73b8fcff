#include "docking/image_painter.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "docking/image_cache.h"

namespace System::Docking {

namespace {

bool FitsInt(std::int64_t v) {
    return v >= INT_MIN && v <= INT_MAX;
}

// One image draw, from a source rectangle (image pixels) to a destination of the same or another
// size. Nothing is drawn for a destination or source of no positive size (a negative size would
// mirror) or one that misses the draw box.
void DrawPart(const ImagePaintJob& job, PixelBox dest, PixelBox source) {
    if (dest.empty() || source.empty()) return;
    const PixelBox& draw = job.draw;
    if (dest.right() <= draw.x || dest.x >= draw.right() || dest.bottom() <= draw.y ||
        dest.y >= draw.bottom())
        return;
    if (!FitsInt(dest.x) || !FitsInt(dest.y) || !FitsInt(dest.right()) || !FitsInt(dest.bottom()) ||
        !FitsInt(source.x) || !FitsInt(source.y) || !FitsInt(source.width) ||
        !FitsInt(source.height))
        return;
    const Gdiplus::Rect to(static_cast<INT>(dest.x), static_cast<INT>(dest.y),
                           static_cast<INT>(dest.width), static_cast<INT>(dest.height));
    job.graphics->DrawImage(job.image, to, static_cast<INT>(source.x), static_cast<INT>(source.y),
                            static_cast<INT>(source.width), static_cast<INT>(source.height),
                            Gdiplus::UnitPixel, nullptr);
}

// The first tile position at or after `from` (stepping by `step` from `start`) whose tile reaches
// past `edge`: tiles wholly before the draw box are skipped without being visited.
std::int64_t FirstTile(std::int64_t start, std::int64_t step, std::int64_t edge) {
    if (start + step > edge) return start;
    return start + (edge - start) / step * step;
}

// Tiles the cached copy of the image over [x0, xEnd) x [y0, yEnd) with steps W and H, only the
// tiles that touch the draw box.
void Tile(const ImagePaintJob& job, std::int64_t x0, std::int64_t xEnd, bool stepX, std::int64_t y0,
          std::int64_t yEnd, bool stepY) {
    const std::int64_t w = job.image->GetWidth();
    const std::int64_t h = job.image->GetHeight();
    const PixelBox& draw = job.draw;
    if (stepX) {
        x0 = FirstTile(x0, w, draw.x);
        xEnd = std::min(xEnd, draw.right());
    }
    if (stepY) {
        y0 = FirstTile(y0, h, draw.y);
        yEnd = std::min(yEnd, draw.bottom());
    }
    // A single row or column lies at one place: it is painted only if it touches the box.
    if (!stepX && (x0 + w <= draw.x || x0 >= draw.right())) return;
    if (!stepY && (y0 + h <= draw.y || y0 >= draw.bottom())) return;
    if (!stepX) xEnd = x0 + 1;
    if (!stepY) yEnd = y0 + 1;
    if (x0 >= xEnd || y0 >= yEnd) return;
    Gdiplus::CachedBitmap cached(job.image, job.graphics);
    for (std::int64_t x = x0; x < xEnd; x += w)
        for (std::int64_t y = y0; y < yEnd; y += h)
            job.graphics->DrawCachedBitmap(&cached, static_cast<INT>(x), static_cast<INT>(y));
}

// One axis of a natural-size placement: the image starts at `at`, cropped where that lies before
// 0. Gives the destination start, the source start and the length.
struct Span {
    std::int64_t at;
    std::int64_t source;
    std::int64_t length;
};
Span Place(std::int64_t at, std::int64_t natural) {
    if (at >= 0) return {at, 0, natural};
    return {0, -at, natural + at};
}

}  // namespace

ImageDrawMode ImageDrawModeOf(const std::wstring& keyword) {
    const auto& table = Globals().imageDrawModes;
    auto it = table.find(keyword);
    return it == table.end() ? ImageDrawMode::Single : it->second;
}

PixelBox ImageDrawBox(const Gdiplus::Rect& target, int offsetX, int offsetY,
                      const Gdiplus::Rect& clip) {
    auto axis = [](std::int64_t start, std::int64_t length, std::int64_t offset,
                   std::int64_t clipStart, std::int64_t clipLength) {
        const std::int64_t end = start + length;
        if (offset < 0) {
            start += offset;
            if (start < 0) start = 0;
        }
        start = std::max(start, clipStart);
        const std::int64_t stop = std::min(end, clipStart + clipLength);
        return std::pair{start, stop - start};
    };
    PixelBox box;
    std::tie(box.x, box.width) = axis(target.X, target.Width, offsetX, clip.X, clip.Width);
    std::tie(box.y, box.height) = axis(target.Y, target.Height, offsetY, clip.Y, clip.Height);
    return box;
}

void FillColor(const ImagePaintJob& job) {
    const Gdiplus::SmoothingMode saved = job.graphics->GetSmoothingMode();
    job.graphics->SetSmoothingMode(Gdiplus::SmoothingModeHighSpeed);
    Gdiplus::SolidBrush brush{Gdiplus::Color(job.color)};
    job.graphics->FillRectangle(&brush, job.target);
    job.graphics->SetSmoothingMode(saved);
}

void PaintImage(int offsetX, const Gdiplus::Rect& clip, ImagePaintJob& job,
                Gdiplus::Graphics* graphics, const Gdiplus::Rect& target, int offsetY,
                const std::wstring& drawMode, ColorValue color, CDockingImage* image) {
    job.graphics = graphics;
    job.image = image;
    job.color = color;
    job.target = target;
    job.offsetX = offsetX;
    job.offsetY = offsetY;
    job.draw = ImageDrawBox(target, offsetX, offsetY, clip);
    if (graphics == nullptr || job.draw.empty()) return;

    // The draw box lies within the clip, so within the int range.
    graphics->SetClip(
        Gdiplus::Rect(static_cast<INT>(job.draw.x), static_cast<INT>(job.draw.y),
                      static_cast<INT>(job.draw.width), static_cast<INT>(job.draw.height)),
        Gdiplus::CombineModeReplace);
    if (color != kNoColor) FillColor(job);
    if (image != nullptr && image->GetWidth() > 0 && image->GetHeight() > 0) {
        const std::int64_t w = image->GetWidth();
        const std::int64_t h = image->GetHeight();
        const std::int64_t tx = target.X, ty = target.Y;
        const std::int64_t right = tx + target.Width, bottom = ty + target.Height;
        const std::int64_t left = tx + offsetX, top = ty + offsetY;
        switch (ImageDrawModeOf(drawMode)) {
            case ImageDrawMode::TileBoth:
                Tile(job, left, right, true, top, bottom, true);
                break;
            case ImageDrawMode::TileX:
                Tile(job, left, right, true, top, top + 1, false);
                break;
            case ImageDrawMode::TileY:
                // The column starts at the target's top: the vertical offset does not apply.
                Tile(job, left, left + 1, false, ty, bottom, true);
                break;
            case ImageDrawMode::StretchBoth:
                DrawPart(job, {tx, ty, target.Width, target.Height}, {offsetX, offsetY, w, h});
                break;
            case ImageDrawMode::StretchX: {
                const Span v = Place(top, h);
                DrawPart(job, {tx, v.at, target.Width, v.length}, {0, v.source, w, v.length});
                break;
            }
            case ImageDrawMode::StretchY: {
                const Span u = Place(left, w);
                DrawPart(job, {u.at, ty, u.length, target.Height}, {u.source, 0, u.length, h});
                break;
            }
            case ImageDrawMode::Single: {
                const Span u = Place(left, w);
                const Span v = Place(top, h);
                DrawPart(job, {u.at, v.at, u.length, v.length},
                         {u.source, v.source, u.length, v.length});
                break;
            }
        }
    }
    graphics->ResetClip();
}

}  // namespace System::Docking
