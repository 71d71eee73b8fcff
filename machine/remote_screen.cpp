#include "machine/remote_screen.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "machine/input.h"
#include "machine/machine.h"
#include "machine/remote.h"
#include "machine/screen.h"
#include "machine/shell.h"

namespace sim {

namespace {

std::uint64_t Handle(HWND h) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(h));
}

// The window's picture in bands of whole rows.
void SendPicture(ServerLink& link, std::uint32_t gather, HWND hwnd, cairo_surface_t* picture) {
    cairo_surface_t* argb = picture;
    if (cairo_image_surface_get_format(picture) != CAIRO_FORMAT_ARGB32) {
        argb =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(picture),
                                       cairo_image_surface_get_height(picture));
        cairo_t* cr = cairo_create(argb);
        cairo_set_source_surface(cr, picture, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    cairo_surface_flush(argb);
    const auto width = static_cast<std::uint32_t>(cairo_image_surface_get_width(argb));
    const auto height = static_cast<std::uint32_t>(cairo_image_surface_get_height(argb));
    const std::size_t rowBytes = std::size_t{width} * 4;
    const int stride = cairo_image_surface_get_stride(argb);
    const unsigned char* data = cairo_image_surface_get_data(argb);
    const std::uint32_t perBand = static_cast<std::uint32_t>(
        std::max<std::size_t>(1, kBandBytes / std::max<std::size_t>(rowBytes, 1)));
    for (std::uint32_t first = 0; first < height; first += perBand) {
        std::uint32_t rows = std::min(perBand, height - first);
        std::string bytes;
        bytes.reserve(rows * rowBytes);
        for (std::uint32_t row = first; row < first + rows; ++row)
            bytes.append(reinterpret_cast<const char*>(data) + std::size_t{row} * stride, rowBytes);
        wire::Writer w;
        w.U32(gather).U64(Handle(hwnd)).U32(width).U32(height).U32(first).Blob(bytes);
        PostToServer(link, wire::Kind::LayerBand, w.Bytes());
    }
    if (argb != picture) cairo_surface_destroy(argb);
}

void GiveLayers(ServerLink& link, const wire::Frame& f) {
    std::uint8_t pictures = 0;
    std::int32_t x = 0, y = 0;
    wire::Reader r(f.payload);
    r.U8(pictures);
    r.I32(x);
    r.I32(y);
    std::vector<Screen::Layer> layers = machine().screen().Layers();
    wire::Writer done;
    done.U32(f.id).U32(static_cast<std::uint32_t>(layers.size()));
    for (const Screen::Layer& l : layers) {
        if (pictures != 0 && l.picture != nullptr) SendPicture(link, f.id, l.hwnd, l.picture);
        done.U64(Handle(l.hwnd)).I32(l.rect.left).I32(l.rect.top).I32(l.rect.right);
        done.I32(l.rect.bottom)
            .U8(static_cast<std::uint8_t>(std::clamp(l.alpha, 0.0, 1.0) * 255 + 0.5));
        done.U8(machine().screen().PassesClicks(l.hwnd, POINT{x, y}) ? 1 : 0);
        if (l.picture != nullptr) cairo_surface_destroy(l.picture);
    }
    PostToServer(link, wire::Kind::LayersDone, done.Bytes());
}

// Tells the server what becomes of the program's icons.
class Tray : public SharedTray {
public:
    explicit Tray(ServerLink& link) : link_(link) {}
    void Set(const TrayIcon& icon) override {
        wire::Writer w;
        w.U64(Handle(icon.owner)).U32(icon.id).U8(icon.callbackMessage != 0 ? 1 : 0).Text(icon.tip);
        w.U8(icon.hasBalloon ? 1 : 0).Text(icon.balloonTitle).Text(icon.balloonText);
        w.U64(icon.balloonTick).U32(icon.balloonTimeoutMs);
        PostToServer(link_, wire::Kind::TrayIconSet, w.Bytes());
    }
    void Removed(HWND owner, UINT id) override {
        wire::Writer w;
        w.U64(Handle(owner)).U32(id);
        PostToServer(link_, wire::Kind::TrayIconGone, w.Bytes());
    }

private:
    ServerLink& link_;
};

void ClickIcon(const wire::Frame& f) {
    wire::Reader r(f.payload);
    std::uint64_t owner = 0;
    std::uint32_t id = 0;
    std::uint8_t click = 0;
    if (!r.U64(owner) || !r.U32(id) || !r.U8(click) || click > 2) return;
    machine().shell().Click(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(owner)), id,
                            static_cast<TrayClick>(click));
}

void TakeInput(const wire::Frame& f) {
    wire::Reader r(f.payload);
    std::uint8_t op = 0, button = 0;
    std::int32_t x = 0, y = 0;
    std::uint32_t key = 0;
    if (!r.U8(op) || !r.U8(button) || !r.I32(x) || !r.I32(y) || !r.U32(key)) return;
    const POINT at{x, y};
    const auto b = button == 0 ? input::MouseButton::Left : input::MouseButton::Right;
    switch (static_cast<wire::InputOp>(op)) {
        case wire::InputOp::Move:
            input::MoveMouse(at);
            return;
        case wire::InputOp::Press:
            input::MoveMouse(at);
            input::PressMouse(b);
            return;
        case wire::InputOp::Release:
            input::MoveMouse(at);
            input::ReleaseMouse(b);
            return;
        case wire::InputOp::Click:
            input::Click(at, b);
            return;
        case wire::InputOp::DoubleClick:
            input::DoubleClick(at);
            return;
        case wire::InputOp::KeyDown:
            input::KeyDown(key);
            return;
        case wire::InputOp::KeyUp:
            input::KeyUp(key);
            return;
        case wire::InputOp::Key:
            input::PressKey(key);
            return;
    }
}

}  // namespace

void ShareTray(ServerLink& link) {
    static Tray* tray = nullptr;  // lives as long as the process
    if (tray == nullptr) tray = new Tray(link);
    machine().shell().Share(tray);
}

void HandleScreenPush(ServerLink& link, const wire::Frame& f) {
    if (f.kind == wire::Kind::LayersWanted) return GiveLayers(link, f);
    if (f.kind == wire::Kind::InputEvent) return TakeInput(f);
    if (f.kind == wire::Kind::TrayClicked) ClickIcon(f);
}

}  // namespace sim
