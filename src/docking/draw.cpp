#include "docking/draw.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>

#include "docking/docking.h"
#include "docking/layout.h"
#include "docking/messages.h"
#include "docking/ui_guard.h"

namespace System::Docking {

namespace {

// Built on first use by whichever thread comes first; read-only afterwards.
const std::map<std::wstring, Gdiplus::DashStyle>& DashStyleTable() {
    static const std::map<std::wstring, Gdiplus::DashStyle> table = {
        {L"solid", Gdiplus::DashStyleSolid},
        {L"dash", Gdiplus::DashStyleDash},
        {L"dot", Gdiplus::DashStyleDot},
        {L"dashdot", Gdiplus::DashStyleDashDot},
        {L"dashdotdot", Gdiplus::DashStyleDashDotDot},
        {L"custom", Gdiplus::DashStyleCustom},
    };
    return table;
}

// Skins spell three of these keywords this way; they are kept as skins write them.
constexpr std::pair<const wchar_t*, int> kFormatFlags[] = {
    {L"right-to-left", 0x0001},    {L"vertical", 0x0002},
    {L"no-fit-blackbox", 0x0004},  {L"dislay-format-control", 0x0020},
    {L"no-font-fallback", 0x0400}, {L"mesaure-trailing-spaces", 0x0800},
    {L"no-wrap", 0x1000},          {L"line-limit", 0x2000},
    {L"no-clip", 0x4000},
};
// Tested in this order; the first found wins.
constexpr std::pair<const wchar_t*, int> kHints[] = {
    {L"pixel-grip-fit", 1},      {L"pixel", 2}, {L"alias-grid-fit", 3}, {L"alias", 4},
    {L"clear-type-grid-fit", 5},
};

// The hints when the option text names none: the bitmap path and the direct path.
constexpr int kBitmapPathHint = 1;
constexpr int kDirectPathHint = 5;

bool Named(const std::wstring& wrapped, const wchar_t* keyword) {
    // keyword + "|" anywhere in the text + "|"
    return wrapped.find(std::wstring(keyword) + L"|") != std::wstring::npos;
}

bool Empty(const Gdiplus::Rect& r) {
    return r.Width <= 0 || r.Height <= 0;
}

// The generic sans-serif family: the drawing library owns it; obtained once by whichever render
// thread needs it first, never freed here.
const Gdiplus::FontFamily* GenericFamily() {
    static const Gdiplus::FontFamily* const family = Gdiplus::FontFamily::GenericSansSerif();
    return family;
}

// What the text painters share for one cell.
struct TextJob {
    const std::wstring& text;
    Gdiplus::Rect box;      // the layout rectangle
    Gdiplus::Rect clipped;  // where it meets the clip
    Gdiplus::Graphics* graphics;
    const Gdiplus::Font* font;
    const Gdiplus::FontFamily* family;
    const Gdiplus::StringFormat* format;
    float size;
    int style;
    int hint;  // 0: the path's default
};

void DrawTextPlain(const TextJob& job, const Gdiplus::Brush& brush, const Gdiplus::Rect& at) {
    job.graphics->SetTextRenderingHint(
        static_cast<Gdiplus::TextRenderingHint>(job.hint != 0 ? job.hint : kDirectPathHint));
    const Gdiplus::RectF layout(static_cast<float>(at.X), static_cast<float>(at.Y),
                                static_cast<float>(at.Width), static_cast<float>(at.Height));
    job.graphics->DrawString(job.text.c_str(), static_cast<INT>(job.text.size()), job.font, layout,
                             job.format, &brush);
}

// Regular, italic, underline or strikeout alone go through a bitmap of the visible part of the
// box (the same pixels as a bitmap of the whole box, however large the box); everything else is
// drawn directly.
void DrawTextNormal(const TextJob& job, const Gdiplus::Brush& brush, const Gdiplus::Rect& at) {
    if (job.style != 0 && job.style != 2 && job.style != 4 && job.style != 8) {
        DrawTextPlain(job, brush, at);
        return;
    }
    const Gdiplus::Rect visible = Intersect(at, job.clipped);
    if (Empty(visible)) return;
    Gdiplus::Bitmap bitmap(visible.Width, visible.Height, Gdiplus::PixelFormat32bppARGB);
    {
        Gdiplus::Graphics inner(&bitmap);
        inner.SetTextRenderingHint(
            static_cast<Gdiplus::TextRenderingHint>(job.hint != 0 ? job.hint : kBitmapPathHint));
        inner.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        const Gdiplus::RectF layout(static_cast<float>(at.X - visible.X),
                                    static_cast<float>(at.Y - visible.Y),
                                    static_cast<float>(at.Width), static_cast<float>(at.Height));
        inner.DrawString(job.text.c_str(), static_cast<INT>(job.text.size()), job.font, layout,
                         job.format, &brush);
    }
    job.graphics->DrawImage(&bitmap, visible.X, visible.Y);
}

// A white outline of the glyphs, at the text's own size and place, and the text over it. The
// graphics' world transform is not touched, so the text and later drawing keep their size.
void DrawTextHalo(const TextJob& job, const Gdiplus::Brush& brush) {
    Gdiplus::GraphicsPath path;
    const Gdiplus::RectF layout(static_cast<float>(job.box.X), static_cast<float>(job.box.Y),
                                static_cast<float>(job.box.Width),
                                static_cast<float>(job.box.Height));
    // The font's size is in points at 96 pixels per inch; the outline's em size is in pixels.
    path.AddString(job.text.c_str(), static_cast<INT>(job.text.size()), job.family, job.style,
                   job.size * 96.0f / 72.0f, layout, job.format);
    Gdiplus::Pen pen(Gdiplus::Color(0xFFFFFFFF), 2.0f);
    job.graphics->DrawPath(&pen, &path);
    DrawTextNormal(job, brush, job.box);
}

}  // namespace

Gdiplus::DashStyle DashStyleOf(const std::wstring& keyword) {
    const auto& table = DashStyleTable();
    auto it = table.find(keyword);
    return it == table.end() ? Gdiplus::DashStyleSolid : it->second;
}

TextOptions ParseTextOptions(const std::wstring& optionText) {
    TextOptions options;
    if (optionText.empty()) return options;
    const std::wstring wrapped = L"|" + optionText + L"|";
    for (const auto& [keyword, flag] : kFormatFlags)
        if (Named(wrapped, keyword)) options.formatFlags |= flag;
    for (const auto& [keyword, hint] : kHints)
        if (Named(wrapped, keyword)) {
            options.hint = hint;
            break;
        }
    return options;
}

void PaintCellBorder(const Gdiplus::Rect& clip, const Gdiplus::Rect& box,
                     const BorderFields& border, int radius, Gdiplus::Graphics* graphics) {
    if (graphics == nullptr || Empty(clip)) return;
    Gdiplus::Pen pen(Gdiplus::Color(border.color), static_cast<float>(border.width));
    pen.SetDashStyle(DashStyleOf(border.style));
    // Skin numbers reach the int range: every sum in 64 bits, every coordinate clamped.
    using i64 = std::int64_t;
    graphics->SetClip(ClampedRect(clip.X, clip.Y, i64{clip.Width} + 1, i64{clip.Height} + 1),
                      Gdiplus::CombineModeReplace);
    const i64 x = box.X, y = box.Y, w = box.Width, h = box.Height;
    const INT left = box.X, top = box.Y;
    if (radius < 1) {
        const i64 right = std::min(x + w, i64{clip.X} + clip.Width);
        const i64 bottom = std::min(y + h, i64{clip.Y} + clip.Height);
        const INT r = ClampToInt(right), b = ClampToInt(bottom);
        graphics->DrawLine(&pen, left, top, r, top);
        if (right == x + w) graphics->DrawLine(&pen, r, top, r, b);
        if (bottom == y + h) graphics->DrawLine(&pen, left, b, r, b);
        graphics->DrawLine(&pen, left, b, left, top);
    } else {
        const i64 ew = w * radius / 90;
        const i64 eh = h * radius / 90;
        Gdiplus::GraphicsPath path;
        // A corner of no width or height is the box's corner point: joined to its neighbours by
        // lines, so that every side is drawn.
        auto corner = [&](i64 ex, i64 ey, float start, i64 px, i64 py) {
            if (ew > 0 && eh > 0)
                path.AddArc(ClampToInt(ex), ClampToInt(ey), ClampToInt(ew), ClampToInt(eh), start,
                            90.0f);
            else
                path.AddLine(ClampToInt(px), ClampToInt(py), ClampToInt(px), ClampToInt(py));
        };
        corner(x + w - ew, y, 270.0f, x + w, y);
        corner(x + w - ew, y + h - eh, 0.0f, x + w, y + h);
        corner(x, y + h - eh, 90.0f, x, y + h);
        corner(x, y, 180.0f, x, y);
        path.AddLine(ClampToInt(x + ew), top, ClampToInt(x + w - ew / 2), top);
        graphics->DrawPath(&pen, &path);
    }
    graphics->ResetClip();
}

void PaintCellText(const std::wstring& text, const FontFields& font, const BoxFields& padding,
                   Gdiplus::Graphics* graphics, const Gdiplus::Rect& clip,
                   const Gdiplus::Rect& box) {
    if (graphics == nullptr) return;
    const Gdiplus::Rect textBox = InsetRect(box, padding);
    if (Empty(textBox)) return;
    const Gdiplus::Rect clipped = Intersect(textBox, clip);
    if (Empty(clipped)) return;

    // The first family of the face list that exists; the ones made for names that do not exist
    // go when this paint ends.
    std::unique_ptr<Gdiplus::FontFamily> own;
    const std::wstring faces = font.family + L"|";
    for (size_t start = 0, bar; (bar = faces.find(L'|', start)) != std::wstring::npos;
         start = bar + 1) {
        if (bar == start) continue;
        auto candidate =
            std::make_unique<Gdiplus::FontFamily>(faces.substr(start, bar - start).c_str());
        if (candidate->IsAvailable()) {
            own = std::move(candidate);
            break;
        }
    }
    const Gdiplus::FontFamily* family = own ? own.get() : GenericFamily();
    const float size = static_cast<float>(font.size);
    Gdiplus::Font gdiFont(family, size, font.weight, Gdiplus::UnitPoint);

    Gdiplus::StringFormat format(0, LANG_NEUTRAL);
    format.SetAlignment(static_cast<Gdiplus::StringAlignment>(font.align));
    format.SetLineAlignment(static_cast<Gdiplus::StringAlignment>(font.valign));
    const TextOptions options = ParseTextOptions(font.flag);
    if (!font.flag.empty()) format.SetFormatFlags(options.formatFlags);

    Gdiplus::SolidBrush brush{Gdiplus::Color(font.color)};
    const TextJob job{text,   textBox, clipped, graphics,    &gdiFont,
                      family, &format, size,    font.weight, options.hint};

    graphics->SetClip(clipped, Gdiplus::CombineModeReplace);
    const std::wstring effects = L"|" + font.style + L"|";
    // The halo ends with the text drawn; the normal (or engraved) text follows it.
    if (effects.find(L"|halo|") != std::wstring::npos) DrawTextHalo(job, brush);
    if (effects.find(L"|grave|") != std::wstring::npos) {
        Gdiplus::SolidBrush white{Gdiplus::Color(0xFFFFFFFF)};
        DrawTextNormal(job, white, {textBox.X + 1, textBox.Y + 1, textBox.Width, textBox.Height});
    }
    DrawTextNormal(job, brush, textBox);
    graphics->ResetClip();
}

namespace {

POINT ClientOrigin(HWND window) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return origin;
}

// The window's screen rectangle in the host window's client coordinates.
RECT ScreenToHostClient(HWND window, HWND host) {
    RECT r{};
    GetWindowRect(window, &r);
    const POINT origin = ClientOrigin(host);
    return {r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y};
}

void ExcludeWindowClip(const RenderContext& context, HWND window) {
    if (context.region == nullptr || !IsWindowVisible(window)) return;
    RECT cut = ScreenToHostClient(window, context.window);
    if (const HWND parent = GetParent(window); parent != nullptr) {
        const RECT within = ScreenToHostClient(parent, context.window);
        cut = {std::max(cut.left, within.left), std::max(cut.top, within.top),
               std::min(cut.right, within.right), std::min(cut.bottom, within.bottom)};
        if (cut.right <= cut.left || cut.bottom <= cut.top) return;
    }
    HRGN hole = CreateRectRgn(cut.left, cut.top, cut.right, cut.bottom);
    if (hole == nullptr) return;
    CombineRgn(context.region, context.region, hole, RGN_DIFF);
    DeleteObject(hole);
}

}  // namespace

RenderContext ClientPart(const RenderContext& context) {
    RenderContext part = context;
    part.bounds = context.client;
    part.clip = PullInToClip(context.client, context.clip);
    return part;
}

void PaintCellWindow(RenderContext& context, HWND window, const std::wstring& style) {
    RenderSend(context, window, WM_DOCKING_PAINT, reinterpret_cast<WPARAM>(&context), 0);
    if ((L"|" + style + L"|").find(L"|clip|") != std::wstring::npos)
        ExcludeWindowClip(context, window);
    auto* nested =
        reinterpret_cast<CDocking*>(RenderSend(context, window, WM_DOCKING_GETDOCKING, 0, 0));
    if (nested == nullptr || !IsWindowVisible(window)) return;
    // A docking already being rendered (a window anchored inside its own tree) is not entered
    // again: its Render returns at once.
    RenderContext part = ClientPart(context);
    nested->Render(part);
}

void PlaceCellWindow(HWND host, const RECT& target, HWND window, const std::wstring& style) {
    SendMessageW(window, WM_DOCKING_ENSUREDOCKING, 0, 0);
    const std::wstring wrapped = L"|" + style + L"|";
    RECT now{};
    if (!GetWindowRect(window, &now)) return;
    const POINT hostOrigin = ClientOrigin(host);
    now.left -= hostOrigin.x;
    now.right -= hostOrigin.x;
    now.top -= hostOrigin.y;
    now.bottom -= hostOrigin.y;
    if (now.left == target.left && now.top == target.top && now.right == target.right &&
        now.bottom == target.bottom)
        return;
    const bool sameCorner = now.left == target.left && now.top == target.top;
    const bool sameSize = now.right - now.left == target.right - target.left &&
                          now.bottom - now.top == target.bottom - target.top;
    if (wrapped.find(L"|noresize|") != std::wstring::npos && sameCorner) return;
    if (wrapped.find(L"|nomove|") != std::wstring::npos && sameSize) return;
    POINT at{target.left, target.top};
    const HWND parent = GetParent(window);
    if (parent != nullptr && parent != host) {
        const POINT parentOrigin = ClientOrigin(parent);
        at.x -= parentOrigin.x - hostOrigin.x;
        at.y -= parentOrigin.y - hostOrigin.y;
    }
    MoveWindow(window, at.x, at.y, target.right - target.left, target.bottom - target.top, FALSE);
}

}  // namespace System::Docking
