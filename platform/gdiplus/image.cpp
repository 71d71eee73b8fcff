// GDI+ images: bitmaps decoded from the machine's files, made empty, or copied from GDI bitmaps;
// cached bitmaps. Image files are outside input (a skin is a file a user downloads): PNG, JPEG and
// GIF are decoded by libpng, libjpeg-turbo and giflib, which are written and fuzzed for untrusted
// files; BMP by the small decoder below. Every decoder states the picture's size before it
// allocates a pixel, and a size past the limits is refused there.
#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h wants FILE declared
#include <cstring>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <winbase.h>
#include "platform/gdi32/surface.h"
#include "platform/gdiplus/internal.h"

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

namespace {

// A decoded picture: straight (not premultiplied) RGBA bytes, rows top-down, 4 bytes a pixel.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;

    void Allocate(int w, int h) {
        width = w;
        height = h;
        rgba.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, 0);
    }
    unsigned char* Row(int y) { return rgba.data() + static_cast<std::size_t>(y) * width * 4; }
};

// The size a file declares, judged before anything of that size is allocated.
Status CheckSize(long long w, long long h) {
    if (w <= 0 || h <= 0) return UnknownImageFormat;
    if (w > kMaxSide || h > kMaxSide || w * h > kMaxDecodedPixels) return OutOfMemory;
    return Ok;
}

std::uint32_t Le16(const unsigned char* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8);
}

// ---- PNG: libpng's simplified reader ----

Status DecodePng(const unsigned char* data, std::size_t size, Picture* out) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) return UnknownImageFormat;
    const Status status = CheckSize(png.width, png.height);
    if (status != Ok) {
        png_image_free(&png);
        return status;
    }
    png.format = PNG_FORMAT_RGBA;
    out->Allocate(static_cast<int>(png.width), static_cast<int>(png.height));
    if (!png_image_finish_read(&png, nullptr, out->rgba.data(), 0, nullptr)) {
        png_image_free(&png);
        return UnknownImageFormat;
    }
    return Ok;
}

// ---- JPEG: libjpeg-turbo ----

// libjpeg reports a fatal error through error_exit, which must not return: it jumps back into
// DecodeJpeg's frame. Warnings (a damaged or cut stream still gives a picture) stay silent.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

void JpegMessage(j_common_ptr, int) {}

// A progressive file can hold thousands of scans that each cost a pass over the picture.
constexpr int kMaxJpegScans = 500;

void JpegProgress(j_common_ptr info) {
    if (info->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxJpegScans)
        JpegFail(info);
}

// CMYK as libjpeg hands it (Adobe files store it inverted) to RGBA, in place.
void CmykToRgba(Picture* picture, bool inverted) {
    for (std::size_t i = 0; i + 4 <= picture->rgba.size(); i += 4) {
        unsigned char* p = picture->rgba.data() + i;
        unsigned c = p[0], m = p[1], y = p[2], k = p[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        p[0] = static_cast<unsigned char>(c * k / 255);
        p[1] = static_cast<unsigned char>(m * k / 255);
        p[2] = static_cast<unsigned char>(y * k / 255);
        p[3] = 255;
    }
}

// Only objects without destructors live in this frame from setjmp on, so the jump skips nothing
// that needs cleaning up; libjpeg's own memory goes with jpeg_destroy_decompress.
Status DecodeJpeg(const unsigned char* data, std::size_t size, Picture* out) {
    jpeg_decompress_struct info;
    JpegErrors errors;
    jpeg_progress_mgr progress{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JpegFail;
    errors.manager.emit_message = JpegMessage;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return UnknownImageFormat;
    }
    jpeg_create_decompress(&info);
    progress.progress_monitor = JpegProgress;
    info.progress = &progress;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    const Status status = CheckSize(info.image_width, info.image_height);
    if (status != Ok) {
        jpeg_destroy_decompress(&info);
        return status;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    if (static_cast<long long>(info.output_width) != info.image_width ||
        static_cast<long long>(info.output_height) != info.image_height ||
        info.output_components != 4)
        JpegFail(reinterpret_cast<j_common_ptr>(&info));
    out->Allocate(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->Row(static_cast<int>(info.output_scanline));
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            JpegFail(reinterpret_cast<j_common_ptr>(&info));
    }
    if (cmyk) CmykToRgba(out, info.saw_Adobe_marker != 0);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return Ok;
}

// ---- GIF: giflib, the first picture of the file on its logical screen ----

struct GifSource {
    const unsigned char* data;
    std::size_t size;
    std::size_t at;
};

int GifRead(GifFileType* gif, GifByteType* into, int count) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    const std::size_t left = source->size - source->at;
    const std::size_t n = count < 0 ? 0 : std::min(static_cast<std::size_t>(count), left);
    std::memcpy(into, source->data + source->at, n);
    source->at += n;
    return static_cast<int>(n);
}

// The rows of an interlaced picture in the order the file holds them: four passes.
int InterlacedRow(int index, int height) {
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows =
            height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (index < rows) return kStart[pass] + index * kStep[pass];
        index -= rows;
    }
    return -1;
}

// Draws the picture whose descriptor giflib just read onto the screen; transparent pixels and
// those outside the screen are left alone.
bool DrawGifPicture(GifFileType* gif, int transparent, Picture* out) {
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
    if (map == nullptr || map->Colors == nullptr) return false;
    if (desc.Width <= 0 || desc.Height <= 0 || CheckSize(desc.Width, desc.Height) != Ok)
        return false;
    std::vector<GifPixelType> line(static_cast<std::size_t>(desc.Width));
    for (int i = 0; i < desc.Height; ++i) {
        if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) return false;
        const long long y =
            static_cast<long long>(desc.Top) + (desc.Interlace ? InterlacedRow(i, desc.Height) : i);
        if (y < 0 || y >= out->height) continue;
        unsigned char* row = out->Row(static_cast<int>(y));
        for (int x = 0; x < desc.Width; ++x) {
            const long long at = static_cast<long long>(desc.Left) + x;
            const int index = line[static_cast<std::size_t>(x)];
            if (at < 0 || at >= out->width || index == transparent || index >= map->ColorCount)
                continue;
            const GifColorType& c = map->Colors[index];
            unsigned char* p = row + at * 4;
            p[0] = c.Red;
            p[1] = c.Green;
            p[2] = c.Blue;
            p[3] = 255;
        }
    }
    return true;
}

Status DecodeGif(const unsigned char* data, std::size_t size, Picture* out) {
    // The logical screen's size, from the header, before giflib reads anything.
    if (size < 10) return UnknownImageFormat;
    const Status status = CheckSize(Le16(data + 6), Le16(data + 8));
    if (status != Ok) return status;
    GifSource source{data, size, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, GifRead, &error);
    if (gif == nullptr) return UnknownImageFormat;
    out->Allocate(gif->SWidth, gif->SHeight);
    int transparent = -1;
    bool drawn = false;
    for (bool more = true; more && !drawn;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) break;
        switch (type) {
            case EXTENSION_RECORD_TYPE: {
                int code = 0;
                GifByteType* block = nullptr;
                if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
                    more = false;
                    break;
                }
                // Graphics control: flags, delay (2 bytes), transparent colour index.
                if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4)
                    transparent = (block[1] & 1) != 0 ? block[4] : -1;
                while (more && block != nullptr)
                    more = DGifGetExtensionNext(gif, &block) != GIF_ERROR;
                break;
            }
            case IMAGE_DESC_RECORD_TYPE:
                more = DGifGetImageDesc(gif) != GIF_ERROR;
                drawn = more && DrawGifPicture(gif, transparent, out);
                more = false;
                break;
            case TERMINATE_RECORD_TYPE:
                more = false;
                break;
            default:
                break;
        }
    }
    DGifCloseFile(gif, &error);
    return drawn ? Ok : UnknownImageFormat;
}

// ---- BMP ----

// One colour channel of a bit-field pixel, scaled to 8 bits; a channel without bits reads as
// `none`.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(std::uint32_t m) : mask(m) {
        if (m == 0) return;
        while (((m >> shift) & 1) == 0) ++shift;
        while (shift + bits < 32 && ((m >> (shift + bits)) & 1) != 0) ++bits;
    }
    unsigned Read(std::uint32_t pixel, unsigned none) const {
        if (bits == 0) return none;
        const std::uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8) return (v >> (bits - 8)) & 0xFF;
        return v * 255 / ((1u << bits) - 1);
    }
};

// BITMAPCOREHEADER (12 bytes) and BITMAPINFOHEADER with its later versions (40 bytes and more);
// 1, 4 and 8 bits through a palette, 16 and 32 bits plain or with bit fields, 24 bits plain.
// Compressed files (RLE, embedded JPEG or PNG) are not read. Every read is checked against the
// file's end.
Status DecodeBmp(const unsigned char* data, std::size_t size, Picture* out) {
    if (size < 26 || data[0] != 'B' || data[1] != 'M') return UnknownImageFormat;
    const std::uint64_t pixels = Le32(data + 10);
    const std::uint64_t header = Le32(data + 14);
    long long width = 0, height = 0;
    unsigned bpp = 0, compression = 0, colours = 0, entry = 4;
    if (header == 12) {
        width = Le16(data + 18);
        height = Le16(data + 20);
        bpp = Le16(data + 24);
        entry = 3;
    } else if (header >= 40 && size >= 54) {
        width = static_cast<std::int32_t>(Le32(data + 18));
        height = static_cast<std::int32_t>(Le32(data + 22));
        bpp = Le16(data + 28);
        compression = Le32(data + 30);
        colours = Le32(data + 46);
    } else {
        return UnknownImageFormat;
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    const Status status = CheckSize(width, height);
    if (status != Ok) return status;

    constexpr unsigned kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
    const bool fields = compression == kBitFields || compression == kAlphaBitFields;
    if (compression != kRgb && !(fields && (bpp == 16 || bpp == 32))) return UnknownImageFormat;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return UnknownImageFormat;

    // The bit fields: in the header from version 4 on, else just after it.
    std::uint32_t masks[4] = {0, 0, 0, 0};
    if (fields) {
        const std::size_t count = compression == kAlphaBitFields || header >= 56 ? 4 : 3;
        if (54 + count * 4 > size) return UnknownImageFormat;
        for (std::size_t i = 0; i < count; ++i) masks[i] = Le32(data + 54 + i * 4);
    } else if (bpp == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bpp == 32) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF, masks[3] = 0xFF000000;
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);

    // The palette lies between the header and the pixels; a core header states no count.
    std::vector<std::uint32_t> palette;
    if (bpp <= 8) {
        const std::uint64_t most = 1u << bpp;
        const std::uint64_t at = 14 + header;
        if (pixels > size || pixels < at) return UnknownImageFormat;
        const std::uint64_t n =
            std::min(colours == 0 || colours > most ? most : colours, (pixels - at) / entry);
        if (n == 0) return UnknownImageFormat;
        for (std::uint64_t i = 0; i < n; ++i) {
            const unsigned char* p = data + at + i * entry;
            palette.push_back(std::uint32_t{p[2]} | (std::uint32_t{p[1]} << 8) |
                              (std::uint32_t{p[0]} << 16) | 0xFF000000u);
        }
    }

    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bpp + 31) / 32 * 4;
    if (pixels > size || stride * static_cast<std::uint64_t>(height) > size - pixels)
        return UnknownImageFormat;
    out->Allocate(static_cast<int>(width), static_cast<int>(height));
    bool anyAlpha = false;
    for (int y = 0; y < out->height; ++y) {
        const int fileRow = topDown ? y : out->height - 1 - y;
        const unsigned char* src = data + pixels + stride * static_cast<std::uint64_t>(fileRow);
        unsigned char* dst = out->Row(y);
        for (int x = 0; x < out->width; ++x, dst += 4) {
            std::uint32_t rgba = 0;  // R in the low byte, then G, B, A
            if (bpp <= 8) {
                const unsigned bit = static_cast<unsigned>(x) * bpp;
                const unsigned index = (src[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                rgba = index < palette.size() ? palette[index] : 0xFF000000u;
            } else if (bpp == 24) {
                const unsigned char* p = src + x * 3;
                rgba = std::uint32_t{p[2]} | (std::uint32_t{p[1]} << 8) |
                       (std::uint32_t{p[0]} << 16) | 0xFF000000u;
            } else {
                const std::uint32_t px = bpp == 16 ? Le16(src + x * 2) : Le32(src + x * 4);
                const unsigned a = alpha.Read(px, 255);
                anyAlpha = anyAlpha || (alpha.bits != 0 && a != 0);
                rgba = red.Read(px, 0) | (green.Read(px, 0) << 8) | (blue.Read(px, 0) << 16) |
                       (a << 24);
            }
            dst[0] = static_cast<unsigned char>(rgba);
            dst[1] = static_cast<unsigned char>(rgba >> 8);
            dst[2] = static_cast<unsigned char>(rgba >> 16);
            dst[3] = static_cast<unsigned char>(rgba >> 24);
        }
    }
    // A 32-bit file whose alpha bytes are all 0 was written without alpha: it is opaque.
    if (alpha.bits != 0 && !anyAlpha)
        for (std::size_t i = 3; i < out->rgba.size(); i += 4) out->rgba[i] = 255;
    return Ok;
}

bool StartsWith(const unsigned char* data, std::size_t size, const char* magic, std::size_t n) {
    return size >= n && std::memcmp(data, magic, n) == 0;
}

}  // namespace

// Decodes an image file's bytes into a premultiplied ARGB32 surface.
Status DecodeImage(const unsigned char* data, std::size_t size, GpImage* image) {
    if (data == nullptr || size == 0 || size > kMaxFileBytes) return UnknownImageFormat;
    Picture picture;
    Status status = UnknownImageFormat;
    if (StartsWith(data, size, "\x89PNG\r\n\x1A\n", 8))
        status = DecodePng(data, size, &picture);
    else if (StartsWith(data, size, "\xFF\xD8", 2))
        status = DecodeJpeg(data, size, &picture);
    else if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6))
        status = DecodeGif(data, size, &picture);
    else if (StartsWith(data, size, "BM", 2))
        status = DecodeBmp(data, size, &picture);
    if (status != Ok) return status;
    const int w = picture.width, h = picture.height;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return OutOfMemory;
    }
    cairo_surface_flush(s);
    unsigned char* dst = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * stride);
        const unsigned char* src = picture.Row(y);
        for (int x = 0; x < w; ++x, src += 4) row[x] = Premultiply(src[3], src[0], src[1], src[2]);
    }
    cairo_surface_mark_dirty(s);
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
