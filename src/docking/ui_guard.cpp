#include "docking/ui_guard.h"

#include "docking/cell.h"
#include "docking/docking.h"
#include "docking/render_lock.h"

namespace System::Docking {

CDocking* RootOf(IRenderable& node) {
    if (auto* docking = dynamic_cast<CDocking*>(&node)) return docking->root.Read();
    if (auto* cell = dynamic_cast<CDockingCell*>(&node)) return cell->root.Read();
    return nullptr;
}

UiWrite::UiWrite(IRenderable& anyNodeOfTheTree, Kind kind) : root_(RootOf(anyNodeOfTheTree)) {
    if (root_ == nullptr) return;
    CRenderLock& lock = root_->surface.RenderLock();
    insideSend_ = lock.HolderIsSendingToCaller() && (lock.HeldByCaller() || InSendMessage());
    if (!insideSend_ || kind == Structure) root_->surface.AdvanceGeneration();
    if (!insideSend_ && lock.EnterHandlingSentMessages()) held_ = &lock;
}

UiWrite::~UiWrite() {
    if (held_ != nullptr) held_->Leave();
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
