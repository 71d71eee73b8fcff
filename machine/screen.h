// The machine's screen. Every top-level window has a backing surface of its window rectangle's
// size that its window and paint contexts draw into; a layered window shows either that surface
// with a colour key and a constant alpha (SetLayeredWindowAttributes) or a picture handed over
// whole (UpdateLayeredWindow). The screen composes the visible top-level windows bottom to top
// over the desktop (what a screen context drew, on the desktop colour), and the taskbar with
// the notification area over them (machine/shell.h).
#pragma once

#include <cairo.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <wingdi.h>

namespace sim {

class WindowTable;
class Shell;

// How a layered window shows.
enum class LayeredMode {
    None,        // an ordinary window: its backing surface, opaque
    Attributes,  // its backing surface with a colour key and/or a constant alpha
    Picture,     // the picture UpdateLayeredWindow handed over
};

struct LayeredState {
    LayeredMode mode = LayeredMode::None;
    bool useKey = false;
    COLORREF key = 0;  // 0x00BBGGRR
    bool useAlpha = false;
    BYTE alpha = 255;       // constant alpha
    bool perPixel = false;  // the picture's own (premultiplied) alpha counts
};

class Screen {
public:
    // The shell (may be null) draws the taskbar of that height along the bottom, over the
    // windows.
    Screen(WindowTable& windows, int width, int height, Shell* shell = nullptr,
           int taskbarHeight = 0);
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    // The desktop colour (0x00RRGGBB) beneath everything.
    static constexpr unsigned kDesktop = 0x3A6EA5;

    // The top-level window's backing surface (a new reference), opaque white at first; made
    // again at the window's size when that changed, keeping what it held. Null when the window
    // does not exist.
    cairo_surface_t* Backing(HWND topLevel);
    // What a screen context draws into (a new reference): the desktop's own layer.
    cairo_surface_t* Desktop();

    LayeredState Layered(HWND topLevel);
    void SetLayered(HWND topLevel, const LayeredState& state);
    // Takes a reference to the picture UpdateLayeredWindow made.
    void SetPicture(HWND topLevel, cairo_surface_t* picture);

    // Whether a click at the screen point goes through the top-level window to what lies
    // below: a layered window's pixel there shows nothing (alpha 0 in its picture, its colour
    // key, or a constant alpha of 0).
    bool PassesClicks(HWND topLevel, POINT screen);

    // A visible top-level window as it shows: its picture (colour key applied; a new reference,
    // or null when it shows nothing), its screen rectangle and the alpha to paint it with.
    struct Layer {
        HWND hwnd = nullptr;
        RECT rect{};
        cairo_surface_t* picture = nullptr;
        double alpha = 1.0;
    };
    // The visible top-level windows, topmost first. The caller destroys the pictures.
    std::vector<Layer> Layers();
    // Paints layers (topmost first) bottom to top onto the context.
    static void Paint(cairo_t* cr, const std::vector<Layer>& layers);

    // The whole screen now (a new reference).
    cairo_surface_t* Compose();
    // 0x00RRGGBB of the composed screen at the point; 0 outside it.
    unsigned PixelAt(int x, int y);
    // 0x00RRGGBB of an image surface's pixel; 0 outside it.
    static unsigned Pixel(cairo_surface_t* surface, int x, int y);
    // The composed screen, or what one top-level window shows, as a PNG file.
    bool SavePng(const std::string& path);
    bool SaveWindowPng(HWND topLevel, const std::string& path);

private:
    struct Entry {
        cairo_surface_t* backing = nullptr;
        cairo_surface_t* picture = nullptr;
        LayeredState layered;
    };
    // mu_ held. Drops the entries of windows that are gone.
    void SweepLocked();
    Entry* EntryLocked(HWND topLevel);
    std::vector<Layer> LayersLocked(const std::vector<HWND>& order);
    // mu_ held: the window's picture as it shows (colour key and alpha applied), a new
    // reference, and the alpha to paint it with.
    cairo_surface_t* ShownLocked(HWND topLevel, double* alpha);

    WindowTable& windows_;
    int width_;
    int height_;
    Shell* shell_;
    int taskbarHeight_;
    std::mutex mu_;
    cairo_surface_t* desktop_ = nullptr;
    std::map<HWND, Entry> entries_;
};

}  // namespace sim
