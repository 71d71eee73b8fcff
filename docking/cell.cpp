#include "docking/cell.h"

#include "docking/docking.h"
#include "docking/registry.h"

namespace System::Docking {

CDockingCell::CDockingCell(CDocking* owner, int row, int column)
    : docking(this, owner), row_(row), column_(column) {}

IRenderable* CDockingCell::ParentLink::Read() const {
    return owner()->docking.Value();
}

CDocking* CDockingCell::RootLink::Read() const {
    CDocking* d = owner()->docking.Value();
    return d == nullptr ? nullptr : d->root.Read();
}

void CDockingCell::Reset() {
    id.Assign(L"");
    handle.Assign(nullptr);
}

void CDockingCell::OnHandleChanged(HWND, HWND now) {
    SetRenderableWindow(now, this);  // a null handle is not registered
}

}  // namespace System::Docking
