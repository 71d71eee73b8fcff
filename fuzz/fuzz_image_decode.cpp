// Image files as GDI+ bitmaps decode them: any bytes give a picture or a failure, never a crash,
// and a picture holds premultiplied pixels of its stated size.
#include <cairo.h>

#include <cstdint>

#include "platform/gdiplus/internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Gdiplus::GpImage image;
    Gdiplus::Status status = Gdiplus::DecodeImage(data, size, &image);
    if (status != Gdiplus::Ok) {
        if (image.surface != nullptr || image.width != 0 || image.height != 0) __builtin_trap();
        return 0;
    }
    if (image.surface == nullptr || image.width <= 0 || image.height <= 0) __builtin_trap();
    if (cairo_image_surface_get_width(image.surface) != image.width ||
        cairo_image_surface_get_height(image.surface) != image.height)
        __builtin_trap();
    if (!(image.dpiX > 0) || !(image.dpiY > 0)) __builtin_trap();
    const unsigned char* px = cairo_image_surface_get_data(image.surface);
    int stride = cairo_image_surface_get_stride(image.surface);
    for (int y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(px + y * stride);
        for (int x = 0; x < image.width; ++x) {
            uint32_t p = row[x], a = p >> 24;
            if (((p >> 16) & 0xFF) > a || ((p >> 8) & 0xFF) > a || (p & 0xFF) > a) __builtin_trap();
        }
    }
    return 0;
}
