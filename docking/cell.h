// One of the nine boxes of a docking's grid. A cell can host a window (a control or an embedded
// skinned dialog) through its handle; the registries find it by its id and by that window.
//
// So far the cell carries what the docking tree's links need: its id, its docking, its hosted
// window, its parent and root, and its place in the grid. Its visual properties, layout and
// rendering arrive with rendering.
#pragma once

#include "docking/property.h"
#include "docking/renderable.h"

namespace System::Docking {

class CDocking;

class CDockingCell : public IRenderable {
public:
    // A cell of that docking's grid at (row, column).
    CDockingCell(CDocking* owner, int row, int column);
    ~CDockingCell() override = default;

    // The cell's id (registered in the id registry while not empty).
    IdProperty<CDockingCell> id{this};
    // The docking whose grid holds the cell.
    ValueProperty<CDockingCell, CDocking*> docking;
    // The hosted window: the cell is registered for it in the window registry.
    HandleProperty<CDockingCell> handle{this};
    // Always the cell's docking.
    struct ParentLink : LinkProperty<CDockingCell, IRenderable*> {
        using LinkProperty::LinkProperty;
        IRenderable* Read() const override;
    } parent{this};
    // The root of the cell's docking.
    struct RootLink : LinkProperty<CDockingCell, CDocking*> {
        using LinkProperty::LinkProperty;
        CDocking* Read() const override;
    } root{this};

    int Row() const { return row_; }
    int Column() const { return column_; }

    // Back to a cell that names nothing: the id is cleared (leaving the id registry) and the
    // hosted window released (leaving the window registry).
    void Reset();

    // The handle's typed set: the cell is registered for its window (again, should another
    // renderable have taken the entry). Placing the window in the cell arrives with the layout.
    void OnHandleChanged(HWND old, HWND now);

private:
    int row_;
    int column_;
};

}  // namespace System::Docking
