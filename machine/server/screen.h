// The machine server's screen and input: the picture of every program's visible top-level
// windows, and mouse and key input routed to the program it is for.
//
// The server keeps no pixels: for a picture, or to route a mouse input, it asks every program
// that shows a window for its windows (a gather: their pictures, or only their rectangles) and
// answers once each has answered or gone. The picture is the desktop colour with the windows
// painted bottom to top in the machine-wide z-order, each as its program shows it (layered
// windows with their colour key and alpha). Mouse input goes to the program whose window is the
// topmost under the point (a layered window lets a click through where it shows nothing), or, while
// a button is held, to the program that took the press; keys go to the program of the topmost
// visible window (a window brought to the front comes first in the z-order). That program's own
// machine turns the input into its window's messages.
//
// The notification area: every program tells the server of its icons (owner window, id, tip,
// balloon); a click on one goes to the owning program, whose shell posts the owner its callback
// messages. A program's icons go with it.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "machine/server/windows.h"
#include "machine/wire.h"

namespace sim::server {

class ScreenDesk {
public:
    struct Outlet {
        std::function<void(ClientId, std::uint32_t id, std::uint32_t status,
                           const std::string& body)>
            reply;
        // Sends a client a frame that may wake it.
        std::function<void(ClientId, wire::Kind, std::uint32_t id, const std::string& payload)>
            push;
        // The visible top-level windows, topmost first.
        std::function<std::vector<WindowDirectory::Shown>()> shown;
        // The machine's clock (a balloon shows for its time).
        std::function<std::uint64_t()> now;
    };
    // The screen's size in pixels.
    // taskbarHeight: the taskbar along the bottom (0: none).
    ScreenDesk(Outlet outlet, int width, int height, int taskbarHeight = 0);
    ~ScreenDesk();
    ScreenDesk(const ScreenDesk&) = delete;
    ScreenDesk& operator=(const ScreenDesk&) = delete;

    static bool Serves(wire::Kind kind);
    // A note of a program answering a gather (no reply).
    static bool IsNote(wire::Kind kind);
    // A request, or a note, from a client that said hello. A malformed request fails; a
    // malformed note is dropped (the gather goes on without that window's picture).
    void Handle(ClientId client, std::uint32_t pid, const wire::Frame& f);
    // The client has gone: gathers stop waiting for it; the mouse it held is let go; its icons
    // are removed.
    void ClientGone(ClientId client);

    // The largest picture of one window a program may hand over, and the most bytes of pictures
    // one gather keeps: a window's picture beyond them is left out of the screen.
    static constexpr std::uint32_t kMaxSide = 4096;
    static constexpr std::size_t kMaxGatherBytes = std::size_t{64} << 20;

private:
    struct Layer {
        int left = 0, top = 0, right = 0, bottom = 0;
        std::uint8_t alpha = 255;
        bool passes = false;  // a click at the gather's point goes through it
        bool listed = false;  // LayersDone named it
        cairo_surface_t* picture = nullptr;
    };
    struct Gather {
        ClientId asker = 0;
        std::uint32_t request = 0;
        wire::Kind kind = wire::Kind::ScreenPng;
        std::string input;  // InjectInput: what the program gets
        std::int32_t x = 0, y = 0;
        wire::InputOp op = wire::InputOp::Move;
        std::uint8_t button = 0;
        std::set<ClientId> waiting;
        std::map<std::pair<ClientId, std::uint64_t>, Layer> layers;
        std::size_t bytes = 0;  // of the layers' pictures
    };

    void Request(ClientId client, const wire::Frame& f);
    void Note(ClientId client, const wire::Frame& f);
    // Asks every program that shows a window; finishes at once when there is none.
    void Start(Gather g, bool pictures);
    void Finish(std::uint32_t id);
    void FinishInput(Gather& g);
    // The picture of the gather (a new reference).
    cairo_surface_t* Compose(const Gather& g);
    // Sends the input to the client's program; answers the asker with the program's pid (0 when
    // no program took it).
    void Route(ClientId asker, std::uint32_t request, const WindowDirectory::Shown* to,
               const std::string& input);
    static void Drop(Gather& g);
    // machine/server/tray.cpp
    void TrayNote(ClientId client, std::uint32_t pid, const wire::Frame& f);
    void TrayRequest(ClientId client, const wire::Frame& f);

    struct Icon {
        ClientId client = 0;
        std::uint32_t pid = 0;
        std::uint64_t owner = 0;
        std::uint32_t id = 0;
        bool callback = false;
        std::wstring tip, balloonTitle, balloonText;
        bool balloon = false;
        std::uint64_t balloonTick = 0;
        std::uint32_t balloonTimeoutMs = 0;
    };
    std::vector<Icon> icons_;  // in the order they were added

    Outlet out_;
    int width_, height_;
    int taskbarHeight_;
    std::map<std::uint32_t, Gather> gathers_;
    std::uint32_t nextGather_ = 1;
    // The program that took a button's press, until its release.
    bool held_ = false;
    ClientId pressed_ = 0;
};

}  // namespace sim::server
