// A full paint of a skinned window's picture into a 500 x 400 surface, against its floor: a plain
// cairo fill of a surface of that size and its blit onto another.
//
// The cell tree that would drive this paint comes with the docking layout; until then the
// painters run the same sequence of calls that such a tree makes: a tiled background image over
// the whole surface, four bordered boxes with rounded corners, ten text cells in two fonts (one
// regular through the bitmap path, one bold drawn directly) and two images at natural size.
#include <cairo.h>

#include <filesystem>
#include <string>

#include "docking/draw.h"
#include "docking/image_cache.h"
#include "docking/image_painter.h"
#include "docking/painter.h"
#include "floor_ratio.h"
#include "platform/gdi.h"
#include "platform/sim/machine.h"

namespace {

using namespace System::Docking;

constexpr int kWidth = 500;
constexpr int kHeight = 400;

// Writes a w x h PNG of a colour gradient to the machine path.
void WriteImage(const std::wstring& path, int w, int h) {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(image);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, w, h);
    cairo_pattern_add_color_stop_rgb(gradient, 0, 0.2, 0.4, 0.8);
    cairo_pattern_add_color_stop_rgb(gradient, 1, 0.9, 0.6, 0.1);
    cairo_set_source(cr, gradient);
    cairo_paint(cr);
    cairo_pattern_destroy(gradient);
    cairo_destroy(cr);
    const std::filesystem::path host = sim::machine().HostPath(path);
    std::filesystem::create_directories(host.parent_path());
    cairo_surface_write_to_png(image, host.string().c_str());
    cairo_surface_destroy(image);
}

void FloorFillAndBlit(benchmark::State& state) {
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_surface_t* screen = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    for (auto _ : state) {
        cairo_t* cr = cairo_create(picture);
        cairo_set_source_rgb(cr, 0.9, 0.9, 0.95);
        cairo_paint(cr);
        cairo_destroy(cr);
        cr = cairo_create(screen);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, picture, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(screen);
    }
    cairo_surface_destroy(screen);
    cairo_surface_destroy(picture);
}

void FullPaint(benchmark::State& state) {
    CDockingImage* tile = LoadDockingImage(L"C:\\skin\\main.xml", L"tile.png");
    CDockingImage* icon = LoadDockingImage(L"C:\\skin\\main.xml", L"icon.png");
    if (tile == nullptr || icon == nullptr) {
        state.SkipWithError("images did not load");
        return;
    }
    CDockingPainter surface(kWidth, kHeight);
    CDockingPainter screen(kWidth, kHeight);
    Gdiplus::Graphics* g = surface.Graphics();
    const Gdiplus::Rect all(0, 0, kWidth, kHeight);
    BorderFields border;
    border.width = 1;
    border.color = 0xFF405060;
    FontFields regular;
    regular.family = L"Tahoma";
    regular.size = 9;
    FontFields bold;
    bold.family = L"SimSun";
    bold.size = 10;
    bold.weight = 1;
    bold.valign = 1;
    const BoxFields padding;
    for (auto _ : state) {
        ImagePaintJob job;
        PaintImage(0, all, job, g, all, 0, L"repeat", 0xFFE0E0F0, tile);
        for (int i = 0; i < 4; ++i) {
            const Gdiplus::Rect box(10 + i * 120, 10, 110, 60);
            PaintCellBorder(all, box, border, 10, g);
        }
        for (int i = 0; i < 10; ++i) {
            const Gdiplus::Rect box(10 + (i % 2) * 240, 90 + (i / 2) * 40, 230, 30);
            PaintCellText(i % 2 == 0 ? L"Connected 00:12:34" : L"\u5DF2\u8FDE\u63A5 Signal",
                          i % 2 == 0 ? regular : bold, padding, g, all, box);
        }
        PaintImage(0, all, job, g, {20, 300, 64, 64}, 0, L"", kNoColor, icon);
        PaintImage(0, all, job, g, {400, 300, 64, 64}, 0, L"", kNoColor, icon);
        BitBlt(screen.Dc(), 0, 0, kWidth, kHeight, surface.Dc(), 0, 0, SRCCOPY);
    }
}

}  // namespace

int main(int argc, char** argv) {
    sim::Machine::Reset(sim::Config::WindowsXP());
    WriteImage(L"C:\\skin\\tile.png", 32, 32);
    WriteImage(L"C:\\skin\\icon.png", 64, 64);
    StartDrawingLibrary();
    benchmark::RegisterBenchmark("FloorFillAndBlit", FloorFillAndBlit)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("FullPaint500x400", FullPaint)->Unit(benchmark::kMicrosecond);
    return bench::RunWithFloorRatios(argc, argv,
                                     [](const std::string&) { return "FloorFillAndBlit"; });
}
