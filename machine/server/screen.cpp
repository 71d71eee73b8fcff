#include "machine/server/screen.h"

#include <algorithm>
#include <utility>

#include <winbase.h>
#include "machine/screen.h"
#include "machine/shell.h"

namespace sim::server {

namespace {

bool IsMouse(wire::InputOp op) {
    return op <= wire::InputOp::DoubleClick;
}

}  // namespace

ScreenDesk::ScreenDesk(Outlet outlet, int width, int height, int taskbarHeight)
    : out_(std::move(outlet)),
      width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      taskbarHeight_(std::clamp(taskbarHeight, 0, height_)) {}

ScreenDesk::~ScreenDesk() {
    for (auto& [id, g] : gathers_) Drop(g);
}

bool ScreenDesk::Serves(wire::Kind kind) {
    auto k = static_cast<std::uint16_t>(kind);
    return k >= 0xB0 && k <= 0xBF;
}

bool ScreenDesk::IsNote(wire::Kind kind) {
    return kind == wire::Kind::LayerBand || kind == wire::Kind::LayersDone ||
           kind == wire::Kind::TrayIconSet || kind == wire::Kind::TrayIconGone;
}

void ScreenDesk::Handle(ClientId client, std::uint32_t pid, const wire::Frame& f) {
    if (f.kind == wire::Kind::TrayIconSet || f.kind == wire::Kind::TrayIconGone)
        return TrayNote(client, pid, f);
    if (f.kind == wire::Kind::TrayIcons || f.kind == wire::Kind::TrayClick)
        return TrayRequest(client, f);
    if (IsNote(f.kind)) return Note(client, f);
    Request(client, f);
}

void ScreenDesk::Drop(Gather& g) {
    for (auto& [key, layer] : g.layers)
        if (layer.picture != nullptr) cairo_surface_destroy(layer.picture);
    g.layers.clear();
}

void ScreenDesk::Request(ClientId client, const wire::Frame& f) {
    wire::Reader r(f.payload);
    auto bad = [&] { out_.reply(client, f.id, ERROR_INVALID_PARAMETER, {}); };
    Gather g;
    g.asker = client;
    g.request = f.id;
    g.kind = f.kind;
    switch (f.kind) {
        case wire::Kind::ScreenPng:
            if (!r.AtEnd()) return bad();
            return Start(std::move(g), true);
        case wire::Kind::ScreenPixel:
            if (!r.I32(g.x) || !r.I32(g.y) || !r.AtEnd()) return bad();
            return Start(std::move(g), true);
        case wire::Kind::InjectInput: {
            std::uint8_t op = 0;
            std::uint32_t key = 0;
            if (!r.U8(op) || !r.U8(g.button) || !r.I32(g.x) || !r.I32(g.y) || !r.U32(key) ||
                !r.AtEnd() || op > static_cast<std::uint8_t>(wire::InputOp::Key) || g.button > 1)
                return bad();
            g.op = static_cast<wire::InputOp>(op);
            if (IsMouse(g.op)) {
                // Clamped to the screen, as the pointer is.
                g.x = std::clamp(g.x, 0, width_ - 1);
                g.y = std::clamp(g.y, 0, height_ - 1);
            }
            wire::Writer input;  // what the program gets
            input.U8(op).U8(g.button).I32(g.x).I32(g.y).U32(key);
            g.input = input.Bytes();
            auto shown = out_.shown();
            if (!IsMouse(g.op)) {
                // Keys: the program of the front window.
                return Route(client, f.id, shown.empty() ? nullptr : &shown.front(), g.input);
            }
            if (held_) {
                // A drag stays with the program that took the press.
                auto it = std::find_if(shown.begin(), shown.end(),
                                       [&](const auto& s) { return s.client == pressed_; });
                if (g.op == wire::InputOp::Release) held_ = false;
                return Route(client, f.id, it == shown.end() ? nullptr : &*it, g.input);
            }
            return Start(std::move(g), false);
        }
        default:
            return out_.reply(client, f.id, ERROR_INVALID_FUNCTION, {});
    }
}

void ScreenDesk::Start(Gather g, bool pictures) {
    for (const auto& s : out_.shown()) g.waiting.insert(s.client);
    std::uint32_t id = nextGather_++;
    if (nextGather_ == 0) nextGather_ = 1;
    auto waiting = g.waiting;
    gathers_[id] = std::move(g);
    const Gather& started = gathers_[id];
    wire::Writer w;
    w.U8(pictures ? 1 : 0).I32(started.x).I32(started.y);
    for (ClientId c : waiting) out_.push(c, wire::Kind::LayersWanted, id, w.Bytes());
    if (waiting.empty()) Finish(id);
}

void ScreenDesk::Note(ClientId client, const wire::Frame& f) {
    wire::Reader r(f.payload);
    std::uint32_t id = 0;
    if (!r.U32(id)) return;
    auto it = gathers_.find(id);
    // Only a program asked speaks, and only until it has said it is done.
    if (it == gathers_.end() || it->second.waiting.count(client) == 0) return;
    Gather& g = it->second;
    if (f.kind == wire::Kind::LayerBand) {
        std::uint64_t hwnd = 0;
        std::uint32_t width = 0, height = 0, first = 0;
        std::string rows;
        if (!r.U64(hwnd) || !r.U32(width) || !r.U32(height) || !r.U32(first) || !r.Blob(rows) ||
            !r.AtEnd() || width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
            return;
        const std::size_t rowBytes = std::size_t{width} * 4;
        if (rows.size() % rowBytes != 0 || first >= height ||
            rows.size() / rowBytes > std::size_t{height - first})
            return;
        Layer& layer = g.layers[{client, hwnd}];
        if (layer.picture == nullptr) {
            const std::size_t size = rowBytes * height;
            if (size > kMaxGatherBytes - g.bytes) return;
            g.bytes += size;
            layer.picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width),
                                                       static_cast<int>(height));
            if (cairo_surface_status(layer.picture) != CAIRO_STATUS_SUCCESS) {
                cairo_surface_destroy(layer.picture);
                layer.picture = nullptr;
                return;
            }
        }
        // A band of another size than the window's first one is dropped.
        if (cairo_image_surface_get_width(layer.picture) != static_cast<int>(width) ||
            cairo_image_surface_get_height(layer.picture) != static_cast<int>(height))
            return;
        cairo_surface_flush(layer.picture);
        unsigned char* data = cairo_image_surface_get_data(layer.picture);
        const int stride = cairo_image_surface_get_stride(layer.picture);
        for (std::size_t row = 0; row < rows.size() / rowBytes; ++row)
            std::copy_n(rows.data() + row * rowBytes, rowBytes,
                        data + (first + row) * static_cast<std::size_t>(stride));
        cairo_surface_mark_dirty(layer.picture);
        return;
    }
    std::uint32_t count = 0;
    if (!r.U32(count)) return;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t hwnd = 0;
        std::uint8_t passes = 0;
        Layer read;
        if (!r.U64(hwnd) || !r.I32(read.left) || !r.I32(read.top) || !r.I32(read.right) ||
            !r.I32(read.bottom) || !r.U8(read.alpha) || !r.U8(passes))
            break;
        Layer& layer = g.layers[{client, hwnd}];
        layer.left = read.left;
        layer.top = read.top;
        layer.right = read.right;
        layer.bottom = read.bottom;
        layer.alpha = read.alpha;
        layer.passes = passes != 0;
        layer.listed = true;
    }
    g.waiting.erase(client);
    if (g.waiting.empty()) Finish(id);
}

void ScreenDesk::ClientGone(ClientId client) {
    if (client == pressed_) held_ = false;
    std::erase_if(icons_, [&](const Icon& i) { return i.client == client; });
    std::vector<std::uint32_t> done;
    for (auto& [id, g] : gathers_) {
        std::erase_if(g.layers, [&](auto& kv) {
            if (kv.first.first != client) return false;
            if (kv.second.picture != nullptr) cairo_surface_destroy(kv.second.picture);
            return true;
        });
        if (g.asker == client) {
            g.asker = 0;  // nobody to answer; still finished when the rest have answered
        }
        if (g.waiting.erase(client) > 0 && g.waiting.empty()) done.push_back(id);
    }
    for (std::uint32_t id : done) Finish(id);
}

cairo_surface_t* ScreenDesk::Compose(const Gather& g) {
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_);
    cairo_t* cr = cairo_create(out);
    cairo_set_source_rgb(cr, ((Screen::kDesktop >> 16) & 0xFF) / 255.0,
                         ((Screen::kDesktop >> 8) & 0xFF) / 255.0,
                         (Screen::kDesktop & 0xFF) / 255.0);
    cairo_paint(cr);
    std::vector<Screen::Layer> layers;  // topmost first
    for (const auto& s : out_.shown()) {
        auto it = g.layers.find({s.client, s.hwnd});
        if (it == g.layers.end() || !it->second.listed || it->second.picture == nullptr) continue;
        const Layer& l = it->second;
        layers.push_back(
            {nullptr, RECT{l.left, l.top, l.right, l.bottom}, l.picture, l.alpha / 255.0});
    }
    Screen::Paint(cr, layers);
    // The taskbar with every program's icons (their pictures stay with their programs) and the
    // balloon showing now.
    std::vector<TrayIcon> tray;
    for (const Icon& i : icons_) {
        TrayIcon t;
        t.owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(i.owner));
        t.id = i.id;
        t.balloonTitle = i.balloonTitle;
        t.balloonText = i.balloonText;
        t.hasBalloon = i.balloon;
        t.balloonTick = i.balloonTick;
        t.balloonTimeoutMs = i.balloonTimeoutMs;
        tray.push_back(std::move(t));
    }
    PaintTaskbar(cr, width_, height_, taskbarHeight_, tray,
                 ShownBalloon(tray, out_.now ? out_.now() : 0));
    cairo_destroy(cr);
    cairo_surface_flush(out);
    return out;
}

void ScreenDesk::Finish(std::uint32_t id) {
    auto node = gathers_.extract(id);
    if (node.empty()) return;
    Gather& g = node.mapped();
    if (g.asker != 0) {
        if (g.kind == wire::Kind::InjectInput) {
            FinishInput(g);
        } else {
            cairo_surface_t* screen = Compose(g);
            if (g.kind == wire::Kind::ScreenPng) {
                std::string png;
                bool ok = cairo_surface_write_to_png_stream(
                              screen,
                              [](void* to, const unsigned char* data, unsigned int n) {
                                  static_cast<std::string*>(to)->append(
                                      reinterpret_cast<const char*>(data), n);
                                  return CAIRO_STATUS_SUCCESS;
                              },
                              &png) == CAIRO_STATUS_SUCCESS;
                // A picture larger than one answer carries is refused.
                ok = ok && png.size() + 64 <= wire::kMaxFrame;
                out_.reply(g.asker, g.request, ok ? 0 : ERROR_INSUFFICIENT_BUFFER,
                           ok ? wire::Writer().Blob(png).Bytes() : "");
            } else {
                wire::Writer w;
                w.U32(Screen::Pixel(screen, g.x, g.y));
                out_.reply(g.asker, g.request, 0, w.Bytes());
            }
            cairo_surface_destroy(screen);
        }
    }
    Drop(g);
}

void ScreenDesk::FinishInput(Gather& g) {
    // The topmost window whose rectangle holds the point.
    for (const auto& s : out_.shown()) {
        auto it = g.layers.find({s.client, s.hwnd});
        if (it == g.layers.end() || !it->second.listed || it->second.passes) continue;
        const Layer& l = it->second;
        if (g.x < l.left || g.x >= l.right || g.y < l.top || g.y >= l.bottom) continue;
        if (g.op == wire::InputOp::Press) {
            held_ = true;
            pressed_ = s.client;
        }
        return Route(g.asker, g.request, &s, g.input);
    }
    Route(g.asker, g.request, nullptr, g.input);
}

void ScreenDesk::Route(ClientId asker, std::uint32_t request, const WindowDirectory::Shown* to,
                       const std::string& input) {
    if (to != nullptr) out_.push(to->client, wire::Kind::InputEvent, 0, input);
    wire::Writer w;
    w.U32(to != nullptr ? to->pid : 0);
    out_.reply(asker, request, 0, w.Bytes());
}

}  // namespace sim::server
