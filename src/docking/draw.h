// The drawing primitives that the docking tree, its cells and the skinned controls share: the
// dash-style keywords, the text option keywords, and the cell's border and text painters. They
// run on render threads against the graphics of the surface being drawn; each leaves the
// graphics' clip reset.
#pragma once

#include <string>

#include "docking/renderable.h"
#include "docking/style.h"
#include <gdiplus.h>
#include <windows.h>

namespace System::Docking {

// The pen dash style of a border's dash keyword; solid for an unknown one.
Gdiplus::DashStyle DashStyleOf(const std::wstring& keyword);

// What a font's option text asks for: the string format flags and the text rendering hint
// (0 when it names none: the painter's own default applies). Keywords are matched whole, each
// followed by '|' in the text followed by '|'.
struct TextOptions {
    int formatFlags = 0;
    int hint = 0;
};
TextOptions ParseTextOptions(const std::wstring& optionText);

// The cell's border inside the box, cut by the clip (widened by one pixel right and down). Radius
// 0..90 scales the corners with the box; a corner too small to be an arc is a point, so every
// side is drawn.
void PaintCellBorder(const Gdiplus::Rect& clip, const Gdiplus::Rect& box,
                     const BorderFields& border, int radius, Gdiplus::Graphics* graphics);

// The cell's text in the box less the padding, clipped to where that meets the clip. Families of
// the face list are tried in order; when none exists the generic sans-serif family is used.
// Effects of the font's style text: "halo" (a white outline and the text over it first) and
// "grave" (a white copy one pixel right and down first).
void PaintCellText(const std::wstring& text, const FontFields& font, const BoxFields& padding,
                   Gdiplus::Graphics* graphics, const Gdiplus::Rect& clip,
                   const Gdiplus::Rect& box);

// A copy of a cell's context for what is drawn inside the cell's client rectangle (context.client):
// bounds the client rectangle, clip the client rectangle with its right and bottom edges pulled in
// to the context's clip. What the cell lays out there is drawn there.
RenderContext ClientPart(const RenderContext& context);

// Lets the window a cell hosts draw itself into the render (WM_DOCKING_PAINT with the context as
// wParam), then renders the window's docking, if it answers WM_DOCKING_GETDOCKING with one and is
// visible, in the cell's client rectangle (ClientPart), where the cell laid the docking out. Style
// word "clip": a visible window is cut out of the paint region (within its parent's rectangle),
// so the docking does not paint over it. The render stops with the newer generation after each
// message when a newer render has started meanwhile.
void PaintCellWindow(RenderContext& context, HWND window, const std::wstring& style);

// Moves and sizes the hosted window over its cell: target is in the host window's client
// coordinates. The window is first asked to have its docking ready. Style words: "noresize" keeps
// a window that is already at the target's top-left as it is; "nomove" keeps a window that
// already has the target's size where it is. Moved without repainting.
void PlaceCellWindow(HWND host, const RECT& target, HWND window, const std::wstring& style);

}  // namespace System::Docking
