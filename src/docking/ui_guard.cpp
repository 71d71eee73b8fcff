#include "docking/ui_guard.h"

#include "docking/cell.h"
#include "docking/docking.h"
#include "docking/registry.h"
#include "docking/render_lock.h"
#include "docking/skin.h"

namespace System::Docking {

CDocking* RootOf(IRenderable& node) {
    if (auto* docking = dynamic_cast<CDocking*>(&node)) return docking->root.Read();
    if (auto* cell = dynamic_cast<CDockingCell*>(&node)) return cell->root.Read();
    return nullptr;
}

UiWrite::UiWrite(IRenderable& anyNodeOfTheTree, Kind kind) : root_(RootOf(anyNodeOfTheTree)) {
    Hold(kind);
}

UiWrite::UiWrite(CDocking& docking, OwnTree, Kind kind) : root_(&docking) {
    Hold(kind);
}

void UiWrite::Hold(Kind kind) {
    if (root_ == nullptr) return;
    CRenderLock& lock = root_->surface.RenderLock();
    insideSend_ = lock.HolderIsSendingToCaller() && (lock.HeldByCaller() || InSendMessage());
    if (!insideSend_ || kind == Structure) root_->surface.AdvanceGeneration();
    if (!insideSend_ && lock.EnterHandlingSentMessages()) held_ = &lock;
}

UiWrite::~UiWrite() {
    if (held_ != nullptr) held_->Leave();
}

TreeMove::~TreeMove() {
    while (!writes_.empty()) writes_.pop_back();
}

void TreeMove::Add(IRenderable& node) {
    writes_.push_back(std::make_unique<UiWrite>(node, UiWrite::Structure));
    if (auto* docking = dynamic_cast<CDocking*>(&node))
        writes_.push_back(std::make_unique<UiWrite>(*docking, UiWrite::OwnTree{}));
}

void TreeMove::AddWindow(HWND window) {
    if (window == nullptr) return;
    if (IRenderable* registered = FindRenderableByWindow(window)) Add(*registered);
    if (HasWindowDocking(window))
        if (CDocking* bound = WindowDocking(window)) Add(*bound);
}

LRESULT RenderSend(const RenderContext& context, HWND window, UINT message, WPARAM wParam,
                   LPARAM lParam) {
    CRenderLock* lock = context.renderLock;
    if (lock != nullptr) lock->SendingTo(GetWindowThreadProcessId(window, nullptr));
    const LRESULT result = SendMessageW(window, message, wParam, lParam);
    if (lock != nullptr) lock->SendDone();
    CheckRenderGeneration(context);
    return result;
}

}  // namespace System::Docking
