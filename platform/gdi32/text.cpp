// GDI's text calls on pango: the context's font (its LOGFONT: height in pixels, weight, italic,
// underline; the family through the machine's font table, else the machine's default family),
// its text colour and background mode.
#include <pango/pangocairo.h>

#include <algorithm>
#include <utility>
#include <cmath>
#include <cstdint>
#include <string>

#include <wingdi.h>
#include "platform/gdi32/draw_canvas.h"
#include <winbase.h>
#include "machine/fonts.h"
#include "machine/gdi_objects.h"
#include "machine/handles.h"
#include "machine/gdi_tools.h"
#include "machine/machine.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

// The family that draws a face the machine does not have.
constexpr const char* kDefaultFamily = "DejaVu Sans";
constexpr int kDefaultHeight = 12;  // the em height of a font asked for with height 0

std::shared_ptr<sim::GdiDc> Context(HDC dc) {
    return sim::GdiTable::Get().FindAs<sim::GdiDc>(dc);
}

// Wide text as pango takes it (UTF-8); a value that is no character shows as U+FFFD.
std::string Utf8(std::wstring text) {
    for (wchar_t& wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) wc = static_cast<wchar_t>(0xFFFD);
    }
    return sim::ToUtf8(text);
}

// A pango context for measuring and drawing, one per thread (pango objects are not shared
// between threads).
PangoContext* ThreadContext() {
    struct Holder {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        cairo_t* cr = cairo_create(surface);
        PangoContext* context = nullptr;
        Holder() {
            context = pango_cairo_create_context(cr);
            cairo_font_options_t* options = cairo_font_options_create();
            cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
            cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
            cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
            pango_cairo_context_set_font_options(context, options);
            cairo_font_options_destroy(options);
            pango_cairo_context_set_resolution(context, 96);
        }
        ~Holder() {
            g_object_unref(context);
            cairo_destroy(cr);
            cairo_surface_destroy(surface);
        }
    };
    thread_local Holder holder;
    return holder.context;
}

// The font description of the context's font.
struct Font {
    PangoFontDescription* desc = nullptr;
    bool underline = false;
    bool strikeOut = false;
    LOGFONTW logFont{};
    ~Font() {
        if (desc != nullptr) pango_font_description_free(desc);
    }
};

void Describe(const LOGFONTW& lf, Font& font) {
    font.logFont = lf;
    auto host = sim::machine().fonts().HostFamily(lf.lfFaceName);
    font.desc = pango_font_description_new();
    pango_font_description_set_family(font.desc, host ? host->c_str() : kDefaultFamily);
    int weight = lf.lfWeight == FW_DONTCARE ? FW_NORMAL : std::clamp<int>(lf.lfWeight, 100, 1000);
    pango_font_description_set_weight(font.desc, static_cast<PangoWeight>(weight));
    pango_font_description_set_style(font.desc,
                                     lf.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    font.underline = lf.lfUnderline != 0;
    font.strikeOut = lf.lfStrikeOut != 0;
    // A negative height is the em height; a positive one the cell height (ascent + descent),
    // scaled down by what the family's cell is to its em.
    long height = lf.lfHeight;
    double em = height < 0   ? -static_cast<double>(height)
                : height > 0 ? static_cast<double>(height)
                             : kDefaultHeight;
    em = std::min(em, 4096.0);
    pango_font_description_set_absolute_size(font.desc, em * PANGO_SCALE);
    if (height > 0) {
        PangoFontMetrics* m = pango_context_get_metrics(ThreadContext(), font.desc, nullptr);
        double cell = (pango_font_metrics_get_ascent(m) + pango_font_metrics_get_descent(m)) /
                      static_cast<double>(PANGO_SCALE);
        pango_font_metrics_unref(m);
        if (cell > 0)
            pango_font_description_set_absolute_size(font.desc, em * em / cell * PANGO_SCALE);
    }
}

bool FontOf(HDC dc, Font& font) {
    auto context = Context(dc);
    if (!context) return false;
    auto f = sim::GdiTable::Get().FindAs<sim::GdiFont>(context->font);
    LOGFONTW lf{};
    if (f) lf = f->logFont;
    Describe(lf, font);
    return true;
}

// A layout of one text in the font. `underlined`: the character to underline, or -1.
PangoLayout* Layout(const Font& font, const std::wstring& text, int underlined = -1) {
    PangoLayout* layout = pango_layout_new(ThreadContext());
    std::string utf8 = Utf8(text);
    pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
    pango_layout_set_font_description(layout, font.desc);
    PangoAttrList* attrs = pango_attr_list_new();
    if (font.underline)
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.strikeOut) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    if (underlined >= 0 && underlined < static_cast<int>(text.size())) {
        PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
        const auto at = static_cast<std::size_t>(underlined);
        a->start_index = static_cast<guint>(Utf8(text.substr(0, at)).size());
        a->end_index = static_cast<guint>(Utf8(text.substr(0, at + 1)).size());
        pango_attr_list_insert(attrs, a);
    }
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
    return layout;
}

// The font's line height in pixels (ascent + descent).
struct Metrics {
    int ascent = 0;
    int descent = 0;
};

Metrics LineMetrics(const Font& font) {
    PangoFontMetrics* m = pango_context_get_metrics(ThreadContext(), font.desc, nullptr);
    Metrics out;
    out.ascent =
        static_cast<int>(std::ceil(pango_font_metrics_get_ascent(m) / double(PANGO_SCALE)));
    out.descent =
        static_cast<int>(std::ceil(pango_font_metrics_get_descent(m) / double(PANGO_SCALE)));
    pango_font_metrics_unref(m);
    return out;
}

SIZE PixelSize(PangoLayout* layout) {
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    return {w, h};
}

std::wstring Text(LPCWSTR text, int count) {
    if (text == nullptr) return {};
    return count < 0 ? std::wstring(text) : std::wstring(text, static_cast<std::size_t>(count));
}

// Draws the layout with its top-left at (x, y) in the context's text colour, on the background
// colour when the mode is OPAQUE.
void Show(const gdi::Canvas& c, PangoLayout* layout, int x, int y) {
    cairo_t* cr = c.cr();
    if (c.State().bkMode == OPAQUE) {
        SIZE s = PixelSize(layout);
        c.Fill({x, y, x + s.cx, y + s.cy}, c.BkColor());
    }
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    c.SetColor(c.State().textColor);
    cairo_move_to(cr, x, y);
    pango_cairo_update_layout(cr, layout);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
}

// Takes the '&' prefixes out of the text: "&&" is one '&', "&x" underlines x (its index in the
// result goes to `underlined`).
std::wstring StripPrefixes(const std::wstring& text, int* underlined) {
    std::wstring out;
    *underlined = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != L'&') *underlined = static_cast<int>(out.size());
        } else if (text[i] == L'&') {
            continue;  // a last lone '&' shows nothing
        }
        out += text[i];
    }
    return out;
}

}  // namespace

// ---- Colours and modes ----

COLORREF SetTextColor(HDC dc, COLORREF color) {
    API_TRACE(Gdi, SetTextColor, dc, color);
    auto context = Context(dc);
    if (!context) return Fail<COLORREF>(CLR_INVALID, ERROR_INVALID_HANDLE);
    return std::exchange(context->draw->textColor, color & 0x00FFFFFF);
}

COLORREF GetTextColor(HDC dc) {
    API_TRACE(Gdi, GetTextColor, dc);
    auto context = Context(dc);
    return context ? context->draw->textColor : Fail<COLORREF>(CLR_INVALID, ERROR_INVALID_HANDLE);
}

int SetBkMode(HDC dc, int mode) {
    API_TRACE(Gdi, SetBkMode, dc, mode);
    auto context = Context(dc);
    if (!context) return Fail(0, ERROR_INVALID_HANDLE);
    if (mode != TRANSPARENT && mode != OPAQUE) return Fail(0, ERROR_INVALID_PARAMETER);
    return std::exchange(context->draw->bkMode, mode);
}

int GetBkMode(HDC dc) {
    API_TRACE(Gdi, GetBkMode, dc);
    auto context = Context(dc);
    return context ? context->draw->bkMode : Fail(0, ERROR_INVALID_HANDLE);
}

// ---- Measuring ----

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) {
    API_TRACE(Gdi, GetTextExtentPoint32W, dc, text, count, size);
    if (size == nullptr || count < 0 || (text == nullptr && count > 0))
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Font font;
    if (!FontOf(dc, font)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    PangoLayout* layout = Layout(font, Text(text, count));
    Metrics m = LineMetrics(font);
    size->cx = PixelSize(layout).cx;
    size->cy = m.ascent + m.descent;
    g_object_unref(layout);
    return TRUE;
}

BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) {
    API_TRACE(Gdi, GetTextMetricsW, dc, metrics);
    if (metrics == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Font font;
    if (!FontOf(dc, font)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    Metrics m = LineMetrics(font);
    *metrics = TEXTMETRICW{};
    metrics->tmAscent = m.ascent;
    metrics->tmDescent = m.descent;
    metrics->tmHeight = m.ascent + m.descent;
    double em = pango_font_description_get_size(font.desc) / double(PANGO_SCALE);
    metrics->tmInternalLeading = std::max(0L, metrics->tmHeight - std::lround(em));
    PangoLayout* letters = Layout(font, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    metrics->tmAveCharWidth = (PixelSize(letters).cx + 26) / 52;
    g_object_unref(letters);
    PangoLayout* wide = Layout(font, L"W");
    metrics->tmMaxCharWidth = PixelSize(wide).cx;
    g_object_unref(wide);
    metrics->tmWeight = font.logFont.lfWeight == FW_DONTCARE ? FW_NORMAL : font.logFont.lfWeight;
    metrics->tmDigitizedAspectX = metrics->tmDigitizedAspectY = 96;
    metrics->tmFirstChar = 0x20;
    metrics->tmLastChar = 0xFFFC;
    metrics->tmDefaultChar = 0x1F;
    metrics->tmBreakChar = 0x20;
    metrics->tmItalic = font.logFont.lfItalic;
    metrics->tmUnderlined = font.logFont.lfUnderline;
    metrics->tmStruckOut = font.logFont.lfStrikeOut;
    metrics->tmPitchAndFamily = font.logFont.lfPitchAndFamily;
    metrics->tmCharSet = font.logFont.lfCharSet;
    return TRUE;
}

// ---- Drawing ----

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
    API_TRACE(Gdi, TextOutW, dc, x, y, text, count);
    if (count < 0 || (text == nullptr && count > 0)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const INT* dx) {
    API_TRACE(Gdi, ExtTextOutW, dc, x, y, options, rect, text, count, dx);
    if (text == nullptr && count > 0) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Font font;
    if (!FontOf(dc, font)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    gdi::Canvas c(dc);
    if (!c) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (rect != nullptr && (options & ETO_OPAQUE)) c.Fill(*rect, c.BkColor());
    if (count == 0) return TRUE;
    cairo_t* cr = c.cr();
    cairo_save(cr);
    if (rect != nullptr && (options & ETO_CLIPPED)) {
        cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left,
                        rect->bottom - rect->top);
        cairo_clip(cr);
    }
    PangoLayout* layout = Layout(font, std::wstring(text, count));
    Show(c, layout, x, y);
    g_object_unref(layout);
    cairo_restore(cr);
    return TRUE;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    API_TRACE(Gdi, DrawTextW, dc, text, count, rect, format);
    if (rect == nullptr || (text == nullptr && count != 0)) return Fail(0, ERROR_INVALID_PARAMETER);
    Font font;
    if (!FontOf(dc, font)) return Fail(0, ERROR_INVALID_HANDLE);
    std::wstring shown = Text(text, count);
    int underlined = -1;
    if (!(format & DT_NOPREFIX)) shown = StripPrefixes(shown, &underlined);
    if (format & DT_HIDEPREFIX) underlined = -1;
    const bool single = (format & DT_SINGLELINE) != 0;
    if (single)
        for (wchar_t& ch : shown)
            if (ch == L'\r' || ch == L'\n') ch = L' ';

    PangoLayout* layout = Layout(font, shown, underlined);
    const int width = rect->right - rect->left;
    const bool wrap = (format & DT_WORDBREAK) && !single;
    if (wrap) {
        pango_layout_set_width(layout, std::max(1, width) * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    } else if ((format & DT_END_ELLIPSIS) && !(format & DT_CALCRECT) && width > 0) {
        pango_layout_set_width(layout, width * PANGO_SCALE);
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    }
    PangoAlignment align = (format & DT_CENTER)  ? PANGO_ALIGN_CENTER
                           : (format & DT_RIGHT) ? PANGO_ALIGN_RIGHT
                                                 : PANGO_ALIGN_LEFT;
    pango_layout_set_alignment(layout, align);
    Metrics m = LineMetrics(font);
    SIZE size = PixelSize(layout);
    if (shown.empty()) size = {0, m.ascent + m.descent};
    int lines = pango_layout_get_line_count(layout);
    // Every line is the font's line height tall, as on the platform.
    int height = std::max(1, lines) * (m.ascent + m.descent);

    if (format & DT_CALCRECT) {
        rect->right = rect->left + (wrap ? std::min(size.cx, std::max(width, size.cx)) : size.cx);
        rect->bottom = rect->top + height;
        g_object_unref(layout);
        return height;
    }

    // Where the layout goes: a wrapped layout is as wide as the rectangle and aligns inside it;
    // an unwrapped one is moved by hand.
    int x = rect->left;
    if (!wrap && pango_layout_get_width(layout) < 0) {
        if (format & DT_CENTER) x += (width - size.cx) / 2;
        if (format & DT_RIGHT) x += width - size.cx;
    }
    int y = rect->top;
    int result = height;
    if (single && (format & DT_VCENTER)) {
        y += (rect->bottom - rect->top - height) / 2;
        result = y - rect->top + height;
    } else if (single && (format & DT_BOTTOM)) {
        y = rect->bottom - height;
        result = rect->bottom - rect->top;
    }
    {
        gdi::Canvas c(dc);
        if (!c) {
            g_object_unref(layout);
            return Fail(0, ERROR_INVALID_HANDLE);
        }
        cairo_t* cr = c.cr();
        cairo_save(cr);
        if (!(format & DT_NOCLIP)) {
            cairo_rectangle(cr, rect->left, rect->top, width, rect->bottom - rect->top);
            cairo_clip(cr);
        }
        Show(c, layout, x, y);
        cairo_restore(cr);
    }
    g_object_unref(layout);
    return result;
}
