// The render tree of one skinned window, or of one box nested inside a cell: a docking owns a
// fixed grid of three rows by three columns of cells, which can host windows and nested dockings,
// lays the grid out inside its bounds and renders itself and its cells. Dockings and cells are
// what the id and window registries hold.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "docking/cell.h"
#include "docking/painter.h"
#include "docking/present.h"
#include "docking/property.h"
#include "docking/render_pool.h"
#include "docking/renderable.h"
#include "docking/ui_guard.h"
#include <windows.h>

namespace System::Docking {

class CDocking : public IRenderable {
    // Held while a nested docking is destroyed: its root's render lock. Declared first, so that it
    // is released after everything else of the docking is gone.
    std::optional<UiWrite> teardown_;

public:
    // A docking under that parent (a cell, or null for the root of a window's tree): default
    // properties, nine cells, column widths and row heights [0, -1, 0].
    explicit CDocking(IRenderable* parentRenderable);
    // First its renders end: queued ones will not run, running ones are cancelled and waited for
    // (while the messages they send to this thread are handled), and a nested docking holds its
    // root's render lock until it is gone. Then its cells go (last first), its locks and surface,
    // its properties; the window-docking map forgets every window bound to it.
    ~CDocking() override;
    CDocking(const CDocking&) = delete;
    CDocking& operator=(const CDocking&) = delete;

    // Drawn into the content rectangle (the part before a NUL character is kept).
    TextProperty<CDocking> text{this, true};
    // The docking's id (registered in the id registry while not empty).
    IdProperty<CDocking> id{this};
    BackgroundProperty<CDocking> background{this};
    PaddingProperty<CDocking> padding{this};
    // Stored; the docking's own layout does not use it.
    MarginProperty<CDocking> margin{this};
    // The border's corner radius, 0..90.
    RadiusProperty<CDocking> radius{this, 0};
    // The window whose client area the docking fills (registered for it in the window registry),
    // with a style text and the path of the layout file that filled the docking (images of the
    // docking and its cells are looked up next to it). A changed handle lays the grid out again.
    struct Handle : HandleProperty<CDocking> {
        using HandleProperty::HandleProperty;
        std::wstring layoutFile;
    } handle{this};
    FontProperty<CDocking> font{this};
    BorderProperty<CDocking> border{this};
    // The size of the last bounds.
    IntProperty<CDocking> width{this, 0};
    IntProperty<CDocking> height{this, 0};
    // The parent renderable: for a docking that is its own owner and was reset with a window,
    // whatever the window registry holds for that window (the cell hosting it), null when that is
    // the docking itself or a cell of the docking's own tree (a window anchored inside itself);
    // otherwise the stored parent.
    struct ParentLink : LinkProperty<CDocking, IRenderable*> {
        using LinkProperty::LinkProperty;
        IRenderable* Read() const override;
    } parent;
    // "clip": cells draw only within the docking's content; "float": a cell may draw beyond it.
    TextProperty<CDocking> overflow{this, true};
    // A mouse-cursor keyword; stored only.
    TextProperty<CDocking> cursor{this, true};
    // The root of the tree: up through the parents while they are cells, to the last docking.
    struct RootLink : LinkProperty<CDocking, CDocking*> {
        using LinkProperty::LinkProperty;
        CDocking* Read() const override;
    } root{this};
    // How the dialog of this docking is made (layout, style, mask, sizes).
    WindowProperty<CDocking> window{this};
    // The id of a cell of another window's layout that is to host this docking's window.
    TextProperty<CDocking> anchor{this};
    // The docking's owner: the docking itself from the first read on, unless set before.
    struct OwnerLink : LinkProperty<CDocking, CDocking*> {
        using LinkProperty::LinkProperty;
        CDocking* Read() const override;
    } owner{this};
    // The off-screen surface: the on-screen copy of the picture, the render generation and the
    // render lock.
    CDockingPainter surface;
    // Stored; nothing in the docking reads them.
    IntProperty<CDocking> left{this, 0};
    IntProperty<CDocking> top{this, 0};
    // At most one render of the docking runs (it holds the busy lock) and at most one waits (it
    // holds the waiting lock); both are taken before the surface's render lock.
    struct Lock {
        Lock() { InitializeCriticalSection(&section); }
        ~Lock() { DeleteCriticalSection(&section); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        CRITICAL_SECTION section;
    };
    Lock busyLock;
    Lock waitingLock;

    // The window that the last Reset stored (null before the first).
    HWND ResetWindow() const { return resetWindow_; }
    // The cell at (row, column), both 0..2.
    CDockingCell& Cell(int row, int column) { return cells_[row * 3 + column]; }
    const CDockingCell& Cell(int row, int column) const { return cells_[row * 3 + column]; }
    // The column widths and row heights: 0 or more is a fixed size in pixels, negative is
    // flexible. A cell's width and height properties write them.
    int& ColumnWidth(int column) { return columnWidths_[column]; }
    int& RowHeight(int row) { return rowHeights_[row]; }
    int ColumnWidth(int column) const { return columnWidths_[column]; }
    int RowHeight(int row) const { return rowHeights_[row]; }

    // The content rectangle of a box: the box less the padding, never negative.
    Gdiplus::Rect ContentOf(const Gdiplus::Rect& box) const;
    // The nine cell rectangles (row-major) of the grid laid out inside a content rectangle.
    void LayoutCells(const Gdiplus::Rect& content, Gdiplus::Rect cells[9]) const;

    // Before a layout fills the docking for that window: no stored parent, the window stored,
    // column widths and row heights [0, -1, 0], every cell reset. The docking's own properties
    // are not touched. The window decides which tree the docking belongs to: a move of the trees
    // concerned (TreeMove).
    void Reset(HWND window);

    // The handle's typed set: a changed handle registers the docking for its window and lays the
    // grid out again with the current bounds.
    void OnHandleChanged(HWND old, HWND now);

    // IRenderable.
    // Background, border, text, then the cells in zindex order, each clipped to the content
    // (overflow "clip") or to its own rectangle ("float"). Stops with the newer generation when a
    // newer render has started.
    void Render(RenderContext& context) override;
    // Stores the bounds (width and height follow), loads the background image and lays the cells
    // out in the content rectangle.
    void SetBounds(const Gdiplus::Rect& bounds) override;
    Gdiplus::Rect GetBounds() const override { return bounds_; }
    // Update(GetBounds()).
    void Redraw() override;
    // A nested docking passes the request to its root; a root schedules a render of its window
    // when the window is visible. The whole client area is rendered, whatever the rectangle.
    void Update(Gdiplus::Rect rect) override;
    // A nested docking passes the request to its root; a root schedules a render of only that
    // rectangle of its window (client coordinates) when the window is visible and already shows
    // a picture of its client area's size, else of the whole area.
    void UpdatePart(const Gdiplus::Rect& rect);
    // Slot 5 for a docking: the target is a window (see Paint(HWND, Rect)). Answers 0.
    LRESULT Paint(HANDLE target, Gdiplus::Rect rect) override;
    // A nested docking passes the request to its root; a root cancels renders in progress and
    // schedules a new one, whose present message carries `presentTo` as its lParam.
    void Paint(HWND presentTo, Gdiplus::Rect rect);
    // Paint(own window, rect).
    void PaintSelf(Gdiplus::Rect rect) override;
    // Paint(own window, GetBounds()).
    void Repaint() override;

    // SetBounds(0, 0, client width, client height) of the window.
    void FitToClient(HWND window);
    // After the dialog's default WM_SIZE handling: a root lays itself out to the client area and
    // renders it at once on the calling thread (true); a nested docking does nothing (false).
    bool OnResized(HWND window);
    // The dialog offers every message of its window here first; true: consumed.
    bool OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // A render-pool work item: renders the window (region: the part asked for, or null) with the
    // busy and waiting locks and posts the result to the window, lParam presentTo.
    void RenderWithLocks(HWND window, HRGN region, HWND presentTo);
    // What ties the render pool's items to this docking's life.
    const std::shared_ptr<RenderLife>& Life() const { return life_; }
    // The window a render of this docking is for: its handle, else the window of the last reset.
    HWND RenderWindow() const;

private:
    // The render proper, after the locks: the picture of the window's client area, or null when
    // cancelled, failed or empty. A region (null: the whole area) limits the render to the
    // rectangle around it, whose part of the picture alone is new. The region goes into the
    // record; a cancelled or failed render leaves what it was to draw to the next one.
    PresentRecord* RenderPicture(HWND window, HRGN region);
    // Posts the record (or null) to the window; a record that cannot be posted is freed.
    void PostPresent(HWND window, PresentRecord* record, HWND presentTo);
    // Copies the surface to the window (a layered window gets it as its picture), within clip.
    void ShowSurface(HWND window, HRGN clip);
    // Copies the record's part of its picture into the surface: false when the surface has no
    // picture of the record's size to copy it into.
    bool CopyPartIntoSurface(const PresentRecord& record);
    // The records on their way to the window when it goes.
    void FreePendingPresents(HWND window);
    // The destructor's first step: no render of the docking starts again, those in progress are
    // cancelled and waited for; a nested docking then holds its root's render lock.
    void EndRenders();

    std::shared_ptr<RenderLife> life_ = std::make_shared<RenderLife>(this);
    PresentRecords presents_;
    AskedParts asked_;
    // The generation of the last picture adopted (window's thread only).
    int adoptedGeneration_ = 0;
    HWND resetWindow_ = nullptr;
    Gdiplus::Rect bounds_;
    // Row-major: row 0 is cells 0 to 2.
    CDockingCell cells_[9];
    int columnWidths_[3] = {0, -1, 0};
    int rowHeights_[3] = {0, -1, 0};
};

// Paints a background (colour, then image by its draw mode and offsets, holding the image's lock)
// into context.bounds within context.clip; the image is looked up next to the layout file. Nothing
// for an empty box or a background of no colour and no image; the colour alone when the image
// cannot be loaded.
void PaintBackground(const RenderContext& context, const BackgroundFields& background,
                     const std::wstring& layoutFile);

// How many dockings an upward walk (parents, roots) or a descent into hosted windows' dockings
// passes at most: links that loop (windows anchored into each other) end there.
constexpr int kMaxDockingDepth = 64;

// Marks a docking as being laid out or rendered on this thread while it lays out or renders what
// it holds. A hosted window's docking that is already marked (a window anchored inside its own
// tree, or two windows anchored into each other), or one that would nest deeper than
// kMaxDockingDepth, is not entered again: Entered() is false.
class DockingVisit {
public:
    explicit DockingVisit(const CDocking* docking);
    ~DockingVisit();
    DockingVisit(const DockingVisit&) = delete;
    DockingVisit& operator=(const DockingVisit&) = delete;
    bool Entered() const { return entered_; }
    // The docking is being laid out or rendered on this thread.
    static bool Active(const CDocking* docking);

private:
    bool entered_;
};

}  // namespace System::Docking
