#include "docking/hooks.h"

#include "docking/detoures.h"
#include "docking/globals.h"
#include "docking/skin_window.h"
#include <detours.h>
#include <afxwin.h>
#include <afxcmn.h>

namespace System::Docking::Skin {

namespace {

CaretState& State() {
    CaretState& state = Globals().caret;
    // The platform removes a caret with its window; so does the record.
    if (state.caret.owner != nullptr && !::IsWindow(state.caret.owner))
        ForgetCaretWindow(state.caret.owner);
    return state;
}

CDockingDetoures* SkinOf(HWND window) {
    return SkinObjectOf<CDockingDetoures>(window);
}

HDC WINAPI HookGetDC(HWND window) {
    if (CDockingDetoures* skin = SkinOf(window))
        if (HDC dc = skin->GetDC()) return dc;
    return RealApi().GetDC(window);
}

HDC WINAPI HookGetDCEx(HWND window, HRGN clip, DWORD flags) {
    if (CDockingDetoures* skin = SkinOf(window)) {
        if (HDC dc = skin->GetDCEx(clip, flags)) {
            // The region was handed over to the system with the call: it is ours to free.
            if (clip != nullptr && (flags & (DCX_INTERSECTRGN | DCX_EXCLUDERGN)))
                ::DeleteObject(clip);
            return dc;
        }
    }
    return RealApi().GetDCEx(window, clip, flags);
}

int WINAPI HookReleaseDC(HWND window, HDC dc) {
    if (CDockingDetoures* skin = SkinOf(window))
        if (skin->ReleaseDC(dc) != 0) return 1;
    return RealApi().ReleaseDC(window, dc);
}

BOOL WINAPI HookShowWindow(HWND window, int command) {
    if (CDockingDetoures* skin = SkinOf(window)) return skin->ShowWindow(window, command);
    return RealApi().ShowWindow(window, command);
}

BOOL WINAPI HookShowCaret(HWND window) {
    return RealApi().ShowCaret(window);
}

BOOL WINAPI HookHideCaret(HWND window) {
    return RealApi().HideCaret(window);
}

BOOL WINAPI HookSetCaretPos(int x, int y) {
    CaretRecord& caret = State().caret;
    if (caret.owner != nullptr && (caret.x != x || caret.y != y)) {
        caret.x = x;
        caret.y = y;
    }
    return RealApi().SetCaretPos(x, y);
}

BOOL WINAPI HookCreateCaret(HWND window, HBITMAP bitmap, int width, int height) {
    CaretState& state = State();
    state.caret.owner = window;
    state.caret.bitmap = bitmap;
    state.caret.width = bitmap != nullptr ? 0 : width;
    state.caret.height = bitmap != nullptr ? 0 : height;
    auto* painter = dynamic_cast<IDockingCaret*>(CWnd::FromHandlePermanent(window));
    if (painter != nullptr)
        state.painters[window] = painter;
    else
        state.painters.erase(window);  // a stale entry of an earlier object of this window
    return RealApi().CreateCaret(window, bitmap, width, height);
}

BOOL WINAPI HookDestroyCaret() {
    CaretState& state = State();
    if (state.caret.owner != nullptr) {
        auto it = state.painters.find(state.caret.owner);
        if (it != state.painters.end()) {
            IDockingCaret* painter = it->second;
            state.painters.erase(it);
            if (painter != nullptr) painter->EraseCaret();
        }
    }
    state.caret.owner = nullptr;
    state.caret.bitmap = nullptr;
    state.caret.width = 0;
    state.caret.height = 0;
    return RealApi().DestroyCaret();
}

template <class F>
PVOID* Slot(F*& entry) {
    return reinterpret_cast<PVOID*>(&entry);
}

template <class F>
PVOID Hook(F* hook) {
    return reinterpret_cast<PVOID>(hook);
}

// One transaction over the nine pairs, in their order; its commit's result (not reported: the
// functions then stay as they were, and skinned controls paint like standard ones).
LONG Transaction(RealApiEntries& real, LONG (*change)(PVOID*, PVOID)) {
    DetourTransactionBegin();
    DetourUpdateThread(::GetCurrentThread());
    change(Slot(real.GetDC), Hook(HookGetDC));
    change(Slot(real.GetDCEx), Hook(HookGetDCEx));
    change(Slot(real.ReleaseDC), Hook(HookReleaseDC));
    change(Slot(real.ShowWindow), Hook(HookShowWindow));
    change(Slot(real.ShowCaret), Hook(HookShowCaret));
    change(Slot(real.HideCaret), Hook(HookHideCaret));
    change(Slot(real.SetCaretPos), Hook(HookSetCaretPos));
    change(Slot(real.CreateCaret), Hook(HookCreateCaret));
    change(Slot(real.DestroyCaret), Hook(HookDestroyCaret));
    return DetourTransactionCommit();
}

}  // namespace

IDockingCaret::~IDockingCaret() {
    auto& painters = Globals().caret.painters;
    for (auto it = painters.begin(); it != painters.end();)
        it = it->second == this ? painters.erase(it) : std::next(it);
}

const RealApiEntries& RealApi() {
    return Globals().realApi;
}

const CaretState& Caret() {
    return State();
}

void InstallApiHooks(RealApiEntries& real) {
    DetourRestoreAfterWith();
    Transaction(real, DetourAttach);
}

void RemoveApiHooks(RealApiEntries& real) {
    Transaction(real, DetourDetach);
}

void OnCaretBlink(HWND window) {
    const CaretState& state = State();
    if (state.caret.owner == nullptr || window != state.caret.owner) return;
    auto it = state.painters.find(state.caret.owner);
    if (it == state.painters.end() || it->second == nullptr) return;
    const CaretRecord c = state.caret;
    it->second->DrawCaret(c.bitmap, c.x, c.y, c.width, c.height);
}

void ForgetCaretWindow(HWND window) {
    CaretState& state = Globals().caret;
    state.painters.erase(window);
    if (state.caret.owner == window) {
        state.caret.owner = nullptr;
        state.caret.bitmap = nullptr;
        state.caret.width = 0;
        state.caret.height = 0;
    }
}

}  // namespace System::Docking::Skin
