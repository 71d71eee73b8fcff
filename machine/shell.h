// The machine's shell: the notification area at the taskbar's right end (icons keyed by owner
// window and id, with their tips and balloons), the registered window messages, and the
// broadcasts the shell and the power manager send to every top-level window.
//
// The screen draws the taskbar over the windows (it is always on top): the tray's icons from its
// right end leftwards in the order they were added, and the latest balloon above them while it
// shows.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <windef.h>

namespace sim {

class WindowTable;

// One notification-area icon as the shell keeps it.
struct TrayIcon {
    HWND owner = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;                  // 0: the owner is not told of clicks
    std::shared_ptr<cairo_surface_t> picture;  // a copy of the icon's picture, or null
    std::wstring tip;
    // The last balloon: its text and title, when it came (machine tick) and how long it shows.
    std::wstring balloonText;
    std::wstring balloonTitle;
    bool hasBalloon = false;
    std::uint64_t balloonTick = 0;
    DWORD balloonTimeoutMs = 0;
};

// The balloon showing at tick `now` among the icons: the latest one whose time is not over.
const TrayIcon* ShownBalloon(const std::vector<TrayIcon>& icons, std::uint64_t now);
// Paints the taskbar with the icons (their pictures, when they have one) and the balloon shown
// (null: none) along the bottom of a screen of width x height.
void PaintTaskbar(cairo_t* cr, int width, int height, int taskbarHeight,
                  const std::vector<TrayIcon>& icons, const TrayIcon* shown);

// Sends the message to every top-level window that a thread owns, queued for that thread as a
// message nobody waits for (the window handles it in its thread's next message call, even when
// that thread caused the broadcast); `payload` is what lParam points into, kept alive with the
// message. Returns how many windows it went to.
std::size_t SendToTopLevel(WindowTable& windows, UINT message, WPARAM wParam, LPARAM lParam,
                           std::shared_ptr<const void> payload = nullptr);

enum class TrayClick { Left, LeftDouble, Right };

// Told of every change to the notification area's icons (a program on a machine server tells
// the server, machine/remote_screen.h), outside the shell's lock.
class SharedTray {
public:
    virtual ~SharedTray() = default;
    virtual void Set(const TrayIcon& icon) = 0;
    virtual void Removed(HWND owner, UINT id) = 0;
};

class Shell {
public:
    explicit Shell(WindowTable& windows);

    // ---- The notification area ----
    // False when an icon of that owner and id is there already.
    bool AddIcon(const TrayIcon& icon);
    // Changes the icon in place; false when there is none of that owner and id.
    template <class F>
    bool ModifyIcon(HWND owner, UINT id, F change) {
        TrayIcon changed;
        {
            std::lock_guard<std::mutex> lk(mu_);
            TrayIcon* icon = FindLocked(owner, id);
            if (icon == nullptr) return false;
            change(*icon);
            changed = *icon;
        }
        if (shared_ != nullptr) shared_->Set(changed);
        return true;
    }
    bool DeleteIcon(HWND owner, UINT id);
    // The icons in the order they were added.
    std::vector<TrayIcon> Icons();
    // Posts the click's mouse messages to the owner as callback messages (wParam the id, lParam
    // the mouse message), whether the owner shows or not: a double click is WM_LBUTTONDOWN,
    // WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP. False for an unknown icon or an owner that
    // asked for no callback.
    bool Click(HWND owner, UINT id, TrayClick click);
    // The balloon showing now (tick `now`), if any: the latest one whose time is not over.
    bool ShowingBalloon(std::uint64_t now, TrayIcon* out);

    // From now on the changes to the icons are told (set once, at a program's start).
    void Share(SharedTray* shared) { shared_ = shared; }

    // ---- Registered window messages (machine-wide) ----
    // 0xC000..0xFFFF by name (case ignored); 0 for an empty name or when the range is used up.
    UINT RegisterMessage(const std::wstring& name);

    // ---- Broadcasts ----
    // The shell starts again: its icons are gone, and every top-level window is sent the
    // registered message "TaskbarCreated".
    void Restart();
    // The power manager: suspend (false when suspended already) and resume (false when not
    // suspended), each broadcast as WM_POWERBROADCAST.
    bool Suspend();
    bool Resume();

    // Draws the taskbar with the tray (and the balloon showing at tick `now`) along the bottom
    // of a screen of width x height.
    void DrawTaskbar(cairo_t* cr, int width, int height, int taskbarHeight, std::uint64_t now);

private:
    TrayIcon* FindLocked(HWND owner, UINT id);

    WindowTable& windows_;
    std::mutex mu_;
    std::vector<TrayIcon> icons_;
    std::map<std::wstring, UINT> messages_;  // lower-case name -> number
    UINT nextMessage_ = 0xC000;
    bool suspended_ = false;
    SharedTray* shared_ = nullptr;
};

}  // namespace sim
