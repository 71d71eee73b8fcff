#include "docking/docking.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include "docking/draw.h"
#include "docking/globals.h"
#include "docking/image_cache.h"
#include "docking/image_painter.h"
#include "docking/layout.h"
#include "docking/registry.h"
#include "docking/skin.h"

namespace System::Docking {

namespace {

// The framework's globals are built before the first docking's properties, so that they outlive
// every docking (whose end leaves the registries and the window-docking map).
CDocking* BuildGlobalsFirst(CDocking* docking) {
    Globals();
    return docking;
}

// The parent before the anchor-loop rule: for a docking that is its own owner and was reset with
// a window, the window registry's renderable for that window (null when that is the docking
// itself); otherwise the stored parent.
// Whether the docking's parent is looked up through the window registry: a docking reset with
// a window (a dialog's), not a nested one that its cell made.
bool ParentFromRegistry(CDocking* docking) {
    return docking->owner.Read() == docking && docking->ResetWindow() != nullptr;
}

IRenderable* RegisteredParent(CDocking* docking) {
    if (ParentFromRegistry(docking)) {
        IRenderable* host = FindRenderableByWindow(docking->ResetWindow());
        return host == docking ? nullptr : host;
    }
    return docking->parent.Value();
}

// Every thread's dockings being laid out or rendered, innermost last.
thread_local std::vector<const CDocking*> visits;

}  // namespace

int CheckRenderGeneration(const RenderContext& context) {
    if (context.generationCounter == nullptr) return context.generation;  // nothing to fall behind
    const int current = context.generationCounter->load();
    if (context.generation < current) throw current;
    return current;
}

bool EnterRenderPart(RenderContext& context) {
    if (!context.partial) return true;
    context.clip = Intersect(context.clip, context.part);
    return !context.clip.IsEmptyArea();
}

DockingVisit::DockingVisit(const CDocking* docking)
    : entered_(visits.size() < static_cast<size_t>(kMaxDockingDepth) && !Active(docking)) {
    if (entered_) visits.push_back(docking);
}

DockingVisit::~DockingVisit() {
    if (entered_) visits.pop_back();
}

bool DockingVisit::Active(const CDocking* docking) {
    return std::find(visits.begin(), visits.end(), docking) != visits.end();
}

CDocking::CDocking(IRenderable* parentRenderable)
    : text(BuildGlobalsFirst(this), true),
      parent(this, parentRenderable),
      cells_{{this, 0, 0}, {this, 0, 1}, {this, 0, 2}, {this, 1, 0}, {this, 1, 1},
             {this, 1, 2}, {this, 2, 0}, {this, 2, 1}, {this, 2, 2}} {
    overflow.Assign(L"clip");
}

// The cells go after this body (last first), then the locks and the surface, then the properties.
CDocking::~CDocking() {
    EndRenders();
    ForgetDocking(this);
}

IRenderable* CDocking::ParentLink::Read() const {
    CDocking* self = owner();
    IRenderable* found = RegisteredParent(self);
    // The cell that made a nested docking is its parent, whatever hosts the windows above it.
    if (!ParentFromRegistry(self)) return found;
    // A window hosted by a cell of its own tree (or two windows hosted by each other) would make
    // the tree a loop: such a host is no parent.
    IRenderable* at = found;
    for (int depth = 0; depth < kMaxDockingDepth && at != nullptr; ++depth) {
        auto* cell = dynamic_cast<CDockingCell*>(at);
        if (cell == nullptr) break;
        CDocking* up = cell->docking.Value();
        if (up == self) return nullptr;
        if (up == nullptr) break;
        at = RegisteredParent(up);
    }
    return found;
}

CDocking* CDocking::RootLink::Read() const {
    CDocking* d = owner();
    for (int depth = 0; depth < kMaxDockingDepth; ++depth) {
        auto* cell = dynamic_cast<CDockingCell*>(d->parent.Read());
        if (cell == nullptr || cell->docking.Value() == nullptr) return d;
        d = cell->docking.Value();
    }
    return d;
}

CDocking* CDocking::OwnerLink::Read() const {
    // Unset, it becomes the docking itself on first read (through the docking, which is not
    // const).
    CDocking* self = owner();
    if (Value() == nullptr) self->owner.Assign(self);
    return Value();
}

void CDocking::Reset(HWND window) {
    // The window decides which tree the docking belongs to.
    TreeMove move;
    move.Add(*this);
    move.AddWindow(resetWindow_);
    if (window != resetWindow_) move.AddWindow(window);
    parent.Assign(nullptr);
    resetWindow_ = window;
    std::fill(std::begin(columnWidths_), std::end(columnWidths_), 0);
    std::fill(std::begin(rowHeights_), std::end(rowHeights_), 0);
    columnWidths_[1] = rowHeights_[1] = -1;
    for (CDockingCell& cell : cells_) cell.Reset();
}

void CDocking::OnHandleChanged(HWND old, HWND now) {
    if (old == now) return;
    UiWrite change(*this, UiWrite::Structure);
    SetRenderableWindow(now, this);
    SetBounds(GetBounds());
}

Gdiplus::Rect CDocking::ContentOf(const Gdiplus::Rect& box) const {
    return InsetRect(box, padding);
}

void CDocking::LayoutCells(const Gdiplus::Rect& content, Gdiplus::Rect cells[9]) const {
    LayoutGrid(content, columnWidths_, rowHeights_, cells);
}

void CDocking::SetBounds(const Gdiplus::Rect& box) {
    DockingVisit visit(this);
    if (!visit.Entered()) return;  // reached again through a window anchored in its own tree
    bounds_ = ClampedRect(box.X, box.Y, box.Width, box.Height);
    width.Assign(bounds_.Width);
    height.Assign(bounds_.Height);
    if (!background.image.empty()) LoadDockingImage(handle.layoutFile, background.image);
    Gdiplus::Rect rects[9];
    LayoutCells(ContentOf(bounds_), rects);
    for (int i = 0; i < 9; ++i) cells_[i].SetBounds(rects[i]);
}

void PaintBackground(const RenderContext& context, const BackgroundFields& background,
                     const std::wstring& layoutFile) {
    if (context.bounds.IsEmptyArea() || !background.IsPainted()) return;
    CDockingImage* image =
        background.image.empty() ? nullptr : LoadDockingImage(layoutFile, background.image);
    ImagePaintJob job;
    if (image != nullptr) EnterCriticalSection(&image->Lock());
    PaintImage(background.x, context.clip, job, context.graphics, context.bounds, background.y,
               background.style, background.color, image);
    if (image != nullptr) LeaveCriticalSection(&image->Lock());
}

void CDocking::Render(RenderContext& context) {
    if (!EnterRenderPart(context)) return;
    DockingVisit visit(this);
    if (!visit.Entered()) return;  // reached again through a window anchored in its own tree
    CheckRenderGeneration(context);
    PaintBackground(context, background, handle.layoutFile);
    CheckRenderGeneration(context);
    if (border.width > 0)
        PaintCellBorder(context.clip, context.bounds, border, radius.Value(), context.graphics);
    CheckRenderGeneration(context);
    const Gdiplus::Rect content = ContentOf(context.bounds);
    CheckRenderGeneration(context);
    if (!text.Value().empty())
        PaintCellText(text.Value(), font, BoxFields{}, context.graphics, context.clip, content);
    CheckRenderGeneration(context);
    Gdiplus::Rect rects[9];
    LayoutCells(content, rects);
    CheckRenderGeneration(context);
    const Gdiplus::Rect inside = PullInToClip(content, context.clip);
    CheckRenderGeneration(context);
    std::array<int, 9> order;
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return cells_[a].zindex.Value() < cells_[b].zindex.Value();
    });
    const bool floating = overflow.Value() == L"float";
    for (int i : order) {
        const Gdiplus::Rect clipped = Intersect(inside, rects[i]);
        CheckRenderGeneration(context);
        RenderContext child = context;
        child.bounds = rects[i];
        child.clip = floating ? rects[i] : clipped;
        cells_[i].Render(child);
    }
}

void CDocking::Redraw() {
    Update(GetBounds());
}

LRESULT CDocking::Paint(HANDLE target, Gdiplus::Rect rect) {
    Paint(static_cast<HWND>(target), rect);
    return 0;
}

void CDocking::PaintSelf(Gdiplus::Rect rect) {
    Paint(handle.Value(), rect);
}

void CDocking::Repaint() {
    Paint(handle.Value(), GetBounds());
}

}  // namespace System::Docking
