// The machine server's core driven without sockets (tests/server): clients are numbers, frames
// go in and out as bytes.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <winbase.h>
#include "machine/server/core.h"
#include "machine/wire.h"

using sim::wire::Kind;
using sim::wire::Writer;

// Starts nothing but says it did, with host ids from 500 on.
struct CountingSpawner : sim::server::Spawner {
    int next = 500;
    std::vector<sim::server::SpawnSpec> specs;
    std::vector<int> killed;
    int Spawn(const sim::server::SpawnSpec& spec) override {
        specs.push_back(spec);
        return next++;
    }
    void Kill(int hostPid) override { killed.push_back(hostPid); }
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
    // The clock readings the server has sent the client so far.
    std::vector<std::uint64_t> Times(sim::server::ClientId c) {
        Answer(c, 0);
        return times_[c];
    }
    std::uint32_t LastWaitResult() {
        std::uint32_t result = WAIT_FAILED;
        sim::wire::Reader(lastBody_).U32(result);
        return result;
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

    // The pid, host pid and handle of a started App.
    struct Started {
        std::uint32_t pid = 0, hostPid = 0, handle = 0;
    };
    std::optional<Started> Spawn(sim::server::ClientId c, const std::wstring& commandLine) {
        Writer w;
        w.Text(L"C:\\Program Files\\Modem\\App.exe").Text(commandLine).Text(L"user");
        w.Text(L"winsta0\\default").U16(1).U8(1).Text(L"");
        if (Request(c, Kind::Spawn, w) != 0u) return std::nullopt;
        Started s;
        sim::wire::Reader r(lastBody_);
        r.U32(s.pid);
        r.U32(s.hostPid);
        r.U32(s.handle);
        return s;
    }
    // A program client that says hello as the process the server started.
    sim::server::ClientId Joined(const Started& s) {
        auto c = core_.Connect();
        Writer w;
        w.U16(1).U32(s.hostPid).U32(s.pid).Text(L"App.exe");
        EXPECT_EQ(Request(c, Kind::Hello, w), 0u);
        return c;
    }

    CountingSpawner spawner_;
    sim::server::Core core_{"/machine", spawner_};
    std::uint32_t nextId_ = 0;
    std::map<sim::server::ClientId, std::string> pending_;
    std::map<sim::server::ClientId, std::vector<std::uint64_t>> times_;
    std::map<sim::server::ClientId, std::vector<sim::wire::Frame>> late_;
    std::string lastBody_;
};
