#include "docking/docking.h"

#include <algorithm>
#include <vector>

#include "docking/globals.h"
#include "docking/registry.h"
#include "docking/skin.h"

namespace System::Docking {

namespace {

// The framework's globals are built before the first docking, so that they outlive every docking
// (whose end leaves the registries and the window-docking map).
IRenderable* BuildGlobalsFirst(IRenderable* parent) {
    Globals();
    return parent;
}

}  // namespace

CDocking::CDocking(IRenderable* parentRenderable)
    : parent(this, BuildGlobalsFirst(parentRenderable)), cells_{{this, 0, 0}, {this, 0, 1},
                                                                {this, 0, 2}, {this, 1, 0},
                                                                {this, 1, 1}, {this, 1, 2},
                                                                {this, 2, 0}, {this, 2, 1},
                                                                {this, 2, 2}} {}

CDocking::~CDocking() {
    ForgetDocking(this);
}

IRenderable* CDocking::ParentLink::Read() const {
    CDocking* self = owner();
    if (self->owner.Read() == self && self->resetWindow_ != nullptr) {
        IRenderable* host = FindRenderableByWindow(self->resetWindow_);
        return host == self ? nullptr : host;
    }
    return Value();
}

CDocking* CDocking::RootLink::Read() const {
    CDocking* d = owner();
    // A tree whose links form a loop (no layout makes one) ends at the docking where the walk
    // would come round again.
    std::vector<const CDocking*> seen{d};
    for (;;) {
        auto* cell = dynamic_cast<CDockingCell*>(d->parent.Read());
        if (cell == nullptr) return d;
        CDocking* up = cell->docking.Value();
        if (up == nullptr || std::find(seen.begin(), seen.end(), up) != seen.end()) return d;
        seen.push_back(up);
        d = up;
    }
}

CDocking* CDocking::OwnerLink::Read() const {
    // Unset, it becomes the docking itself on first read (through the docking, which is not
    // const).
    CDocking* self = owner();
    if (Value() == nullptr) self->owner.Assign(self);
    return Value();
}

void CDocking::Reset(HWND window) {
    parent.Assign(nullptr);
    resetWindow_ = window;
    for (CDockingCell& cell : cells_) cell.Reset();
}

void CDocking::OnHandleChanged(HWND old, HWND now) {
    // Laying the grid out again with the current bounds arrives with the layout.
    if (old != now) SetRenderableWindow(now, this);
}

int CheckRenderGeneration(const RenderContext& context) {
    if (context.generationCounter == nullptr) return context.generation;  // nothing to fall behind
    const int current = context.generationCounter->load();
    if (context.generation < current) throw current;
    return current;
}

}  // namespace System::Docking
