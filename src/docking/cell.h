// One of the nine boxes of a docking's grid. A cell paints a background, a border and a text, and
// can host a window (a control or an embedded skinned dialog) through its handle, a nested
// docking through its child, and further renderables that are attached to it. Its size is its
// column's width and its row's height in the owning docking. The registries find it by its id
// and by its window.
#pragma once

#include <vector>

#include "docking/property.h"
#include "docking/renderable.h"

namespace System::Docking {

class CDocking;

class CDockingCell : public IRenderable {
public:
    // A cell of that docking's grid at (row, column).
    CDockingCell(CDocking* owner, int row, int column);
    // Leaves the registries and destroys the nested docking (not the listed renderables).
    ~CDockingCell() override;
    CDockingCell(const CDockingCell&) = delete;
    CDockingCell& operator=(const CDockingCell&) = delete;

    TextProperty<CDockingCell> text{this};
    // The cell's id (registered in the id registry while not empty).
    IdProperty<CDockingCell> id{this};
    // The docking whose grid holds the cell.
    ValueProperty<CDockingCell, CDocking*> docking;
    // The cell's size in the owning docking's grid. The typed get and set address the docking's
    // column width (width) or row height (height) of the cell's column or row, so setting it sets
    // it for the whole column or row (negative: flexible). The const typed get is the size of the
    // cell's last render.
    class SizeProperty : public Property<CDockingCell, int> {
    public:
        SizeProperty(CDockingCell* owner, bool column)
            : Property<CDockingCell, int>(owner, 0), column_(column) {}
        bool readable() const override { return true; }
        bool writable() const override { return true; }
        void Assign(const int& value) override;
        int Read() const override;
        // The size of the last render.
        void SetRendered(int value) { this->value_ = value; }

    private:
        bool column_;
    };
    SizeProperty width{this, true};
    SizeProperty height{this, false};
    FontProperty<CDockingCell> font{this};
    BackgroundProperty<CDockingCell> background{this};
    PaddingProperty<CDockingCell> padding{this};
    // Not used by the cell's own layout (the skinned slider insets by it).
    MarginProperty<CDockingCell> margin{this};
    BorderProperty<CDockingCell> border{this};
    // The border's corner radius, 0..90.
    RadiusProperty<CDockingCell> radius{this, 0};
    // The hosted window (the cell is registered for it in the window registry) and its style
    // text (how the window is placed and drawn). Setting a window places it at once.
    HandleProperty<CDockingCell> handle{this};
    // The nested docking, made on the first typed get with this cell as its parent and the owning
    // docking's stored owner; destroyed with the cell or by Reset. Rendering never makes it.
    struct ChildLink : LinkProperty<CDockingCell, CDocking*> {
        using LinkProperty::LinkProperty;
        ~ChildLink() override;
        CDocking* Read() const override;
        // Adopts a nested docking (the cell owns it from then on), destroying the one it held.
        void Assign(CDocking* const& nested) override;
        // Destroys the nested docking, if any.
        void Destroy() { Assign(nullptr); }
    } child{this};
    // Further renderables laid out and rendered in the client rectangle (not owned).
    std::vector<IRenderable*> renderables;
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
    TextProperty<CDockingCell> cursor{this, true};
    // Render order within the docking, smallest first.
    IntProperty<CDockingCell> zindex{this, 0};
    // The bounds less the border width (left and top only) and the padding; never negative.
    struct ClientLink : LinkProperty<CDockingCell, Gdiplus::Rect> {
        using LinkProperty::LinkProperty;
        Gdiplus::Rect Read() const override;
    } client{this};

    int Row() const { return row_; }
    int Column() const { return column_; }

    // Back to a cell that names nothing: id, text and cursor cleared (leaving the id registry);
    // background, font and border at their defaults; padding, margin, bounds and zindex 0; the
    // nested docking destroyed; the hosted window released (leaving the window registry). The
    // radius, the handle's style text and the renderable list stay.
    void Reset();

    // The handle's typed set: the cell is registered for its window (again, should another
    // renderable have taken the entry) and, with a window, laid out again so it is placed.
    void OnHandleChanged(HWND old, HWND now);

    // IRenderable.
    // Background, border, the hosted window, text, then the listed renderables and the nested
    // docking inside the client rectangle.
    void Render(RenderContext& context) override;
    // Stores the bounds, loads the background image, places the hosted window over the client
    // rectangle (and lays out its docking there), then lays out the listed renderables and the
    // nested docking in it.
    void SetBounds(const Gdiplus::Rect& bounds) override;
    Gdiplus::Rect GetBounds() const override { return bounds_; }
    // The root's UpdatePart(GetBounds()): the cell's box is drawn again.
    void Redraw() override;
    // Lays the cell out again with its bounds (re-placing the hosted window); rect is not used.
    void Update(Gdiplus::Rect rect) override;
    // Slot 5 for a cell: the target is a source DC (see Paint(HDC, Rect)).
    LRESULT Paint(HANDLE target, Gdiplus::Rect rect) override;
    // A hosted control drew itself into the memory DC `source`, of which rect is the part that
    // changed, in the root window's client coordinates: the part inside the client rectangle is
    // handed to the root window to copy (sent). Returns its answer, 0 when nothing was sent.
    LRESULT Paint(HDC source, Gdiplus::Rect rect);
    // The root's Paint(hosted window, GetBounds()).
    void PaintSelf(Gdiplus::Rect rect) override;

private:
    int row_;
    int column_;
    Gdiplus::Rect bounds_;
};

// What a cell hands the root window with WM_DOCKING_DRAWCHILD: where in the window (x, y, width,
// height) to copy which part of the source DC (from sourceX, sourceY). Lives on the sender's
// stack: the message is sent, and the receiver does not keep or free it.
struct DrawChildRecord {
    HDC source = nullptr;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int sourceX = 0;
    int sourceY = 0;
};

}  // namespace System::Docking
