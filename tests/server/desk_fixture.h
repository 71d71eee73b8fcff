// The machine server's request core driven without sockets: clients that said hello as programs
// or control clients, requests and notes in, answers and pushes out.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <winbase.h>
#include "machine/server/core.h"
#include "machine/wire.h"

namespace desk_test {

using sim::wire::Kind;
using sim::wire::Writer;

struct NoSpawner : sim::server::Spawner {
    int Spawn(const sim::server::SpawnSpec&) override { return -1; }
    void Kill(int) override {}
};

class DeskCore : public ::testing::Test {
protected:
    sim::server::ClientId Program() { return Hello(sim::wire::Role::Program); }
    sim::server::ClientId Control() { return Hello(sim::wire::Role::Control); }

    // A request's status, or nothing when it has no answer yet; its body in body_.
    std::optional<std::uint32_t> Request(sim::server::ClientId c, Kind kind, const Writer& w) {
        std::uint32_t id = Send(c, kind, w);
        return Status(c, id);
    }
    void Note(sim::server::ClientId c, Kind kind, const Writer& w) { Send(c, kind, w); }
    std::optional<std::uint32_t> Status(sim::server::ClientId c, std::uint32_t id) {
        Collect(c);
        auto& frames = frames_[c];
        for (auto it = frames.begin(); it != frames.end(); ++it) {
            if (it->kind != Kind::Reply || it->id != id) continue;
            std::uint32_t status = 0;
            sim::wire::Reader(it->payload).U32(status);
            body_ = it->payload.substr(4);
            frames.erase(it);
            return status;
        }
        return std::nullopt;
    }
    // The frames of a kind the server pushed to the client.
    std::vector<sim::wire::Frame> Pushed(sim::server::ClientId c, Kind kind) {
        Collect(c);
        std::vector<sim::wire::Frame> out;
        for (const auto& f : frames_[c])
            if (f.kind == kind) out.push_back(f);
        return out;
    }
    void AddWindow(sim::server::ClientId c, std::uint64_t hwnd, const std::wstring& className,
                   const std::wstring& title) {
        Note(c, Kind::WindowAdded, Writer().U64(hwnd).U32(4).Text(className).Text(title).U8(0));
    }
    // FindWindow's answer (0: none).
    std::uint64_t Find(sim::server::ClientId c, const wchar_t* className, const wchar_t* title) {
        Writer w;
        w.U8(className ? 1 : 0).Text(className ? className : L"");
        w.U8(title ? 1 : 0).Text(title ? title : L"");
        EXPECT_EQ(Request(c, Kind::FindWindow, w), 0u);
        std::uint64_t found = 0;
        sim::wire::Reader(body_).U64(found);
        return found;
    }
    std::uint64_t Result() {
        std::uint64_t r = 99;
        sim::wire::Reader(body_).U64(r);
        return r;
    }
    Writer SendTo(std::uint64_t hwnd, std::uint32_t message) {
        return Writer().U64(hwnd).U32(message).U64(1).U64(2).U8(0).U64(0).Blob("");
    }

    NoSpawner spawner_;
    sim::server::Core core_{"/machine", spawner_};
    std::string body_;

    // Sends a request; its id.
    std::uint32_t Send(sim::server::ClientId c, Kind kind, const Writer& w) {
        sim::wire::Frame f;
        f.kind = kind;
        f.id = ++nextId_;
        f.payload = w.Bytes();
        std::string bytes = sim::wire::Encode(f);
        core_.Receive(c, bytes.data(), bytes.size());
        return f.id;
    }

private:
    sim::server::ClientId Hello(sim::wire::Role role) {
        auto c = core_.Connect();
        Writer w;
        w.U16(static_cast<std::uint16_t>(role)).U32(100 + c).U32(0).Text(L"Peer.exe");
        EXPECT_EQ(Request(c, Kind::Hello, w), 0u);
        return c;
    }
    void Collect(sim::server::ClientId c) {
        std::string out = core_.TakeOutput(c);
        in_[c].Append(out.data(), out.size());
        while (auto f = in_[c].Next()) frames_[c].push_back(*f);
    }
    std::uint32_t nextId_ = 0;
    std::map<sim::server::ClientId, sim::wire::FrameBuffer> in_;
    std::map<sim::server::ClientId, std::vector<sim::wire::Frame>> frames_;
};

}  // namespace desk_test
