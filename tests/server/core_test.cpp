// The machine server's answers to requests, without sockets: clients are numbers and frames go
// in and out as bytes.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include <winbase.h>
#include "machine/server/core.h"
#include "machine/wire.h"

namespace {

using sim::wire::Kind;
using sim::wire::Writer;

// Starts nothing (the tests here need no host processes).
struct NoSpawner : sim::server::Spawner {
    int Spawn(const sim::server::SpawnSpec&) override { return -1; }
    void Kill(int) override {}
};

class CoreTest : public ::testing::Test {
protected:
    sim::server::ClientId Client(sim::wire::Role role = sim::wire::Role::Program) {
        auto c = core_.Connect();
        Writer w;
        w.U16(static_cast<std::uint16_t>(role)).U32(100 + c).U32(0).Text(L"App.exe");
        EXPECT_EQ(Request(c, Kind::Hello, w), 0u);
        return c;
    }
    // Sends a request; the status of its answer, or nullopt when it has none (yet).
    std::optional<std::uint32_t> Request(sim::server::ClientId c, Kind kind, const Writer& w,
                                         std::uint16_t version = sim::wire::kVersion) {
        sim::wire::Frame f;
        f.version = version;
        f.kind = kind;
        f.id = ++nextId_;
        f.payload = w.Bytes();
        std::string bytes = sim::wire::Encode(f);
        core_.Receive(c, bytes.data(), bytes.size());
        return Answer(c, f.id);
    }
    // The status of the answer to request `id` among what the server sent the client; the
    // answer's body goes to lastBody_, the clock readings it sent to times_.
    std::optional<std::uint32_t> Answer(sim::server::ClientId c, std::uint32_t id) {
        std::string out = core_.TakeOutput(c);
        pending_[c] += out;
        sim::wire::FrameBuffer in;
        in.Append(pending_[c].data(), pending_[c].size());
        pending_[c].clear();
        std::optional<std::uint32_t> status;
        while (auto f = in.Next()) {
            if (f->kind == Kind::Time) {
                std::uint64_t now = 0;
                sim::wire::Reader(f->payload).U64(now);
                times_[c].push_back(now);
            } else if (f->id == id) {
                sim::wire::Reader r(f->payload);
                std::uint32_t s = 0;
                r.U32(s);
                status = s;
                lastBody_ = f->payload.substr(4);
            } else {
                late_[c].push_back(*f);
            }
        }
        return status;
    }
    std::uint32_t Handle() {
        std::uint32_t h = 0;
        sim::wire::Reader(lastBody_).U32(h);
        return h;
    }
    std::uint32_t WaitResult(const sim::wire::Frame& f) {
        sim::wire::Reader r(f.payload);
        std::uint32_t status = 1, result = 0;
        r.U32(status);
        r.U32(result);
        return status == 0 ? result : WAIT_FAILED;
    }
    Writer Named(sim::wire::ObjectKind kind, const std::wstring& name, std::int32_t a,
                 std::int32_t b) {
        Writer w;
        w.U16(static_cast<std::uint16_t>(kind)).Text(name).U32(0x104).I32(a).I32(b);
        return w;
    }
    Writer WaitOn(std::uint32_t handle, std::uint64_t deadline) {
        Writer w;
        w.U32(0x104).U8(0).U64(deadline).U32(1).U32(handle);
        return w;
    }
    void Idle(sim::server::ClientId c, std::uint64_t seen, std::uint64_t deadline) {
        sim::wire::Frame f;
        f.kind = Kind::Idle;
        Writer w;
        w.U64(seen).U64(deadline);
        f.payload = w.Bytes();
        std::string bytes = sim::wire::Encode(f);
        core_.Receive(c, bytes.data(), bytes.size());
        Answer(c, 0);
    }

    NoSpawner spawner_;
    sim::server::Core core_{"/nonexistent", spawner_};
    std::uint32_t nextId_ = 0;
    std::map<sim::server::ClientId, std::string> pending_;
    std::map<sim::server::ClientId, std::vector<std::uint64_t>> times_;
    std::map<sim::server::ClientId, std::vector<sim::wire::Frame>> late_;
    std::string lastBody_;
};

TEST_F(CoreTest, AClientKilledOwningAMutexLeavesItAbandonedForTheNextWaiter) {
    auto owner = Client();
    auto waiter = Client();
    ASSERT_EQ(Request(owner, Kind::CreateNamed, Named(sim::wire::ObjectKind::Mutex, L"M", 1, 0)),
              0u);
    ASSERT_EQ(Request(waiter, Kind::CreateNamed, Named(sim::wire::ObjectKind::Mutex, L"M", 0, 0)),
              static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Request(waiter, Kind::Wait, WaitOn(Handle(), sim::wire::kNever)), std::nullopt);
    core_.Disconnect(owner);
    Answer(waiter, 0);
    ASSERT_EQ(late_[waiter].size(), 1u);
    EXPECT_EQ(WaitResult(late_[waiter][0]), WAIT_ABANDONED);
}

}  // namespace
