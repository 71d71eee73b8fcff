// What every skinned window shares: it answers WM_DOCKING_GETOBJECT with its own window object,
// and the one safe way to go from a window handle back to that object.
#pragma once

#include "docking/messages.h"
#include <afxwin.h>
#include <afxcmn.h>

namespace System::Docking {

// A window class of the framework: Base (CWnd or one of its control classes) answering
// WM_DOCKING_GETOBJECT with the object itself.
template <class Base>
class CSkinnedWindow : public Base {
public:
    using Base::Base;

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message == WM_DOCKING_GETOBJECT) {
            *result = reinterpret_cast<LRESULT>(static_cast<CWnd*>(this));
            return TRUE;
        }
        return Base::OnWndMsg(message, wParam, lParam, result);
    }
};

// The window's skinned object of type T, or null. The window is asked (WM_DOCKING_GETOBJECT) only
// when it belongs to this process, and its answer counts only when it is the calling thread's
// permanent object for that very window: a window of another process, or one answering with some
// other value, cannot make the caller treat an arbitrary address as an object.
CWnd* SkinWindowObjectOf(HWND window);

template <class T>
T* SkinObjectOf(HWND window) {
    return dynamic_cast<T*>(SkinWindowObjectOf(window));
}

// Whether `object` still stands for `window` after a call that sent a notification (a click, a
// scroll): the handler may have destroyed the window, and whoever owns the object (a dialog that
// deletes itself when its window goes, and its controls with it) may have deleted the object.
// The object is only compared, never read: take both before the call.
bool StillBound(HWND window, const CWnd* object);

}  // namespace System::Docking
