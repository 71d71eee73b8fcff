#include "docking/cell.h"

#include <algorithm>
#include <cstdint>

#include "docking/docking.h"
#include "docking/draw.h"
#include "docking/image_cache.h"
#include "docking/layout.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/ui_guard.h"

namespace System::Docking {

namespace {

// The rectangle as left, top, right, bottom; the far edges kept within the int range.
RECT EdgesOf(const Gdiplus::Rect& r) {
    return {r.X, r.Y, ClampToInt(std::int64_t{r.X} + r.Width),
            ClampToInt(std::int64_t{r.Y} + r.Height)};
}

}  // namespace

CDockingCell::CDockingCell(CDocking* owner, int row, int column)
    : docking(this, owner), row_(row), column_(column) {}

CDockingCell::~CDockingCell() {
    // While the cell is whole: the nested docking's end may walk up through it.
    child.Destroy();
}

void CDockingCell::SizeProperty::Assign(const int& value) {
    CDockingCell* cell = owner();
    CDocking* grid = cell->docking.Value();
    if (grid == nullptr) return;
    if (column_)
        grid->ColumnWidth(cell->Column()) = value;
    else
        grid->RowHeight(cell->Row()) = value;
}

int CDockingCell::SizeProperty::Read() const {
    const CDockingCell* cell = owner();
    const CDocking* grid = cell->docking.Value();
    if (grid == nullptr) return 0;
    return column_ ? grid->ColumnWidth(cell->Column()) : grid->RowHeight(cell->Row());
}

CDockingCell::ChildLink::~ChildLink() {
    delete value_;
}

CDocking* CDockingCell::ChildLink::Read() const {
    if (value_ != nullptr) return value_;
    CDockingCell* cell = owner();
    auto* nested = new CDocking(cell);
    if (CDocking* grid = cell->docking.Value(); grid != nullptr)
        nested->owner.Assign(grid->owner.Value());
    cell->child.Assign(nested);
    return nested;
}

void CDockingCell::ChildLink::Assign(CDocking* const& nested) {
    if (nested == value_) return;
    CDocking* old = value_;
    value_ = nested;
    delete old;
}

IRenderable* CDockingCell::ParentLink::Read() const {
    return owner()->docking.Value();
}

CDocking* CDockingCell::RootLink::Read() const {
    CDocking* d = owner()->docking.Value();
    return d == nullptr ? nullptr : d->root.Read();
}

Gdiplus::Rect CDockingCell::ClientLink::Read() const {
    const CDockingCell* cell = owner();
    return InsetRect(cell->bounds_, cell->padding, cell->border.width);
}

void CDockingCell::Reset() {
    UiWrite change(*this, UiWrite::Structure);
    id.Assign(L"");
    text.Assign(L"");
    cursor.Assign(L"");
    background.Restore();
    font.Restore();
    border.Restore();
    padding.Restore();
    margin.Restore();
    bounds_ = {};
    zindex.Assign(0);
    child.Destroy();
    handle.Assign(nullptr);
}

void CDockingCell::OnHandleChanged(HWND, HWND now) {
    UiWrite change(*this, UiWrite::Structure);
    SetRenderableWindow(now, this);  // a null handle is not registered
    if (now != nullptr) Update(GetBounds());
}

void CDockingCell::SetBounds(const Gdiplus::Rect& box) {
    bounds_ = ClampedRect(box.X, box.Y, box.Width, box.Height);
    const Gdiplus::Rect inside = client.Read();
    CDocking* grid = docking.Value();
    if (!background.image.empty() && grid != nullptr)
        LoadDockingImage(grid->handle.layoutFile, background.image);
    if (const HWND hosted = handle.Value(); hosted != nullptr) {
        const CDocking* top = root.Read();
        PlaceCellWindow(top == nullptr ? nullptr : top->handle.Value(), EdgesOf(inside), hosted,
                        handle.style);
        // A docking reached here again (a window anchored inside its own tree) does not lay
        // itself out again.
        if (auto* nested =
                reinterpret_cast<CDocking*>(SendMessageW(hosted, WM_DOCKING_GETDOCKING, 0, 0)))
            nested->SetBounds(inside);
    }
    for (IRenderable* r : renderables)
        if (r != nullptr) r->SetBounds(inside);
    if (CDocking* nested = child.Value()) nested->SetBounds(inside);
}

void CDockingCell::Render(RenderContext& context) {
    if (!EnterRenderPart(context)) return;
    width.SetRendered(context.bounds.Width);
    height.SetRendered(context.bounds.Height);
    const Gdiplus::Rect inside = client.Read();
    context.client = inside;
    CheckRenderGeneration(context);
    const HWND hosted = handle.Value();
    if (hosted != nullptr) {
        // The tree may have changed while the window answered: the render stops then.
        RenderSend(context, hosted, WM_DOCKING_CELLCHANGED, 0, 0);
    }
    const CDocking* grid = docking.Value();
    PaintBackground(context, background,
                    grid == nullptr ? std::wstring() : grid->handle.layoutFile);
    CheckRenderGeneration(context);
    if (border.width > 0)
        PaintCellBorder(context.clip, context.bounds, border, radius.Value(), context.graphics);
    CheckRenderGeneration(context);
    if (hosted != nullptr) PaintCellWindow(context, hosted, handle.style);
    CheckRenderGeneration(context);
    if (!text.Value().empty())
        PaintCellText(text.Value(), font, padding, context.graphics, context.clip, context.bounds);
    for (IRenderable* r : renderables) {
        if (r == nullptr) continue;
        if (inside.IsEmptyArea()) break;
        CheckRenderGeneration(context);
        RenderContext part = ClientPart(context);
        r->Render(part);
    }
    if (CDocking* nested = child.Value()) {
        CheckRenderGeneration(context);
        RenderContext part = ClientPart(context);
        nested->Render(part);
    }
}

void CDockingCell::Redraw() {
    if (CDocking* top = root.Read()) top->UpdatePart(GetBounds());
}

void CDockingCell::Update(Gdiplus::Rect) {
    SetBounds(GetBounds());
}

LRESULT CDockingCell::Paint(HANDLE target, Gdiplus::Rect rect) {
    return Paint(static_cast<HDC>(target), rect);
}

LRESULT CDockingCell::Paint(HDC source, Gdiplus::Rect rect) {
    const Gdiplus::Rect inside = client.Read();
    const Gdiplus::Rect part = Intersect(inside, rect);
    if (part.IsEmptyArea()) return 0;
    // How far into the source the changed part starts (0 when it starts left of or above the
    // client rectangle).
    auto from = [](int changed, int client) {
        return changed > client ? ClampToInt(std::int64_t{changed} - client) : 0;
    };
    DrawChildRecord record{source,
                           part.X,
                           part.Y,
                           part.Width,
                           part.Height,
                           from(rect.X, inside.X),
                           from(rect.Y, inside.Y)};
    const CDocking* top = root.Read();
    const HWND window = top == nullptr ? nullptr : top->handle.Value();
    return SendMessageW(window, WM_DOCKING_DRAWCHILD, reinterpret_cast<WPARAM>(&record), 0);
}

void CDockingCell::PaintSelf(Gdiplus::Rect) {
    if (CDocking* top = root.Read()) top->Paint(handle.Value(), GetBounds());
}

}  // namespace System::Docking
