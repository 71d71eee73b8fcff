// Placeholders until the render pool's side of the docking arrives (docking/render.cpp).
#include "docking/docking.h"

namespace System::Docking {

void CDocking::Update(Gdiplus::Rect) {}
void CDocking::Paint(HWND, Gdiplus::Rect) {}
void CDocking::FitToClient(HWND) {}
bool CDocking::OnResized(HWND) {
    return false;
}
bool CDocking::OnWindowMessage(HWND, UINT, WPARAM, LPARAM) {
    return false;
}
void CDocking::RenderWithLocks(HWND, HRGN, HWND) {}

}  // namespace System::Docking
