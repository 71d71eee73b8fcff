#include "docking/groupbox_slider.h"

#include <algorithm>
#include <cstdint>

#include "docking/button.h"
#include "docking/cell.h"
#include "docking/docking.h"
#include "docking/image_cache.h"
#include "docking/image_painter.h"
#include "docking/layout.h"
#include "docking/messages.h"
#include "docking/style.h"
#include <commctrl.h>
#include <windows.h>
#include <msxml2.h>

namespace System::Docking::Skin {

namespace {

std::wstring LayoutFileOf(const CDockingCell& cell) {
    const CDocking* grid = cell.docking.Value();
    return grid == nullptr ? std::wstring() : grid->handle.layoutFile;
}

// The box less margin and padding on each side; width and height not below 0.
Gdiplus::Rect ContentBox(const Gdiplus::Rect& b, const BoxFields& margin,
                         const BoxFields& padding) {
    const std::int64_t right = std::int64_t{b.X} + b.Width;
    const std::int64_t bottom = std::int64_t{b.Y} + b.Height;
    const std::int64_t left = std::min(std::int64_t{b.X} + margin.left + padding.left, right);
    const std::int64_t top = std::min(std::int64_t{b.Y} + margin.top + padding.top, bottom);
    const std::int64_t width = right - margin.right - padding.right - left;
    const std::int64_t height = bottom - margin.bottom - padding.bottom - top;
    return ClampedRect(left, top, std::max<std::int64_t>(width, 0),
                       std::max<std::int64_t>(height, 0));
}

}  // namespace

void ParseImageSpec(const std::wstring& text, ImageSpec& look) {
    const auto pairs = ParseStyleText(text);
    if (pairs.empty() && !text.empty()) look.image = text;
    auto value = [&](const wchar_t* name) -> const std::wstring* {
        auto it = pairs.find(name);
        return it == pairs.end() ? nullptr : &it->second;
    };
    if (auto* v = value(L"image")) look.image = *v;
    if (auto* v = value(L"color")) look.color = ParseColor(*v);
    if (auto* v = value(L"style")) look.mode = *v;
    if (auto* v = value(L"x")) look.x = ReadStyleNumber(*v);
    if (auto* v = value(L"y")) look.y = ReadStyleNumber(*v);
}

void PaintImageSpec(const RenderContext& context, const std::wstring& layoutFile,
                    const ImageSpec& look, const Gdiplus::Rect& target) {
    if (look.image.empty() && look.color == kNoColor) return;
    CDockingImage* image = look.image.empty() ? nullptr : LoadDockingImage(layoutFile, look.image);
    ImagePaintJob job;
    if (image != nullptr) EnterCriticalSection(&image->Lock());
    PaintImage(look.x, context.clip, job, context.graphics, target, look.y, look.mode, look.color,
               image);
    if (image != nullptr) LeaveCriticalSection(&image->Lock());
}

Gdiplus::Rect GroupBoxTextRect(const Gdiplus::Rect& b, int r) {
    if (b.Width <= 0 || b.Height <= 0) return {};
    const std::int64_t width = std::int64_t{b.Width} - 2 * std::int64_t{r} - 8;
    if (width < 1) return {};
    return ClampedRect(std::int64_t{b.X} + r + 4, std::int64_t{b.Y} + 2, width, b.Height);
}

int SliderTrackWidth(int contentWidth, int pos, int maximum) {
    if (maximum == 0 || contentWidth <= 0) return 0;
    const std::int64_t width = std::int64_t{contentWidth} * pos / maximum;
    return static_cast<int>(std::clamp<std::int64_t>(width, 0, contentWidth));
}

// ---- CDockingGroupBox ----

void CDockingGroupBox::PreSubclassWindow() {
    CSkinnedWindow<CButton>::PreSubclassWindow();
    ::SendMessageW(m_hWnd, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
}

void CDockingGroupBox::OnSetStyle(WPARAM wParam) {
    const auto& element = *reinterpret_cast<const IXMLDOMNode*>(wParam);
    const auto text = element.getAttribute(L"groupboxborder");
    if (!text) return;
    border_.width = 1;
    border_.radius = 8;
    border_.color = 0xFF000000;
    for (const auto& [name, value] : ParseStyleText(*text)) {
        if (name == L"width")
            border_.width = ReadStyleNumber(value);
        else if (name == L"color")
            border_.color = ParseColor(value);
        else if (name == L"style")
            border_.style = value;
        else if (name == L"radius")
            border_.radius = ReadStyleNumber(value);
    }
}

void CDockingGroupBox::Paint(const RenderContext& context) {
    CDockingCell* cell = FindCellOfWindow(m_hWnd);
    Gdiplus::Graphics* g = context.graphics;
    if (cell == nullptr || g == nullptr) return;
    const Gdiplus::Rect b = cell->GetBounds();
    // A diameter beyond the box would make 2r overflow and the arcs cross; a negative one would
    // make negative arcs.
    const int r = std::clamp(border_.radius, 0, std::max(0, std::min(b.Width, b.Height)));

    // The caption, cut to its room.
    Gdiplus::RectF caption;
    const Gdiplus::Rect room = GroupBoxTextRect(b, r);
    const std::wstring text = WindowText(m_hWnd);
    if (!room.IsEmptyArea() && !text.empty()) {
        const FontFields& font = cell->font;
        Gdiplus::FontFamily family(font.family.c_str());
        Gdiplus::Font gdiFont(&family, static_cast<Gdiplus::REAL>(font.size), font.weight,
                              Gdiplus::UnitPoint);
        Gdiplus::StringFormat format(0, LANG_NEUTRAL);
        format.SetAlignment(static_cast<Gdiplus::StringAlignment>(font.align));
        format.SetLineAlignment(static_cast<Gdiplus::StringAlignment>(font.valign));
        const Gdiplus::PointF at(static_cast<Gdiplus::REAL>(room.X),
                                 static_cast<Gdiplus::REAL>(b.Y + 1));
        g->SetClip(context.clip, Gdiplus::CombineModeReplace);
        g->SetClip(room, Gdiplus::CombineModeIntersect);
        Gdiplus::RectF bound;
        g->MeasureString(text.c_str(), static_cast<INT>(text.size()), &gdiFont, at, &format,
                         &bound);
        Gdiplus::Bitmap picture(b.Width, b.Height, Gdiplus::PixelFormat32bppARGB);
        {
            Gdiplus::Graphics into(&picture);
            into.SetTextRenderingHint(Gdiplus::TextRenderingHintSingleBitPerPixelGridFit);
            into.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
            Gdiplus::SolidBrush brush{Gdiplus::Color(font.color)};
            into.DrawString(text.c_str(), static_cast<INT>(text.size()), &gdiFont,
                            Gdiplus::PointF(0, 0), &format, &brush);
        }
        g->DrawImage(&picture, room.X, b.Y + 1);
        g->ResetClip();
        caption = bound;
        caption.Width = std::min(caption.Width, static_cast<Gdiplus::REAL>(room.Width));
        caption.Height = std::min(caption.Height, static_cast<Gdiplus::REAL>(room.Height));
    }

    // The frame, with a gap where the caption is.
    const int left = b.X + 2;
    const int right = ClampToInt(std::int64_t{b.X} + b.Width - 2);
    const int top = b.Y + 6;
    const int bottom = ClampToInt(std::int64_t{b.Y} + b.Height - 2);
    Gdiplus::Pen pen(Gdiplus::Color(border_.color), 1.0f);
    g->SetClip(context.clip, Gdiplus::CombineModeReplace);
    if (caption.Width > 0 && caption.Height > 0) {
        Gdiplus::Region gap(caption);
        g->SetClip(&gap, Gdiplus::CombineModeExclude);
    }
    Gdiplus::GraphicsPath path;
    path.AddArc(right - r, top, r, r, 270.0f, 90.0f);
    path.AddArc(right - r, bottom - r, r, r, 0.0f, 90.0f);
    path.AddArc(left, bottom - r, r, r, 90.0f, 90.0f);
    path.AddArc(left, top, r, r, 180.0f, 90.0f);
    path.AddLine(left + r, top, right - r / 2, top);
    g->DrawPath(&pen, &path);
    g->ResetClip();
}

BOOL CDockingGroupBox::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    LRESULT answer = 0;
    switch (message) {
        case WM_DOCKING_SETSTYLE:
            if (wParam != 0) OnSetStyle(wParam);
            break;
        case WM_DOCKING_PAINT:
            if (wParam != 0) Paint(*reinterpret_cast<const RenderContext*>(wParam));
            break;
        case WM_NCHITTEST:
            // Owner-drawn, the box would be a button lying over its contents: the mouse goes
            // through to them.
            answer = HTTRANSPARENT;
            break;
        case WM_ERASEBKGND:
            answer = TRUE;
            break;
        default:
            return CSkinnedWindow<CButton>::OnWndMsg(message, wParam, lParam, result);
    }
    if (result != nullptr) *result = answer;
    return TRUE;
}

// ---- CDockingSlider ----

void CDockingSlider::OnSetStyle(WPARAM wParam) {
    const auto& element = *reinterpret_cast<const IXMLDOMNode*>(wParam);
    track_ = ImageSpec{};
    thumb_ = ImageSpec{};
    if (auto v = element.getAttribute(L"track")) ParseImageSpec(*v, track_);
    if (auto v = element.getAttribute(L"thumb")) ParseImageSpec(*v, thumb_);
    if (auto v = element.getAttribute(L"thumbwidth")) thumbWidth_ = ReadStyleNumber(*v);
    if (auto v = element.getAttribute(L"thumbnormal")) thumbNormal_ = *v;
    if (auto v = element.getAttribute(L"thumbhover")) thumbHover_ = *v;
    if (auto v = element.getAttribute(L"thumbactive")) thumbActive_ = *v;
}

void CDockingSlider::Paint(const RenderContext& context) {
    CDockingCell* cell = FindCellOfWindow(m_hWnd);
    if (cell == nullptr || context.graphics == nullptr) return;
    const Gdiplus::Rect b = cell->GetBounds();
    const Gdiplus::Rect k = ContentBox(b, cell->margin, cell->padding);
    const std::wstring layout = LayoutFileOf(*cell);
    const int pos = static_cast<int>(::SendMessageW(m_hWnd, TBM_GETPOS, 0, 0));
    const int max = static_cast<int>(::SendMessageW(m_hWnd, TBM_GETRANGEMAX, 0, 0));
    const Gdiplus::Rect track(k.X, k.Y, SliderTrackWidth(k.Width, pos, max), k.Height);
    if (track.Width > 0 && track.Height > 0) PaintImageSpec(context, layout, track_, track);
    if (thumbWidth_ > 0 && b.Height > 0) {
        const Gdiplus::Rect thumb = ClampedRect(
            std::int64_t{track.X} + track.Width - thumbWidth_ / 2, b.Y, thumbWidth_, b.Height);
        PaintImageSpec(context, layout, thumb_, thumb);
    }
}

void CDockingSlider::RedrawCell() {
    if (CDockingCell* cell = FindCellOfWindow(m_hWnd)) cell->Redraw();
}

BOOL CDockingSlider::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    LRESULT answer = 0;
    switch (message) {
        case WM_DOCKING_SETSTYLE:
            if (wParam != 0) OnSetStyle(wParam);
            break;
        case WM_DOCKING_PAINT:
            if (wParam != 0) Paint(*reinterpret_cast<const RenderContext*>(wParam));
            break;
        case WM_REFLECT_BASE + WM_NOTIFY: {
            const auto* draw = reinterpret_cast<const NMCUSTOMDRAW*>(lParam);
            if (draw == nullptr || draw->hdr.code != NM_CUSTOMDRAW)
                return CSkinnedWindow<CSliderCtrl>::OnWndMsg(message, wParam, lParam, result);
            if (draw->dwDrawStage == CDDS_PREPAINT) answer = CDRF_NOTIFYITEMDRAW;
            break;
        }
        case TBM_SETPOS:
        case WM_MOUSEMOVE: {
            // A drag sends WM_HSCROLL: its handler may close the dialog and delete this slider.
            const HWND window = m_hWnd;
            const CWnd* self = this;
            answer = DefWindowProc(message, wParam, lParam);
            if (StillBound(window, self)) RedrawCell();
            break;
        }
        default:
            if (PaintsNothing(m_hWnd, message, &answer)) break;
            return CSkinnedWindow<CSliderCtrl>::OnWndMsg(message, wParam, lParam, result);
    }
    if (result != nullptr) *result = answer;
    return TRUE;
}

}  // namespace System::Docking::Skin
