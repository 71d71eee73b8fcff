#include "machine/shell.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <utility>

#include "machine/machine.h"
#include "machine/windows.h"
#include <winuser.h>

namespace sim {

namespace {

// The shell's balloons show at least this long and at most that (a time-out outside is moved
// into the range; 0 asks for the shortest).
constexpr DWORD kShortestBalloonMs = 10000;
constexpr DWORD kLongestBalloonMs = 30000;

// The taskbar's look.
constexpr int kTrayIconSide = 16;
constexpr int kTrayIconGap = 6;
constexpr int kBalloonWidth = 260;
constexpr int kBalloonPadding = 8;

void SetColor(cairo_t* cr, unsigned rgb) {
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                         (rgb & 0xFF) / 255.0);
}

// A text laid out in the balloon's width; the caller frees it.
PangoLayout* Layout(cairo_t* cr, const std::wstring& text, bool bold) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font =
        pango_font_description_from_string(bold ? "Sans Bold 9" : "Sans 9");
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_width(layout, (kBalloonWidth - 2 * kBalloonPadding) * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    std::string utf8 = ToUtf8(text);
    pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
    return layout;
}

int LayoutHeight(PangoLayout* layout) {
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    return h;
}

}  // namespace

std::size_t SendToTopLevel(WindowTable& windows, UINT message, WPARAM wParam, LPARAM lParam,
                           std::shared_ptr<const void> payload) {
    std::size_t sentTo = 0;
    for (HWND h : windows.TopLevel()) {
        auto w = windows.Get(h);
        if (!w) continue;
        auto sent = std::make_shared<SentMessage>();
        sent->hwnd = h;
        sent->message = message;
        sent->wParam = wParam;
        sent->lParam = lParam;
        sent->notify = true;
        sent->payload = payload;
        if (windows.QueueSent(*w->thread, std::move(sent))) ++sentTo;
    }
    return sentTo;
}

Shell::Shell(WindowTable& windows) : windows_(windows) {}

TrayIcon* Shell::FindLocked(HWND owner, UINT id) {
    auto it = std::find_if(icons_.begin(), icons_.end(),
                           [&](const TrayIcon& i) { return i.owner == owner && i.id == id; });
    return it == icons_.end() ? nullptr : &*it;
}

bool Shell::AddIcon(const TrayIcon& icon) {
    {
        std::lock_guard<std::mutex> lk(mu_);
        if (FindLocked(icon.owner, icon.id) != nullptr) return false;
        icons_.push_back(icon);
    }
    if (shared_ != nullptr) shared_->Set(icon);
    return true;
}

bool Shell::DeleteIcon(HWND owner, UINT id) {
    {
        std::lock_guard<std::mutex> lk(mu_);
        auto before = icons_.size();
        std::erase_if(icons_, [&](const TrayIcon& i) { return i.owner == owner && i.id == id; });
        if (icons_.size() == before) return false;
    }
    if (shared_ != nullptr) shared_->Removed(owner, id);
    return true;
}

std::vector<TrayIcon> Shell::Icons() {
    std::lock_guard<std::mutex> lk(mu_);
    return icons_;
}

bool Shell::Click(HWND owner, UINT id, TrayClick click) {
    UINT message = 0;
    {
        std::lock_guard<std::mutex> lk(mu_);
        const TrayIcon* icon = FindLocked(owner, id);
        if (icon == nullptr || icon->callbackMessage == 0) return false;
        message = icon->callbackMessage;
    }
    std::vector<UINT> mouse;
    switch (click) {
        case TrayClick::Left:
            mouse = {WM_LBUTTONDOWN, WM_LBUTTONUP};
            break;
        case TrayClick::LeftDouble:
            mouse = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
            break;
        case TrayClick::Right:
            mouse = {WM_RBUTTONDOWN, WM_RBUTTONUP};
            break;
    }
    for (UINT m : mouse)
        if (!windows_.Post(owner, message, id, static_cast<LPARAM>(m))) return false;
    return true;
}

const TrayIcon* ShownBalloon(const std::vector<TrayIcon>& icons, std::uint64_t now) {
    const TrayIcon* latest = nullptr;
    for (const auto& i : icons)
        if (i.hasBalloon && (latest == nullptr || i.balloonTick >= latest->balloonTick))
            latest = &i;
    if (latest == nullptr) return nullptr;
    DWORD shows = std::clamp(latest->balloonTimeoutMs, kShortestBalloonMs, kLongestBalloonMs);
    return now >= latest->balloonTick + shows ? nullptr : latest;
}

bool Shell::ShowingBalloon(std::uint64_t now, TrayIcon* out) {
    std::lock_guard<std::mutex> lk(mu_);
    const TrayIcon* shown = ShownBalloon(icons_, now);
    if (shown == nullptr) return false;
    if (out != nullptr) *out = *shown;
    return true;
}

UINT Shell::RegisterMessage(const std::wstring& name) {
    if (name.empty()) return 0;
    std::lock_guard<std::mutex> lk(mu_);
    std::wstring key = Lower(name);
    auto it = messages_.find(key);
    if (it != messages_.end()) return it->second;
    if (nextMessage_ > 0xFFFF) return 0;
    UINT number = nextMessage_++;
    messages_.emplace(key, number);
    return number;
}

void Shell::Restart() {
    std::vector<TrayIcon> gone;
    {
        std::lock_guard<std::mutex> lk(mu_);
        gone = std::exchange(icons_, {});
    }
    if (shared_ != nullptr)
        for (const TrayIcon& icon : gone) shared_->Removed(icon.owner, icon.id);
    SendToTopLevel(windows_, RegisterMessage(L"TaskbarCreated"), 0, 0);
}

bool Shell::Suspend() {
    {
        std::lock_guard<std::mutex> lk(mu_);
        if (suspended_) return false;
        suspended_ = true;
    }
    SendToTopLevel(windows_, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    return true;
}

bool Shell::Resume() {
    {
        std::lock_guard<std::mutex> lk(mu_);
        if (!suspended_) return false;
        suspended_ = false;
    }
    SendToTopLevel(windows_, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    return true;
}

void Shell::DrawTaskbar(cairo_t* cr, int width, int height, int taskbarHeight, std::uint64_t now) {
    const std::vector<TrayIcon> icons = Icons();
    PaintTaskbar(cr, width, height, taskbarHeight, icons, ShownBalloon(icons, now));
}

void PaintTaskbar(cairo_t* cr, int width, int height, int taskbarHeight,
                  const std::vector<TrayIcon>& icons, const TrayIcon* shown) {
    if (taskbarHeight <= 0) return;
    const int top = height - taskbarHeight;
    cairo_save(cr);
    SetColor(cr, 0x245EDC);  // the bar
    cairo_rectangle(cr, 0, top, width, taskbarHeight);
    cairo_fill(cr);
    const int slots = static_cast<int>(icons.size());
    const int trayWidth = slots * (kTrayIconSide + kTrayIconGap) + kTrayIconGap;
    SetColor(cr, 0x0F8CEB);  // the notification area
    cairo_rectangle(cr, width - trayWidth, top, trayWidth, taskbarHeight);
    cairo_fill(cr);
    // The first icon added sits at the right end.
    const int iconTop = top + (taskbarHeight - kTrayIconSide) / 2;
    for (int i = 0; i < slots; ++i) {
        const int left = width - (i + 1) * (kTrayIconSide + kTrayIconGap);
        cairo_surface_t* picture = icons[static_cast<std::size_t>(i)].picture.get();
        if (picture == nullptr) continue;
        const int pw = cairo_image_surface_get_width(picture);
        const int ph = cairo_image_surface_get_height(picture);
        cairo_save(cr);
        cairo_translate(cr, left, iconTop);
        cairo_scale(cr, static_cast<double>(kTrayIconSide) / pw,
                    static_cast<double>(kTrayIconSide) / ph);
        cairo_set_source_surface(cr, picture, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        cairo_restore(cr);
    }

    if (shown != nullptr) {
        const TrayIcon& balloon = *shown;
        PangoLayout* title = Layout(cr, balloon.balloonTitle, true);
        PangoLayout* text = Layout(cr, balloon.balloonText, false);
        const int titleHeight = balloon.balloonTitle.empty() ? 0 : LayoutHeight(title) + 4;
        const int boxHeight = 2 * kBalloonPadding + titleHeight + LayoutHeight(text);
        // Above its icon, its right edge near the screen's.
        auto slot = std::find_if(icons.begin(), icons.end(), [&](const TrayIcon& i) {
            return i.owner == balloon.owner && i.id == balloon.id;
        });
        const int index = static_cast<int>(slot - icons.begin());
        const int iconMid =
            width - (index + 1) * (kTrayIconSide + kTrayIconGap) + kTrayIconSide / 2;
        const int right = std::min(width - 4, iconMid + 24);
        const int left = std::max(0, right - kBalloonWidth);
        const int boxTop = std::max(0, top - 12 - boxHeight);
        cairo_new_path(cr);
        cairo_rectangle(cr, left + 0.5, boxTop + 0.5, kBalloonWidth - 1, boxHeight - 1);
        cairo_move_to(cr, iconMid - 8, boxTop + boxHeight - 0.5);  // the pointer to the icon
        cairo_line_to(cr, iconMid, top - 2);
        cairo_line_to(cr, iconMid + 2, boxTop + boxHeight - 0.5);
        SetColor(cr, 0xFFFFE1);
        cairo_fill_preserve(cr);
        SetColor(cr, 0x000000);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_move_to(cr, left + kBalloonPadding, boxTop + kBalloonPadding);
        if (titleHeight > 0) pango_cairo_show_layout(cr, title);
        cairo_move_to(cr, left + kBalloonPadding, boxTop + kBalloonPadding + titleHeight);
        pango_cairo_show_layout(cr, text);
        g_object_unref(title);
        g_object_unref(text);
    }
    cairo_restore(cr);
}

}  // namespace sim
