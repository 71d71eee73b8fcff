// Golden images for drawing tests: a picture is compared with its reference PNG under
// tests/golden/ pixel by pixel with a tolerance (anti-aliased text differs a little between
// library versions). The picture is written next to the test's output; on a mismatch a diff
// image (the differing pixels in red over a faded copy) is written beside it.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace golden {

inline std::filesystem::path ReferenceFolder() {
    return std::filesystem::path(MODEM_GOLDEN_DIR);
}

struct Tolerance {
    int channel = 40;           // the largest difference of a channel that still matches
    double mismatched = 0.004;  // the share of pixels that may differ by more
};

inline std::uint32_t At(cairo_surface_t* s, int x, int y) {
    auto* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
    return reinterpret_cast<std::uint32_t*>(row)[x];
}

inline int Distance(std::uint32_t a, std::uint32_t b) {
    int d = 0;
    for (int shift = 0; shift < 32; shift += 8)
        d = std::max(d, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                 static_cast<int>((b >> shift) & 0xFF)));
    return d;
}

// Compares the picture with the reference `name`.png. Without a reference the picture is
// written as one and the check fails: look at it, then commit it.
inline ::testing::AssertionResult Matches(cairo_surface_t* picture, const std::string& name,
                                          Tolerance tolerance = {}) {
    cairo_surface_flush(picture);
    const std::string actualPath = name + ".png";
    cairo_surface_write_to_png(picture, actualPath.c_str());
    const std::filesystem::path reference = ReferenceFolder() / (name + ".png");
    if (!std::filesystem::exists(reference)) {
        std::filesystem::create_directories(ReferenceFolder());
        cairo_surface_write_to_png(picture, reference.c_str());
        return ::testing::AssertionFailure() << "no reference yet: wrote " << reference;
    }
    cairo_surface_t* expected = cairo_image_surface_create_from_png(reference.c_str());
    const int w = cairo_image_surface_get_width(picture);
    const int h = cairo_image_surface_get_height(picture);
    if (cairo_surface_status(expected) != CAIRO_STATUS_SUCCESS ||
        cairo_image_surface_get_width(expected) != w ||
        cairo_image_surface_get_height(expected) != h) {
        cairo_surface_destroy(expected);
        return ::testing::AssertionFailure()
               << "the reference " << reference << " is missing or of another size";
    }
    cairo_surface_t* diff = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    long bad = 0;
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(diff) +
                                                     y * cairo_image_surface_get_stride(diff));
        for (int x = 0; x < w; ++x) {
            std::uint32_t a = At(picture, x, y), b = At(expected, x, y);
            bool differs = Distance(a, b) > tolerance.channel;
            bad += differs ? 1 : 0;
            std::uint32_t grey = 0xC0 + ((a >> 8) & 0xFF) / 4;
            out[x] = differs ? 0xFFFF0000u : (0xFF000000u | grey << 16 | grey << 8 | grey);
        }
    }
    cairo_surface_mark_dirty(diff);
    cairo_surface_destroy(expected);
    const double share = static_cast<double>(bad) / (static_cast<double>(w) * h);
    if (share > tolerance.mismatched) {
        const std::string diffPath = name + ".diff.png";
        cairo_surface_write_to_png(diff, diffPath.c_str());
        cairo_surface_destroy(diff);
        return ::testing::AssertionFailure()
               << bad << " pixels differ from " << reference << "; see " << diffPath;
    }
    cairo_surface_destroy(diff);
    return ::testing::AssertionSuccess();
}

}  // namespace golden
