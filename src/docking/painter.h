// A docking's off-screen surface: a 32-bit DIB section selected into a memory DC, its size in two
// read-only properties, a GDI+ graphics on the DC made when first needed, the render generation
// and the render lock.
//
// Every render takes the generation counter's new value when it starts, and a render whose
// generation has fallen behind the counter stops at its next checkpoint (CheckRenderGeneration).
// The surface owns every bitmap given to it; the DC's own initial bitmap is put back before the
// DC goes, so it is never deleted.
#pragma once

#include <atomic>

#include "docking/property.h"
#include "docking/render_lock.h"
#include <windows.h>
#include <gdiplus.h>

namespace System::Docking {

// A 32-bit DIB section of width x height with bottom-up rows, made without a reference context;
// null when it cannot be made.
HBITMAP CreateSurfaceBitmap(int width, int height);

class CDockingPainter {
public:
    // A surface of that size (no picture while either is 0).
    explicit CDockingPainter(int width = 0, int height = 0);
    // Frees the graphics, puts the DC's initial bitmap back and deletes the selected one, then the
    // DC.
    ~CDockingPainter();
    CDockingPainter(const CDockingPainter&) = delete;
    CDockingPainter& operator=(const CDockingPainter&) = delete;

    // The size of the bitmap selected into the DC (0 without one).
    ReadOnlyProperty<CDockingPainter, int> width{this, 0};
    ReadOnlyProperty<CDockingPainter, int> height{this, 0};

    // Makes a new DIB section of that size and selects it, unless either is 0 (or negative) or
    // the size is the current one. A failed creation leaves the surface as it was.
    void Allocate(int newWidth, int newHeight);
    // With a bitmap: selects it (making the DC on first need) and takes it over, deleting the
    // bitmap it replaces unless that is the DC's initial one; the size follows the bitmap. With
    // null: puts the DC's initial bitmap back, deletes the one that was selected, and forgets
    // both, so the surface is as new (size 0) and nothing is deleted twice.
    void SelectBitmap(HBITMAP bitmap);
    // Takes the selected bitmap out of the DC and hands it to the caller (who then owns it, for
    // instance to give it to another surface): the DC's initial bitmap goes back in and the
    // surface is as after SelectBitmap(null), without deleting anything. Null when the surface
    // has no bitmap of its own.
    HBITMAP TakeBitmap();
    // A memory DC exists.
    bool HasPicture() const { return dc_ != nullptr; }
    // The memory DC (null before the first bitmap).
    HDC Dc() const { return dc_; }
    // The GDI+ graphics on the DC, made on first need (null without a DC). Remade after the
    // selected bitmap changes.
    Gdiplus::Graphics* Graphics();

    // Advances the generation under the generation lock and returns the new value. Renders of an
    // older generation stop at their next checkpoint.
    int AdvanceGeneration();
    // The current generation (any thread, without the lock).
    int Generation() const { return generation_.load(); }
    // What a render context points at.
    const std::atomic<int>* GenerationCounter() const { return &generation_; }
    // Held by the one render of the owning docking that is running, and by the user-interface
    // thread while it changes the tree (UiWrite).
    CRenderLock& RenderLock() { return renderLock_; }

private:
    void DropGraphics();

    Gdiplus::Graphics* graphics_ = nullptr;
    HDC dc_ = nullptr;
    // The DC's own bitmap, saved when the first bitmap went in (null until then).
    HGDIOBJ initialBitmap_ = nullptr;
    // The DIB section that Allocate made (null when the selected bitmap came from outside).
    HBITMAP dib_ = nullptr;
    // Written only under generationLock_; read by render threads without it.
    std::atomic<int> generation_{0};
    CRITICAL_SECTION generationLock_;
    CRenderLock renderLock_;
};

}  // namespace System::Docking
