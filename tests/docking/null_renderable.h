// A renderable that draws and lays out nothing: a base for test owners of properties and for
// entries of the registries.
#pragma once

#include "docking/renderable.h"

struct NullRenderable : System::Docking::IRenderable {
    void Render(System::Docking::RenderContext&) override {}
    void SetBounds(const Gdiplus::Rect& bounds) override { bounds_ = bounds; }
    Gdiplus::Rect GetBounds() const override { return bounds_; }
    void Redraw() override {}
    void Update(Gdiplus::Rect) override {}
    LRESULT Paint(HANDLE, Gdiplus::Rect) override { return 0; }
    void PaintSelf(Gdiplus::Rect) override {}

private:
    Gdiplus::Rect bounds_;
};
