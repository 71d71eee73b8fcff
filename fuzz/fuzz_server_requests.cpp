// The machine server's request decoder and dispatcher fed arbitrary bytes from up to three
// clients, in pieces whose sizes and owners the input chooses, with clients leaving and host
// processes ending in between. The server must never crash, and everything it sends must be
// whole frames of its own kinds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "machine/server/core.h"
#include "machine/wire.h"

namespace {

struct NoSpawner : sim::server::Spawner {
    int next = 1000;
    int Spawn(const sim::server::SpawnSpec&) override { return next++; }
    void Kill(int) override {}
};

void CheckOutput(sim::server::Core& core, sim::server::ClientId c) {
    std::string out = core.TakeOutput(c);
    sim::wire::FrameBuffer in;
    in.Append(out.data(), out.size());
    while (auto f = in.Next()) {
        const auto kind = static_cast<std::uint16_t>(f->kind);
        const bool windowPush = kind >= 0x160 && kind <= 0x17F;  // messages for a window
        const bool screenPush = kind >= 0x1B0 && kind <= 0x1BF;  // the screen, input, the tray
        if (f->kind != sim::wire::Kind::Reply && f->kind != sim::wire::Kind::Time &&
            f->kind != sim::wire::Kind::DeviceTree && f->kind != sim::wire::Kind::ScControlPush &&
            f->kind != sim::wire::Kind::RasNews && !windowPush && !screenPush)
            __builtin_trap();
    }
    if (in.Broken() || in.Partial()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const int clients = 1 + data[1] % 3;
    data += 2;
    size -= 2;
    NoSpawner spawner;
    sim::server::Core core("/nonexistent", spawner);
    // A service's program, so that a start runs as far as a connected dispatcher.
    core.RegisterProgram(L"Ulvane.exe", L"/nonexistent/Ulvane");
    std::vector<sim::server::ClientId> ids;
    for (int i = 0; i < clients; ++i) ids.push_back(core.Connect());
    for (std::size_t i = 0; i < size; i += piece + 1) {
        // Each piece: a byte choosing its client (and, rarely, an event), then the bytes.
        std::uint8_t choice = data[i];
        sim::server::ClientId c = ids[choice % ids.size()];
        if (choice == 0xFE) {
            core.Disconnect(c);
            continue;
        }
        if (choice == 0xFD) {
            core.HostProcessEnded(1000 + (i % 3), 1);
            continue;
        }
        std::size_t start = i + 1;
        if (start >= size) break;
        std::size_t n = piece < size - start ? piece : size - start;
        if (!core.Receive(c, reinterpret_cast<const char*>(data + start), n)) core.Disconnect(c);
        core.Tick();
        for (auto id : ids) CheckOutput(core, id);
    }
    for (auto id : ids) core.Disconnect(id);
    return 0;
}
