// The interface of everything that the framework renders and finds by id or window (dockings
// and their cells), and what a render carries down the tree.
#pragma once

#include <atomic>

#include <windows.h>
#include <gdiplus.h>

namespace System::Docking {

class CRenderLock;

// What a render carries down the tree. Render takes it by reference; every child gets its own
// copy with its own bounds and clip.
struct RenderContext {
    // The window being rendered (the root docking's window).
    HWND window = nullptr;
    // The element's box.
    Gdiplus::Rect bounds;
    // The element's client rectangle (a cell sets it to its own before drawing).
    Gdiplus::Rect client;
    // Nothing is drawn outside it.
    Gdiplus::Rect clip;
    // The target bitmap's graphics.
    Gdiplus::Graphics* graphics = nullptr;
    // The part of the window the render is for; hosted windows that draw themselves cut
    // themselves out of it.
    HRGN region = nullptr;
    // A render of a part of the window draws only what meets that rectangle: an element whose
    // clip misses it is not rendered at all (its hosted window is not asked either).
    bool partial = false;
    Gdiplus::Rect part;
    // The surface's render generation counter, and the generation this render took when it
    // started: a render that has fallen behind stops at its next checkpoint.
    const std::atomic<int>* generationCounter = nullptr;
    int generation = 0;
    // The render lock of the root being rendered: every message the render sends is recorded in
    // it (RenderSend, ui_guard.h).
    CRenderLock* renderLock = nullptr;
};

// A render's checkpoint: returns the current generation, or, when the render's generation is
// lower (a newer render has started), throws the current generation (an int) to end the render.
int CheckRenderGeneration(const RenderContext& context);
// An element's render starts: in a render of a part, the clip is narrowed to that part, and false
// means nothing of the element is to be drawn.
bool EnterRenderPart(RenderContext& context);

class IRenderable {
public:
    virtual ~IRenderable() = default;

    // Draws the element into context.graphics within context.bounds, limited to context.clip.
    virtual void Render(RenderContext& context) = 0;
    // Stores the element's box and lays out what it holds.
    virtual void SetBounds(const Gdiplus::Rect& bounds) = 0;
    virtual Gdiplus::Rect GetBounds() const = 0;
    // Asks for the element to be drawn again.
    virtual void Redraw() = 0;
    // A docking schedules a render of its root window; a cell lays itself out again.
    virtual void Update(Gdiplus::Rect rect) = 0;
    // A docking: cancels renders in progress and schedules a new one whose finished picture is
    // presented with `target` (a window) as the present message's lParam. A cell: `target` is the
    // memory DC into which its hosted control drew itself (the copy is handed to the root
    // window); the result is what the root window answered, 0 when nothing was sent.
    virtual LRESULT Paint(HANDLE target, Gdiplus::Rect rect) = 0;
    // The root docking paints this element's box.
    virtual void PaintSelf(Gdiplus::Rect rect) = 0;
    // A docking paints its whole box again (a cell does nothing).
    virtual void Repaint() {}
};

}  // namespace System::Docking
