// The notification area of every program on the machine server (machine/server/screen.h).
#include <algorithm>

#include <winbase.h>
#include "machine/server/screen.h"

namespace sim::server {

void ScreenDesk::TrayNote(ClientId client, std::uint32_t pid, const wire::Frame& f) {
    if (pid == 0) return;  // only a program has icons
    wire::Reader r(f.payload);
    Icon icon;
    if (!r.U64(icon.owner) || !r.U32(icon.id)) return;
    auto mine = [&](const Icon& i) {
        return i.client == client && i.owner == icon.owner && i.id == icon.id;
    };
    if (f.kind == wire::Kind::TrayIconGone) {
        if (r.AtEnd()) std::erase_if(icons_, mine);
        return;
    }
    std::uint8_t callback = 0, balloon = 0;
    if (!r.U8(callback) || !r.Text(icon.tip) || !r.U8(balloon) || !r.Text(icon.balloonTitle) ||
        !r.Text(icon.balloonText))
        return;
    // When the balloon came (machine tick) and how long it shows: given by programs that say.
    if (!r.AtEnd() && (!r.U64(icon.balloonTick) || !r.U32(icon.balloonTimeoutMs) || !r.AtEnd()))
        return;
    icon.client = client;
    icon.pid = pid;
    icon.callback = callback != 0;
    icon.balloon = balloon != 0;
    auto it = std::find_if(icons_.begin(), icons_.end(), mine);
    if (it != icons_.end())
        *it = std::move(icon);
    else
        icons_.push_back(std::move(icon));
}

void ScreenDesk::TrayRequest(ClientId client, const wire::Frame& f) {
    wire::Reader r(f.payload);
    if (f.kind == wire::Kind::TrayIcons) {
        if (!r.AtEnd()) return out_.reply(client, f.id, ERROR_INVALID_PARAMETER, {});
        wire::Writer w;
        w.U32(static_cast<std::uint32_t>(icons_.size()));
        for (const Icon& i : icons_) {
            w.U32(i.pid).U64(i.owner).U32(i.id).U8(i.callback ? 1 : 0).Text(i.tip);
            w.U8(i.balloon ? 1 : 0).Text(i.balloonTitle).Text(i.balloonText);
        }
        return out_.reply(client, f.id, 0, w.Bytes());
    }
    std::uint64_t owner = 0;
    std::uint32_t id = 0;
    std::uint8_t click = 0;
    if (!r.U64(owner) || !r.U32(id) || !r.U8(click) || !r.AtEnd() || click > 2)
        return out_.reply(client, f.id, ERROR_INVALID_PARAMETER, {});
    auto it = std::find_if(icons_.begin(), icons_.end(),
                           [&](const Icon& i) { return i.owner == owner && i.id == id; });
    // An icon whose owner asked for no callback takes no click.
    if (it == icons_.end() || !it->callback)
        return out_.reply(client, f.id, ERROR_INVALID_WINDOW_HANDLE, {});
    out_.push(it->client, wire::Kind::TrayClicked, 0, f.payload);
    out_.reply(client, f.id, 0, {});
}

}  // namespace sim::server
