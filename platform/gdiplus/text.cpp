// GDI+ text: font families of the machine's font table, fonts, string formats, and text laid
// out by pango (DrawString, MeasureString, and the outlines of GraphicsPath::AddString).
#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/gdiplus/internal.h"
#include "machine/fonts.h"
#include "machine/machine.h"
#include "machine/trace.h"

namespace Gdiplus {

namespace {

// Pixel sizes above this are drawn at this size: pango's units must not overflow.
constexpr double kMaxPixelSize = 100000;

std::string HostFamilyOf(const std::wstring& name) {
    if (name.empty()) return {};
    return sim::machine().fonts().HostFamily(name).value_or(std::string{});
}

double PixelSize(REAL size, Unit unit) {
    switch (unit) {
        case UnitPoint:
            return size * 96.0 / 72.0;
        case UnitInch:
            return size * 96.0;
        case UnitDocument:
            return size * 96.0 / 300.0;
        case UnitMillimeter:
            return size * 96.0 / 25.4;
        default:
            return size;  // world and pixel
    }
}

}  // namespace

TextLayout::~TextLayout() {
    if (layout != nullptr) g_object_unref(layout);
}

const GpStringFormat& DefaultFormat() {
    static const GpStringFormat format{};
    return format;
}

void LayOutText(cairo_t* cr, const std::string& utf8, const std::string& hostFamily,
                double pixelSize, INT style, const GpStringFormat& format, const RectF& rect,
                bool fromPoint, TextLayout* out) {
    pixelSize = std::min(pixelSize, kMaxPixelSize);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    out->layout = layout;
    bool rtl = (format.flags & StringFormatFlagsDirectionRightToLeft) != 0;
    if (rtl) {
        pango_context_set_base_dir(pango_layout_get_context(layout), PANGO_DIRECTION_RTL);
        pango_layout_set_auto_dir(layout, FALSE);
        pango_layout_context_changed(layout);
    }
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, hostFamily.c_str());
    pango_font_description_set_absolute_size(desc,
                                             std::max(1.0, std::round(pixelSize * PANGO_SCALE)));
    pango_font_description_set_weight(
        desc, (style & FontStyleBold) != 0 ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(
        desc, (style & FontStyleItalic) != 0 ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);

    PangoAttrList* attrs = pango_attr_list_new();
    if ((style & FontStyleUnderline) != 0)
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if ((style & FontStyleStrikeout) != 0)
        pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    if ((format.flags & StringFormatFlagsNoFontFallback) != 0)
        pango_attr_list_insert(attrs, pango_attr_fallback_new(FALSE));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);

    // The default format pads a sixth of the em on the left and the right.
    double pad = format.typographic ? 0 : pixelSize / 6;
    bool boundedX = !fromPoint && rect.Width > 0;
    bool boundedY = !fromPoint && rect.Height > 0;
    bool wrap = boundedX && (format.flags & StringFormatFlagsNoWrap) == 0;
    double avail = boundedX ? std::max(0.0, rect.Width - 2 * pad) : -2 * pad;
    int availUnits = static_cast<int>(std::min(avail, 1e6) * PANGO_SCALE);
    if (wrap) {
        pango_layout_set_width(layout, std::max(availUnits, 1));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    if (boundedX && format.trimming >= StringTrimmingEllipsisCharacter) {
        pango_layout_set_width(layout, std::max(availUnits, 1));
        pango_layout_set_ellipsize(layout, format.trimming == StringTrimmingEllipsisPath
                                               ? PANGO_ELLIPSIZE_MIDDLE
                                               : PANGO_ELLIPSIZE_END);
        if (wrap && boundedY)
            pango_layout_set_height(
                layout, static_cast<int>(std::min<double>(rect.Height, 1e6) * PANGO_SCALE));
    }
    double f = format.align == StringAlignmentCenter ? 0.5
               : format.align == StringAlignmentFar  ? 1.0
                                                     : 0.0;
    if (rtl && format.align != StringAlignmentCenter) f = 1 - f;
    pango_layout_set_alignment(layout, f == 0.5 ? PANGO_ALIGN_CENTER
                                       : f == 1 ? PANGO_ALIGN_RIGHT
                                                : PANGO_ALIGN_LEFT);
    pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));

    // Line limit: only lines wholly inside the rectangle are shown.
    if (boundedY && (format.flags & StringFormatFlagsLineLimit) != 0) {
        int end = 0;
        PangoLayoutIter* it = pango_layout_get_iter(layout);
        do {
            PangoRectangle line;
            pango_layout_iter_get_line_extents(it, nullptr, &line);
            if (static_cast<double>(line.y + line.height) / PANGO_SCALE > rect.Height + 0.01) break;
            PangoLayoutLine* l = pango_layout_iter_get_line_readonly(it);
            end = l->start_index + l->length;
        } while (pango_layout_iter_next_line(it));
        pango_layout_iter_free(it);
        if (end < static_cast<int>(utf8.size())) {
            std::string shown = utf8.substr(0, static_cast<std::size_t>(end));
            while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
                shown.pop_back();
            pango_layout_set_text(layout, shown.c_str(), static_cast<int>(shown.size()));
            if (end == 0) pango_layout_set_text(layout, "", 0);
        }
    }

    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    double lx = static_cast<double>(logical.x) / PANGO_SCALE;
    double lw = static_cast<double>(logical.width) / PANGO_SCALE;
    double lh = static_cast<double>(logical.height) / PANGO_SCALE;
    // Where the block goes: within the rectangle, or around the point.
    double left = wrap || (boundedX && format.trimming >= StringTrimmingEllipsisCharacter)
                      ? rect.X + pad + lx
                      : rect.X + pad + (avail - lw) * f;
    double fy = format.lineAlign == StringAlignmentCenter ? 0.5
                : format.lineAlign == StringAlignmentFar  ? 1.0
                                                          : 0.0;
    double top = rect.Y + ((boundedY ? rect.Height : 0) - lh) * fy;
    out->x = left - lx;
    out->y = top;
    double shownH = boundedY ? std::min(lh, static_cast<double>(rect.Height)) : lh;
    if (lw > 0 || lh > 0)
        out->box = RectF(static_cast<REAL>(left - pad),
                         static_cast<REAL>(std::max(top, boundedY ? double(rect.Y) : top)),
                         static_cast<REAL>(lw + 2 * pad), static_cast<REAL>(shownH));
    else
        out->box = RectF(rect.X, rect.Y, 0, 0);
    out->clipped =
        !fromPoint && (format.flags & StringFormatFlagsNoClip) == 0 && (boundedX || boundedY);
    if (out->clipped) {
        constexpr REAL kFar = 1e7f;
        out->clip = RectF(boundedX ? rect.X : -kFar, boundedY ? rect.Y : -kFar,
                          boundedX ? rect.Width : 2 * kFar, boundedY ? rect.Height : 2 * kFar);
    }
    // What is shown: lines that reach into the rectangle.
    const char* text = pango_layout_get_text(layout);
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    int lines = 0, lastEnd = 0;
    do {
        PangoRectangle line;
        pango_layout_iter_get_line_extents(it, nullptr, &line);
        double lineTop = top + static_cast<double>(line.y) / PANGO_SCALE;
        if (boundedY && lineTop >= rect.Y + rect.Height) break;
        PangoLayoutLine* l = pango_layout_iter_get_line_readonly(it);
        ++lines;
        lastEnd = l->start_index + l->length;
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    out->lines = text[0] == 0 ? 0 : lines;
    out->codepoints = static_cast<INT>(g_utf8_strlen(text, lastEnd));
}

namespace {

// The cairo font options of a text rendering hint: single bit per pixel is aliased; grid
// fitting hints the outlines.
void UseHint(cairo_t* cr, TextRenderingHint hint) {
    cairo_font_options_t* o = cairo_font_options_create();
    bool aliased = hint == TextRenderingHintSingleBitPerPixelGridFit ||
                   hint == TextRenderingHintSingleBitPerPixel;
    bool gridFit = hint == TextRenderingHintSingleBitPerPixelGridFit ||
                   hint == TextRenderingHintAntiAliasGridFit ||
                   hint == TextRenderingHintClearTypeGridFit ||
                   hint == TextRenderingHintSystemDefault;
    cairo_font_options_set_antialias(o, aliased ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(o, gridFit ? CAIRO_HINT_STYLE_SLIGHT : CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

}  // namespace

// ---- Font families ----

FontFamily::FontFamily() : f_(new GpFontFamily) {
    detail::Born(GdiplusKind::FontFamily);
}

FontFamily::FontFamily(const WCHAR* name, const FontCollection*) : FontFamily() {
    if (name == nullptr) {
        SetStatus(InvalidParameter);
        return;
    }
    f_->name = name;
    f_->hostFamily = HostFamilyOf(f_->name);
    if (f_->hostFamily.empty()) SetStatus(FontFamilyNotFound);
}

FontFamily::~FontFamily() {
    delete f_;
    detail::Died(GdiplusKind::FontFamily);
}

// A family owned by GDI+ for the process: it does not count as a live object of the caller's.
FontFamily* FontFamily::MakeGeneric(const WCHAR* name, const char* host, bool always) {
    auto* family = new FontFamily(name);
    family->GetLastStatus();
    detail::Died(GdiplusKind::FontFamily);
    if (always || family->f_->hostFamily.empty()) family->f_->hostFamily = host;
    family->f_->owned = true;
    return family;
}

// The generic families are made once, by whichever thread asks first; their host families
// do not depend on the font table (they always exist).
const FontFamily* FontFamily::GenericSansSerif() {
    static FontFamily* const family = MakeGeneric(L"Microsoft Sans Serif", "DejaVu Sans", false);
    return family;
}

const FontFamily* FontFamily::GenericSerif() {
    static FontFamily* const family = MakeGeneric(L"Times New Roman", "DejaVu Serif", true);
    return family;
}

const FontFamily* FontFamily::GenericMonospace() {
    static FontFamily* const family = MakeGeneric(L"Courier New", "DejaVu Sans Mono", true);
    return family;
}

FontFamily* FontFamily::Clone() const {
    auto* c = new FontFamily();
    c->f_->name = f_->name;
    c->f_->hostFamily = f_->hostFamily;
    return c;
}

BOOL FontFamily::IsAvailable() const {
    return !f_->hostFamily.empty();
}

Status FontFamily::GetFamilyName(WCHAR name[LF_FACESIZE], LANGID) const {
    if (name == nullptr) return SetStatus(InvalidParameter);
    std::size_t n = std::min<std::size_t>(f_->name.size(), LF_FACESIZE - 1);
    std::copy_n(f_->name.begin(), n, name);
    name[n] = 0;
    return Ok;
}

// ---- Fonts ----

namespace {

Status CheckFont(REAL emSize, INT style, Unit unit) {
    if (!std::isfinite(emSize) || !(emSize > 0)) return InvalidParameter;
    if (style < 0 || style > 15) return InvalidParameter;
    if (unit == UnitDisplay || unit < UnitWorld || unit > UnitMillimeter) return InvalidParameter;
    return Ok;
}

}  // namespace

Font::Font(const FontFamily* family, REAL emSize, INT style, Unit unit) : f_(new GpFont) {
    detail::Born(GdiplusKind::Font);
    f_->size = emSize;
    f_->style = style;
    f_->unit = unit;
    if (family == nullptr) {
        SetStatus(InvalidParameter);
        return;
    }
    f_->familyName = family->f_->name;
    if (Status s = CheckFont(emSize, style, unit); s != Ok) {
        SetStatus(s);  // draws nothing
        return;
    }
    if (family->f_->hostFamily.empty()) {
        SetStatus(FontFamilyNotFound);
        return;
    }
    f_->hostFamily = family->f_->hostFamily;
}

Font::Font(const WCHAR* familyName, REAL emSize, INT style, Unit unit, const FontCollection*)
    : f_(new GpFont) {
    detail::Born(GdiplusKind::Font);
    f_->size = emSize;
    f_->style = style;
    f_->unit = unit;
    if (familyName == nullptr) {
        SetStatus(InvalidParameter);
        return;
    }
    f_->familyName = familyName;
    if (Status s = CheckFont(emSize, style, unit); s != Ok) {
        SetStatus(s);
        return;
    }
    f_->hostFamily = HostFamilyOf(f_->familyName);
    if (f_->hostFamily.empty()) SetStatus(FontFamilyNotFound);
}

Font::~Font() {
    delete f_;
    detail::Died(GdiplusKind::Font);
}

Font* Font::Clone() const {
    auto* c = new Font(static_cast<const WCHAR*>(L""), 1);
    c->GetLastStatus();
    *c->f_ = *f_;
    return c;
}

BOOL Font::IsAvailable() const {
    return !f_->hostFamily.empty();
}

Status Font::GetFamily(FontFamily* family) const {
    if (family == nullptr) return SetStatus(InvalidParameter);
    family->f_->name = f_->familyName;
    family->f_->hostFamily = f_->hostFamily;
    return f_->hostFamily.empty() ? SetStatus(FontFamilyNotFound) : Ok;
}

REAL Font::GetSize() const {
    return f_->size;
}
INT Font::GetStyle() const {
    return f_->style;
}
Unit Font::GetUnit() const {
    return f_->unit;
}

REAL Font::GetHeight(REAL dpi) const {
    if (f_->hostFamily.empty()) return 0;
    // Line spacing of the font at its size, for pixels of the given density.
    double px = std::min(PixelSize(f_->size, f_->unit), kMaxPixelSize) * dpi / 96.0;
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    TextLayout layout;
    LayOutText(cr, "X", f_->hostFamily, px, f_->style, DefaultFormat(), RectF(), true, &layout);
    PangoRectangle logical;
    pango_layout_get_extents(layout.layout, nullptr, &logical);
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return static_cast<REAL>(static_cast<double>(logical.height) / PANGO_SCALE);
}

REAL Font::GetHeight(const Graphics* graphics) const {
    return GetHeight(graphics != nullptr ? graphics->GetDpiY() : 96.0f);
}

// ---- String formats ----

StringFormat::StringFormat(INT formatFlags, LANGID) : s_(new GpStringFormat) {
    s_->flags = formatFlags;
    detail::Born(GdiplusKind::StringFormat);
}

StringFormat::StringFormat(const StringFormat* format) : s_(new GpStringFormat) {
    detail::Born(GdiplusKind::StringFormat);
    if (format == nullptr) {
        SetStatus(InvalidParameter);
        return;
    }
    *s_ = *format->s_;
    s_->owned = false;
}

StringFormat::~StringFormat() {
    delete s_;
    detail::Died(GdiplusKind::StringFormat);
}

const StringFormat* StringFormat::GenericDefault() {
    static StringFormat* const format = [] {
        auto* f = new StringFormat();
        f->s_->owned = true;
        detail::Died(GdiplusKind::StringFormat);
        return f;
    }();
    return format;
}

const StringFormat* StringFormat::GenericTypographic() {
    static StringFormat* const format = [] {
        auto* f = new StringFormat(StringFormatFlagsNoFitBlackBox | StringFormatFlagsLineLimit |
                                   StringFormatFlagsNoClip);
        f->s_->typographic = true;
        f->s_->trimming = StringTrimmingNone;
        f->s_->owned = true;
        detail::Died(GdiplusKind::StringFormat);
        return f;
    }();
    return format;
}

StringFormat* StringFormat::Clone() const {
    return new StringFormat(this);
}

Status StringFormat::SetFormatFlags(INT flags) {
    s_->flags = flags;
    return Ok;
}
INT StringFormat::GetFormatFlags() const {
    return s_->flags;
}

namespace {
// Stores an enumerated setting when it is one of its values; InvalidParameter otherwise.
template <class E>
Status SetChecked(E& field, E value, E first, E last) {
    if (value < first || value > last) return InvalidParameter;
    field = value;
    return Ok;
}
}  // namespace

Status StringFormat::SetAlignment(StringAlignment align) {
    return SetStatus(SetChecked(s_->align, align, StringAlignmentNear, StringAlignmentFar));
}
StringAlignment StringFormat::GetAlignment() const {
    return s_->align;
}

Status StringFormat::SetLineAlignment(StringAlignment align) {
    return SetStatus(SetChecked(s_->lineAlign, align, StringAlignmentNear, StringAlignmentFar));
}
StringAlignment StringFormat::GetLineAlignment() const {
    return s_->lineAlign;
}

Status StringFormat::SetTrimming(StringTrimming trimming) {
    return SetStatus(
        SetChecked(s_->trimming, trimming, StringTrimmingNone, StringTrimmingEllipsisPath));
}
StringTrimming StringFormat::GetTrimming() const {
    return s_->trimming;
}

// ---- Drawing and measuring ----

namespace {

// A call's text, font, format (the default one for none) and rectangle, or point of origin.
struct TextCall {
    TextCall(const WCHAR* string, INT length, const GpFont* font, const GpStringFormat* format,
             RectF rect, bool fromPoint)
        : string(string),
          length(length),
          font(font),
          format(format != nullptr ? format : &DefaultFormat()),
          rect(rect),
          fromPoint(fromPoint) {}
    // The text laid out on cr (the call checked).
    void LayOut(cairo_t* cr, TextLayout* layout) const {
        LayOutText(cr, detail::Utf8(string, length), font->hostFamily,
                   PixelSize(font->size, font->unit), font->style, *format, rect, fromPoint,
                   layout);
    }

    const WCHAR* string;
    INT length;
    const GpFont* font;
    const GpStringFormat* format;
    RectF rect;
    bool fromPoint;
};

void LogText(const GpGraphics* g, const void* self, const wchar_t* name, Status status,
             const TextCall& t, ARGB color) {
    if (!detail::LogOn()) return;
    auto c = g->LogEntry(self, name, status);
    if (t.string != nullptr) {
        c.text = t.length < 0 ? std::wstring(t.string)
                              : std::wstring(t.string, static_cast<std::size_t>(t.length));
    }
    c.rect = t.rect;
    if (t.font != nullptr) {
        c.family = t.font->familyName;
        c.emSize = t.font->size;
        c.fontStyle = t.font->style;
    }
    c.alignment = t.format->align;
    c.lineAlignment = t.format->lineAlign;
    c.formatFlags = t.format->flags;
    c.color = color;
    detail::Log(std::move(c));
}

bool Finite(const RectF& r) {
    return std::isfinite(r.X) && std::isfinite(r.Y) && std::isfinite(r.Width) &&
           std::isfinite(r.Height);
}

Status CheckText(const TextCall& t) {
    if (t.string == nullptr || t.font == nullptr || t.length < -1) return InvalidParameter;
    if (!Finite(t.rect)) return InvalidParameter;
    if (t.font->hostFamily.empty() || !(t.font->size > 0)) return InvalidParameter;
    return Ok;
}

Status DrawText(const GpGraphics* g_, const void* self, const TextCall& t, bool brush, ARGB color) {
    Status s = !brush ? InvalidParameter : CheckText(t);
    if (s == Ok) {
        if (cairo_t* cr = g_->Begin(true)) {
            UseHint(cr, g_->hint);
            TextLayout layout;
            t.LayOut(cr, &layout);
            if (layout.clipped) {
                cairo_rectangle(cr, layout.clip.X, layout.clip.Y, layout.clip.Width,
                                layout.clip.Height);
                cairo_clip(cr);
            }
            Color c(color);
            cairo_set_source_rgba(cr, c.GetR() / 255.0, c.GetG() / 255.0, c.GetB() / 255.0,
                                  c.GetA() / 255.0);
            cairo_move_to(cr, layout.x, layout.y);
            pango_cairo_show_layout(cr, layout.layout);
            g_->Done(cr);
        } else {
            s = InvalidParameter;
        }
    }
    LogText(g_, self, L"DrawString", s, t, color);
    return s;
}

Status MeasureText(const GpGraphics* g_, const void* self, const TextCall& t, RectF* box,
                   INT* codepoints, INT* lines) {
    Status s = box == nullptr ? InvalidParameter : CheckText(t);
    if (s == Ok) {
        cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        cairo_t* cr = cairo_create(scratch);
        UseHint(cr, g_->hint);
        TextLayout layout;
        t.LayOut(cr, &layout);
        *box = layout.box;
        if (codepoints != nullptr) *codepoints = layout.codepoints;
        if (lines != nullptr) *lines = layout.lines;
        cairo_destroy(cr);
        cairo_surface_destroy(scratch);
    }
    LogText(g_, self, L"MeasureString", s, t, 0);
    return s;
}

}  // namespace

Status Graphics::DrawString(const WCHAR* string, INT length, const Font* font,
                            const RectF& layoutRect, const StringFormat* format,
                            const Brush* brush) {
    API_TRACE(Gdi, DrawString, string, length, font, layoutRect, format, brush);
    const TextCall t(string, length, font != nullptr ? font->f_ : nullptr,
                     format != nullptr ? format->s_ : nullptr, layoutRect, false);
    return SetStatus(DrawText(g_, this, t, brush != nullptr, brush != nullptr ? brush->color_ : 0));
}

Status Graphics::DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                            const Brush* brush) {
    return DrawString(string, length, font, origin, nullptr, brush);
}

Status Graphics::DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                            const StringFormat* format, const Brush* brush) {
    API_TRACE(Gdi, DrawString, string, length, font, origin, format, brush);
    const TextCall t(string, length, font != nullptr ? font->f_ : nullptr,
                     format != nullptr ? format->s_ : nullptr, RectF(origin.X, origin.Y, 0, 0),
                     true);
    return SetStatus(DrawText(g_, this, t, brush != nullptr, brush != nullptr ? brush->color_ : 0));
}

Status Graphics::MeasureString(const WCHAR* string, INT length, const Font* font,
                               const RectF& layoutRect, const StringFormat* format,
                               RectF* boundingBox, INT* codepointsFitted, INT* linesFilled) const {
    API_TRACE(Gdi, MeasureString, string, length, font, layoutRect, format, boundingBox,
              codepointsFitted, linesFilled);
    const TextCall t(string, length, font != nullptr ? font->f_ : nullptr,
                     format != nullptr ? format->s_ : nullptr, layoutRect, false);
    return SetStatus(MeasureText(g_, this, t, boundingBox, codepointsFitted, linesFilled));
}

Status Graphics::MeasureString(const WCHAR* string, INT length, const Font* font,
                               const RectF& layoutRect, RectF* boundingBox) const {
    return MeasureString(string, length, font, layoutRect, nullptr, boundingBox);
}

Status Graphics::MeasureString(const WCHAR* string, INT length, const Font* font,
                               const PointF& origin, const StringFormat* format,
                               RectF* boundingBox) const {
    const TextCall t(string, length, font != nullptr ? font->f_ : nullptr,
                     format != nullptr ? format->s_ : nullptr, RectF(origin.X, origin.Y, 0, 0),
                     true);
    return SetStatus(MeasureText(g_, this, t, boundingBox, nullptr, nullptr));
}

Status Graphics::MeasureString(const WCHAR* string, INT length, const Font* font,
                               const PointF& origin, RectF* boundingBox) const {
    return MeasureString(string, length, font, origin, nullptr, boundingBox);
}

Status Graphics::MeasureString(const WCHAR* string, INT length, const Font* font,
                               const SizeF& layoutRectSize, const StringFormat* format, SizeF* size,
                               INT* codepointsFitted, INT* linesFilled) const {
    if (size == nullptr) return SetStatus(InvalidParameter);
    RectF box;
    Status s = MeasureString(string, length, font,
                             RectF(0, 0, layoutRectSize.Width, layoutRectSize.Height), format, &box,
                             codepointsFitted, linesFilled);
    if (s == Ok) *size = SizeF(box.Width, box.Height);
    return s;
}

}  // namespace Gdiplus
