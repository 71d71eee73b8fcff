// The image painter: a background of a colour, an image, or both, placed into a rectangle with an
// offset and a draw-mode keyword ("repeat", "scale" and their variants). One routine serves the
// backgrounds of dockings and cells and the parts of the skinned slider.
#pragma once

#include <cstdint>
#include <string>

#include "docking/color.h"
#include "docking/globals.h"
#include <gdiplus.h>

namespace System::Docking {

class CDockingImage;

// A rectangle in 64-bit surface pixels: positions plus offsets from a skin can reach past the
// int range without overflowing.
struct PixelBox {
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t right() const { return x + width; }
    std::int64_t bottom() const { return y + height; }
    bool empty() const { return width <= 0 || height <= 0; }
};

// What PaintImage hands to the draw-mode painters.
struct ImagePaintJob {
    Gdiplus::Graphics* graphics = nullptr;
    CDockingImage* image = nullptr;  // may be null
    ColorValue color = kNoColor;
    Gdiplus::Rect target;
    // Also the clip while painting.
    PixelBox draw;
    int offsetX = 0;
    int offsetY = 0;
};

// The painter of a draw-mode keyword: the single image for any keyword not in the table.
ImageDrawMode ImageDrawModeOf(const std::wstring& keyword);

// Where PaintImage paints: the target widened to the left (and up) by a negative offset, but not
// past 0, intersected with the clip. Empty when nothing is painted.
PixelBox ImageDrawBox(const Gdiplus::Rect& target, int offsetX, int offsetY,
                      const Gdiplus::Rect& clip);

// Paints the colour (unless it is kNoColor) and then the image (if any) by the draw mode into the
// target, limited to the draw box; the graphics' clip is reset afterwards. The caller holds the
// image's lock around the call. job receives what was painted with.
void PaintImage(int offsetX, const Gdiplus::Rect& clip, ImagePaintJob& job,
                Gdiplus::Graphics* graphics, const Gdiplus::Rect& target, int offsetY,
                const std::wstring& drawMode, ColorValue color, CDockingImage* image);

// Fills the job's target with its colour (aliased), within the graphics' clip.
void FillColor(const ImagePaintJob& job);

}  // namespace System::Docking
