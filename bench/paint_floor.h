// What the drawing benchmarks share: images written into the machine, and their floor: a plain
// cairo fill of a 500 x 400 surface and its blit onto another, the least that painting and
// showing a skinned window's picture can cost.
#pragma once

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <filesystem>
#include <string>

#include "machine/machine.h"

namespace bench {

constexpr int kFloorWidth = 500;
constexpr int kFloorHeight = 400;

// Writes a w x h PNG of a colour gradient to the machine path.
inline void WriteImage(const std::wstring& path, int w, int h) {
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

inline void FloorFillAndBlit(benchmark::State& state) {
    cairo_surface_t* picture =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kFloorWidth, kFloorHeight);
    cairo_surface_t* screen =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kFloorWidth, kFloorHeight);
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

}  // namespace bench
