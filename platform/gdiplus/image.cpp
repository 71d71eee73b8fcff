// GDI+ images: bitmaps decoded from the machine's files by stb_image, made empty, or copied from
// GDI bitmaps; cached bitmaps.
#include <cstring>
#include <vector>

#include <winbase.h>
#include "platform/gdi32/surface.h"
#include "platform/gdiplus/internal.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace Gdiplus {

GpImage::~GpImage() {
    if (surface != nullptr) cairo_surface_destroy(surface);
}

namespace {

constexpr std::size_t kMaxFileBytes = 64u << 20;
constexpr int kMaxSide = 1 << 14;  // larger pictures are refused, not allocated
// A decoded file may hold at most this many pixels (64 MB as ARGB): a few bytes of a file can
// declare a picture whose decoding (with the decoder's own working copies) would take gigabytes.
constexpr long long kMaxDecodedPixels = 1LL << 24;

std::uint32_t Premultiply(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}

// Reads a machine file through the layer's file functions.
bool ReadMachineFile(const WCHAR* path, std::vector<unsigned char>* bytes, Status* status) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *status = Win32Error;
        return false;
    }
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE || high != 0 || size > kMaxFileBytes) {
        CloseHandle(file);
        *status = size > kMaxFileBytes || high != 0 ? OutOfMemory : Win32Error;
        return false;
    }
    bytes->resize(size);
    DWORD read = 0;
    BOOL ok = size == 0 || ReadFile(file, bytes->data(), size, &read, nullptr);
    CloseHandle(file);
    if (!ok || read != size) {
        *status = Win32Error;
        return false;
    }
    return true;
}

std::uint32_t Be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}
std::uint32_t Le32(const unsigned char* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
           p[0];
}

}  // namespace

// The resolution a file states (PNG pHYs in pixels per metre, BMP header pixels per metre);
// 96 dots per inch otherwise.
void FileResolution(const unsigned char* data, std::size_t size, double* dpiX, double* dpiY) {
    *dpiX = *dpiY = 96;
    auto fromMetre = [](std::uint32_t ppm) { return ppm * 0.0254; };
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(data, kPng, 8) == 0) {
        std::size_t pos = 8;
        while (pos + 8 <= size) {
            std::uint32_t len = Be32(data + pos);
            const unsigned char* type = data + pos + 4;
            if (len > size - pos - 8) break;
            if (std::memcmp(type, "pHYs", 4) == 0 && len >= 9) {
                std::uint32_t x = Be32(data + pos + 8), y = Be32(data + pos + 12);
                if (data[pos + 16] == 1 && x > 0 && y > 0) {
                    *dpiX = fromMetre(x);
                    *dpiY = fromMetre(y);
                }
                return;
            }
            if (std::memcmp(type, "IDAT", 4) == 0) return;
            if (size - pos - 8 - len < 4) break;
            pos += 8 + len + 4;
        }
    } else if (size >= 46 && data[0] == 'B' && data[1] == 'M' && Le32(data + 14) >= 40) {
        std::uint32_t x = Le32(data + 38), y = Le32(data + 42);
        if (x > 0 && y > 0 && x < 0x7FFFFFFF && y < 0x7FFFFFFF) {
            *dpiX = fromMetre(x);
            *dpiY = fromMetre(y);
        }
    }
}

// Decodes an image file's bytes into a premultiplied ARGB32 surface.
Status DecodeImage(const unsigned char* data, std::size_t size, GpImage* image) {
    if (size == 0 || size > kMaxFileBytes) return UnknownImageFormat;
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(data, static_cast<int>(size), &w, &h, &channels))
        return UnknownImageFormat;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide ||
        static_cast<long long>(w) * h > kMaxDecodedPixels)
        return OutOfMemory;
    unsigned char* rgba = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 4);
    if (rgba == nullptr) return UnknownImageFormat;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        stbi_image_free(rgba);
        return OutOfMemory;
    }
    cairo_surface_flush(s);
    unsigned char* dst = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * stride);
        const unsigned char* src = rgba + static_cast<std::size_t>(y) * w * 4;
        for (int x = 0; x < w; ++x, src += 4) row[x] = Premultiply(src[3], src[0], src[1], src[2]);
    }
    cairo_surface_mark_dirty(s);
    stbi_image_free(rgba);
    image->surface = s;
    image->width = w;
    image->height = h;
    FileResolution(data, size, &image->dpiX, &image->dpiY);
    return Ok;
}

namespace {

Status LoadFile(const WCHAR* path, GpImage* image) {
    if (path == nullptr) return InvalidParameter;
    std::vector<unsigned char> bytes;
    Status status = Ok;
    if (!ReadMachineFile(path, &bytes, &status)) return status;
    return DecodeImage(bytes.data(), bytes.size(), image);
}

cairo_surface_t* CopySurface(cairo_surface_t* from, bool opaque) {
    int w = cairo_image_surface_get_width(from), h = cairo_image_surface_get_height(from);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    cairo_surface_flush(from);
    cairo_surface_flush(s);
    const unsigned char* src = cairo_image_surface_get_data(from);
    unsigned char* dst = cairo_image_surface_get_data(s);
    int ss = cairo_image_surface_get_stride(from), ds = cairo_image_surface_get_stride(s);
    bool argb = cairo_image_surface_get_format(from) == CAIRO_FORMAT_ARGB32;
    for (int y = 0; y < h; ++y) {
        const auto* in =
            reinterpret_cast<const std::uint32_t*>(src + static_cast<std::ptrdiff_t>(y) * ss);
        auto* out = reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * ds);
        for (int x = 0; x < w; ++x) out[x] = opaque || !argb ? (in[x] | 0xFF000000u) : in[x];
    }
    cairo_surface_mark_dirty(s);
    return s;
}

// A copy of the picture with its size, resolution and format.
Status CopyImage(const GpImage& from, GpImage* to) {
    if (from.surface == nullptr) return InvalidParameter;
    to->surface = CopySurface(from.surface, false);
    if (to->surface == nullptr) return OutOfMemory;
    to->width = from.width;
    to->height = from.height;
    to->dpiX = from.dpiX;
    to->dpiY = from.dpiY;
    to->format = from.format;
    return Ok;
}

}  // namespace

// ---- Image ----

Image::Image() : img_(new GpImage) {
    detail::Born(GdiplusKind::Image);
}

Image::Image(const WCHAR* filename, BOOL) : Image() {
    SetStatus(LoadFile(filename, img_));
}

Image* Image::FromFile(const WCHAR* filename, BOOL useIcm) {
    return new Image(filename, useIcm);
}

Image::~Image() {
    delete img_;
    detail::Died(GdiplusKind::Image);
}

Image* Image::Clone() {
    auto* c = new Image();
    c->SetStatus(CopyImage(*img_, c->img_));
    return c;
}

UINT Image::GetWidth() {
    return static_cast<UINT>(img_->width);
}
UINT Image::GetHeight() {
    return static_cast<UINT>(img_->height);
}
REAL Image::GetHorizontalResolution() {
    return static_cast<REAL>(img_->dpiX);
}
REAL Image::GetVerticalResolution() {
    return static_cast<REAL>(img_->dpiY);
}
PixelFormat Image::GetPixelFormat() {
    return img_->format;
}
ImageType Image::GetType() {
    return img_->surface != nullptr ? ImageTypeBitmap : ImageTypeUnknown;
}

// ---- Bitmap ----

Bitmap::Bitmap(const WCHAR* filename, BOOL) {
    SetStatus(LoadFile(filename, img_));
}

Bitmap::Bitmap(INT width, INT height, PixelFormat format) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        (format != PixelFormat32bppARGB && format != PixelFormat32bppPARGB &&
         format != PixelFormat32bppRGB)) {
        SetStatus(InvalidParameter);
        return;
    }
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        SetStatus(OutOfMemory);
        return;
    }
    img_->surface = s;  // zero-filled: transparent
    img_->width = width;
    img_->height = height;
    img_->format = format;
}

Bitmap::Bitmap(HBITMAP bitmap, HPALETTE) {
    cairo_surface_t* from = gdi::BitmapSurface(bitmap);
    if (from == nullptr) {
        SetStatus(InvalidParameter);
        return;
    }
    img_->surface = CopySurface(from, true);
    cairo_surface_destroy(from);
    if (img_->surface == nullptr) {
        SetStatus(OutOfMemory);
        return;
    }
    img_->width = cairo_image_surface_get_width(img_->surface);
    img_->height = cairo_image_surface_get_height(img_->surface);
    img_->format = PixelFormat32bppRGB;
}

Bitmap::~Bitmap() = default;

Bitmap* Bitmap::FromFile(const WCHAR* filename, BOOL useIcm) {
    return new Bitmap(filename, useIcm);
}

Bitmap* Bitmap::FromHBITMAP(HBITMAP bitmap, HPALETTE palette) {
    return new Bitmap(bitmap, palette);
}

Bitmap* Bitmap::Clone() {
    auto* c = new Bitmap();
    c->SetStatus(CopyImage(*img_, c->img_));
    return c;
}

Status Bitmap::GetPixel(INT x, INT y, Color* color) {
    if (color == nullptr || img_->surface == nullptr || x < 0 || y < 0 || x >= img_->width ||
        y >= img_->height)
        return SetStatus(InvalidParameter);
    cairo_surface_flush(img_->surface);
    const unsigned char* data = cairo_image_surface_get_data(img_->surface);
    int stride = cairo_image_surface_get_stride(img_->surface);
    std::uint32_t p =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x];
    std::uint32_t a = p >> 24;
    auto un = [a](std::uint32_t c) { return a == 0 ? 0u : std::min(255u, (c * 255 + a / 2) / a); };
    color->SetValue(a == 0 ? 0
                           : Color::MakeARGB(static_cast<BYTE>(a),
                                             static_cast<BYTE>(un((p >> 16) & 0xFF)),
                                             static_cast<BYTE>(un((p >> 8) & 0xFF)),
                                             static_cast<BYTE>(un(p & 0xFF))));
    return Ok;
}

Status Bitmap::SetPixel(INT x, INT y, const Color& color) {
    if (img_->surface == nullptr || x < 0 || y < 0 || x >= img_->width || y >= img_->height)
        return SetStatus(InvalidParameter);
    cairo_surface_flush(img_->surface);
    unsigned char* data = cairo_image_surface_get_data(img_->surface);
    int stride = cairo_image_surface_get_stride(img_->surface);
    reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x] =
        Premultiply(color.GetA(), color.GetR(), color.GetG(), color.GetB());
    cairo_surface_mark_dirty(img_->surface);
    return Ok;
}

Status Bitmap::SetResolution(REAL xdpi, REAL ydpi) {
    if (!(xdpi > 0) || !(ydpi > 0)) return SetStatus(InvalidParameter);
    img_->dpiX = xdpi;
    img_->dpiY = ydpi;
    return Ok;
}

// ---- CachedBitmap ----

CachedBitmap::CachedBitmap(Bitmap* bitmap, Graphics* graphics) : c_(new GpCachedBitmap) {
    detail::Born(GdiplusKind::CachedBitmap);
    if (bitmap == nullptr || graphics == nullptr || bitmap->img_->surface == nullptr) {
        SetStatus(InvalidParameter);
        return;
    }
    GpImage* img = bitmap->img_;
    if (img->busy.exchange(true)) {
        SetStatus(ObjectBusy);
        return;
    }
    c_->surface = CopySurface(img->surface, false);
    img->busy = false;
    if (c_->surface == nullptr) {
        SetStatus(OutOfMemory);
        return;
    }
    c_->width = img->width;
    c_->height = img->height;
}

CachedBitmap::~CachedBitmap() {
    if (c_->surface != nullptr) cairo_surface_destroy(c_->surface);
    delete c_;
    detail::Died(GdiplusKind::CachedBitmap);
}

}  // namespace Gdiplus
