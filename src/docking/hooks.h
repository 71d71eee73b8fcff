// The framework's hooks of the window functions: skinned windows hand out and take back their own
// device contexts and see their own showing, and the caret of a skinned edit is recorded so that
// the edit paints it into its skin surface itself, on the system's caret-blink ticks.
//
// The hooks are attached when the framework's globals are first built (before any skinned window
// exists) and detached when they are destroyed at exit. Every framework part that needs a real
// function (the dialog's ShowWindow, the caret painters' device contexts) calls it through
// RealApi().
#pragma once

#include <map>

#include <windows.h>

namespace System::Docking::Skin {

// A window object that paints the caret itself.
class IDockingCaret {
public:
    // The object's entries in the caret painter map go with it.
    virtual ~IDockingCaret();
    // Draws the caret for this blink tick (bitmap null: a solid caret of width x height).
    virtual void DrawCaret(HBITMAP bitmap, int x, int y, int width, int height) = 0;
    // Takes the caret's picture away.
    virtual void EraseCaret() = 0;
};

// The entries that reach the real window functions, without the hooks.
struct RealApiEntries {
    decltype(&::GetDC) GetDC = &::GetDC;
    decltype(&::GetDCEx) GetDCEx = &::GetDCEx;
    decltype(&::ReleaseDC) ReleaseDC = &::ReleaseDC;
    decltype(&::ShowWindow) ShowWindow = &::ShowWindow;
    decltype(&::ShowCaret) ShowCaret = &::ShowCaret;
    decltype(&::HideCaret) HideCaret = &::HideCaret;
    decltype(&::SetCaretPos) SetCaretPos = &::SetCaretPos;
    decltype(&::CreateCaret) CreateCaret = &::CreateCaret;
    decltype(&::DestroyCaret) DestroyCaret = &::DestroyCaret;
};
const RealApiEntries& RealApi();

// The recorded caret (one per process, user-interface thread only).
struct CaretRecord {
    HWND owner = nullptr;
    HBITMAP bitmap = nullptr;
    int x = 0;
    int y = 0;
    int width = 0;  // 0 for a bitmap caret
    int height = 0;
};
struct CaretState {
    CaretRecord caret;
    std::map<HWND, IDockingCaret*> painters;  // window -> the object that paints its caret
};
// The caret state as it stands (an owner that no longer exists is forgotten first).
const CaretState& Caret();

// Attaches the nine hooks in one transaction (a failed commit leaves everything unhooked) and
// detaches them. Run by the framework's globals; `real` is their table of real entries.
void InstallApiHooks(RealApiEntries& real);
void RemoveApiHooks(RealApiEntries& real);

// The system's caret-blink tick for `window`: the owner's painter draws the recorded caret.
void OnCaretBlink(HWND window);

// A caret painter's window is being destroyed (WM_NCDESTROY): its entry goes, and a caret it owns
// is forgotten.
void ForgetCaretWindow(HWND window);

}  // namespace System::Docking::Skin
