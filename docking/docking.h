// The render tree of one skinned window, or of one box nested inside a cell: a docking owns a
// fixed grid of three rows by three columns of cells, which can host windows and nested dockings.
// Dockings and cells are what the id and window registries hold.
//
// So far a docking carries its id, its window (handle), its links (parent, root, owner), its
// surface's render generation and its nine cells; its visual properties, layout and rendering
// arrive with rendering.
#pragma once

#include <atomic>
#include <string>

#include "docking/cell.h"
#include "docking/painter.h"
#include "docking/property.h"
#include "docking/renderable.h"
#include "platform/user.h"

namespace System::Docking {

class CDocking : public IRenderable {
public:
    // A docking under that parent (a cell, or null for the root of a window's tree).
    explicit CDocking(IRenderable* parentRenderable);
    // Its cells go first (last first), then its surface, then its properties; the window-docking
    // map forgets every window bound to it.
    ~CDocking() override;

    // The docking's id (registered in the id registry while not empty).
    IdProperty<CDocking> id{this};
    // The window whose client area the docking fills (registered for it in the window registry),
    // with a style text and the path of the layout file that filled the docking.
    struct Handle : HandleProperty<CDocking> {
        using HandleProperty::HandleProperty;
        std::wstring layoutFile;
    } handle{this};
    // The parent renderable: for a docking that is its own owner and was reset with a window,
    // whatever the window registry holds for that window (the cell hosting it), null when that is
    // the docking itself; otherwise the stored parent.
    struct ParentLink : LinkProperty<CDocking, IRenderable*> {
        using LinkProperty::LinkProperty;
        IRenderable* Read() const override;
    } parent;
    // The root of the tree: up through the parents while they are cells, to the last docking.
    struct RootLink : LinkProperty<CDocking, CDocking*> {
        using LinkProperty::LinkProperty;
        CDocking* Read() const override;
    } root{this};
    // The docking's owner: the docking itself from the first read on, unless set before.
    struct OwnerLink : LinkProperty<CDocking, CDocking*> {
        using LinkProperty::LinkProperty;
        CDocking* Read() const override;
    } owner{this};
    // The off-screen surface, with the render generation.
    CDockingPainter surface;

    // The window that the last Reset stored (null before the first).
    HWND ResetWindow() const { return resetWindow_; }
    // The cell at (row, column), both 0..2.
    CDockingCell& Cell(int row, int column) { return cells_[row * 3 + column]; }

    // Before a layout fills the docking for that window: no stored parent, the window stored,
    // every cell reset. The docking's own properties are not touched.
    void Reset(HWND window);

    // The handle's typed set: a changed handle registers the docking for its window.
    void OnHandleChanged(HWND old, HWND now);

private:
    HWND resetWindow_ = nullptr;
    // Row-major: row 0 is cells 0 to 2.
    CDockingCell cells_[9];
};

// What a render carries down the tree. So far: the window being rendered, the counter of its
// docking's surface and the generation this render took when it started. Bounds, clip, the
// target and the region arrive with rendering.
struct RenderContext {
    HWND window = nullptr;
    const std::atomic<int>* generationCounter = nullptr;
    int generation = 0;
};

// A render's checkpoint: returns the current generation, or, when the render's generation is
// lower (a newer render has started), throws the current generation (an int) to end the render.
int CheckRenderGeneration(const RenderContext& context);

}  // namespace System::Docking
