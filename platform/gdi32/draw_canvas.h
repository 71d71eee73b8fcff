// Inside the layer: a cairo context on the surface behind a device context, with the context's
// origin, clip and drawing attributes, for GDI's drawing and text calls. Anti-aliasing is off.
#pragma once

#include <cairo.h>

#include <memory>
#include <optional>

#include <wingdi.h>

namespace sim {
struct GdiDc;
struct GdiPen;
struct DcDrawState;
}  // namespace sim

namespace gdi {

// The stock object of a GetStockObject index (made the first time), or NULL; nothing traced.
HGDIOBJ StockObject(int index);
// A new context's pen and brush: the stock black pen and white brush.
void GiveStockTools(sim::GdiDc& dc);

class Canvas {
public:
    // Nothing to draw on (false) for an unknown context or one without a surface.
    explicit Canvas(HDC dc);
    // Marks the drawing done (gdi::Drawn).
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    explicit operator bool() const { return cr_ != nullptr; }
    cairo_t* cr() const { return cr_; }
    HDC dc() const { return dc_; }
    sim::DcDrawState& State() const;
    COLORREF BkColor() const;

    void SetColor(COLORREF color) const;
    // Fills the logical rectangle with the colour.
    void Fill(const RECT& r, COLORREF color) const;
    // Inverts the colour of the logical rectangle's pixels inside the clip.
    void Invert(const RECT& r) const;
    // The brush's colour (a system colour index + 1 counts too); nothing for a hollow brush or
    // an unknown one.
    std::optional<COLORREF> BrushColor(HBRUSH brush) const;
    std::optional<COLORREF> SelectedBrushColor() const;
    // The selected pen, or null for the null pen.
    std::shared_ptr<sim::GdiPen> Pen() const;
    COLORREF PenColor(const sim::GdiPen& pen) const;

private:
    HDC dc_;
    std::shared_ptr<sim::GdiDc> dcObject_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    POINT origin_{0, 0};
};

}  // namespace gdi
