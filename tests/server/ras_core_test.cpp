// The machine server's RAS, without sockets: what the control client asks of a connection goes
// to the program that dialled it (before the control client's answer), connections are the
// reporting program's alone, a program's end takes its connections, and malformed requests fail
// only themselves.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

#include <winbase.h>
#include "machine/ras_wire.h"
#include "machine/server/core.h"

namespace {

using sim::wire::Kind;
using sim::wire::RasOp;
using sim::wire::Writer;

struct NoSpawner : sim::server::Spawner {
    int Spawn(const sim::server::SpawnSpec&) override { return 700; }
    void Kill(int) override {}
};

class RasCoreTest : public ::testing::Test {
protected:
    sim::server::ClientId Client(sim::wire::Role role) {
        auto c = core_.Connect();
        Writer w;
        w.U16(static_cast<std::uint16_t>(role)).U32(100 + c).U32(0).Text(L"App.exe");
        EXPECT_EQ(Request(c, Kind::Hello, w.Bytes()), 0u);
        return c;
    }
    // The status of the answer (its body in body_); the news every client was sent by the time
    // of the answer is kept.
    std::optional<std::uint32_t> Request(sim::server::ClientId c, Kind kind,
                                         const std::string& payload) {
        sim::wire::Frame f;
        f.kind = kind;
        f.id = ++nextId_;
        f.payload = payload;
        std::string bytes = sim::wire::Encode(f);
        core_.Receive(c, bytes.data(), bytes.size());
        std::optional<std::uint32_t> status;
        for (auto id : {1, 2, 3}) {
            std::string out = core_.TakeOutput(id);
            sim::wire::FrameBuffer in;
            in.Append(out.data(), out.size());
            while (auto got = in.Next()) {
                if (got->kind == Kind::RasNews) {
                    sim::RasNews n;
                    sim::wire::Reader r(got->payload);
                    EXPECT_TRUE(sim::wire::ReadNews(r, n) && r.AtEnd());
                    news_[id].push_back(n);
                } else if (got->kind == Kind::Reply && id == c && got->id == f.id) {
                    std::uint32_t s = 0;
                    sim::wire::Reader(got->payload).U32(s);
                    status = s;
                    body_ = got->payload.substr(4);
                }
            }
        }
        return status;
    }
    std::optional<std::uint32_t> Ras(sim::server::ClientId c, RasOp op,
                                     const Writer& fields = Writer()) {
        Writer w;
        w.U16(static_cast<std::uint16_t>(op));
        return Request(c, Kind::Ras, w.Bytes() + fields.Bytes());
    }
    // A program dials "Work": the handle the server gave.
    std::uint32_t Dial(sim::server::ClientId program) {
        sim::DialRecord d;
        d.entryName = L"Work";
        Writer w;
        sim::wire::WriteDialRecord(w, d);
        EXPECT_EQ(Ras(program, RasOp::Dial, w), 0u);
        std::uint32_t error = 0, handle = 0;
        sim::wire::Reader r(body_);
        EXPECT_TRUE(r.U32(error) && r.U32(handle));
        EXPECT_EQ(error, 0u);
        return handle;
    }
    sim::RasLine Line(std::uint32_t handle, sim::RasPhase phase) {
        sim::RasLine l;
        l.handle = reinterpret_cast<HRASCONN>(static_cast<ULONG_PTR>(handle));
        l.phase = phase;
        l.state = phase == sim::RasPhase::Connected ? RASCS_Connected : RASCS_OpenPort;
        return l;
    }
    std::optional<std::uint32_t> Report(sim::server::ClientId c, const sim::RasLine& line) {
        Writer w;
        sim::wire::WriteLine(w, line);
        return Ras(c, RasOp::Report, w);
    }
    std::vector<sim::RasLine> Lines(sim::server::ClientId c) {
        std::vector<sim::RasLine> lines;
        EXPECT_EQ(Ras(c, RasOp::Lines), 0u);
        sim::wire::Reader r(body_);
        EXPECT_TRUE(sim::wire::ReadLines(r, lines) && r.AtEnd());
        return lines;
    }
    bool Flag() {
        std::uint8_t v = 0;
        sim::wire::Reader(body_).U8(v);
        return v != 0;
    }
    void SetUp() override {
        control_ = Client(sim::wire::Role::Control);  // client 1
        first_ = Client(sim::wire::Role::Program);    // client 2
        second_ = Client(sim::wire::Role::Program);   // client 3
        RASENTRYW entry{};
        entry.dwSize = sizeof entry;
        Writer w;
        w.Text(L"").Text(L"Work");
        sim::wire::WriteEntry(w, sim::RasEntryRecord{entry, sizeof entry});
        ASSERT_EQ(Ras(first_, RasOp::SetEntry, w), 0u);
    }

    NoSpawner spawner_;
    sim::server::Core core_{"/machine", spawner_};
    std::uint32_t nextId_ = 0;
    std::string body_;
    std::map<sim::server::ClientId, std::vector<sim::RasNews>> news_;
    sim::server::ClientId control_ = 0, first_ = 0, second_ = 0;
};

TEST_F(RasCoreTest, WhatTheControlClientAsksOfTheCurrentConnectionGoesToTheProgramThatDialledIt) {
    std::uint32_t older = Dial(first_);
    std::uint32_t newer = Dial(second_);
    ASSERT_EQ(Report(first_, Line(older, sim::RasPhase::Connected)), 0u);
    ASSERT_EQ(Report(second_, Line(newer, sim::RasPhase::Connected)), 0u);

    ASSERT_EQ(Ras(control_, RasOp::SetCounters, Writer().U64(7).U64(9)), 0u);
    EXPECT_TRUE(Flag());
    ASSERT_EQ(Ras(control_, RasOp::DropLine, Writer().U32(619)), 0u);
    EXPECT_TRUE(Flag());
    EXPECT_TRUE(news_[first_].empty());
    ASSERT_EQ(news_[second_].size(), 2u);
    EXPECT_EQ(news_[second_][0].kind, sim::RasNews::Kind::Counters);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(news_[second_][0].handle), newer);
    EXPECT_EQ(news_[second_][0].a, 7u);
    EXPECT_EQ(news_[second_][0].b, 9u);
    EXPECT_EQ(news_[second_][1].kind, sim::RasNews::Kind::Drop);
    EXPECT_EQ(news_[second_][1].a, 619u);

    // Rates are for every program's lines.
    ASSERT_EQ(Ras(control_, RasOp::SetTrafficRates, Writer().U64(100).U64(200)), 0u);
    EXPECT_EQ(news_[first_].size(), 1u);
    EXPECT_EQ(news_[second_].size(), 3u);
    EXPECT_TRUE(news_[control_].empty());
}

TEST_F(RasCoreTest, AConnectionIsItsProgramsAloneAndGoesWithItsProgram) {
    std::uint32_t handle = Dial(first_);
    // Another program cannot report it, nor end it.
    EXPECT_EQ(Report(second_, Line(handle, sim::RasPhase::Connected)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Report(second_, Line(handle, sim::RasPhase::Gone)), ERROR_INVALID_HANDLE);
    auto lines = Lines(second_);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].phase, sim::RasPhase::Dialling);
    EXPECT_EQ(lines[0].entryName, L"Work");

    core_.Disconnect(first_);
    EXPECT_TRUE(Lines(second_).empty());
    ASSERT_EQ(Ras(control_, RasOp::SetCounters, Writer().U64(1).U64(1)), 0u);
    EXPECT_FALSE(Flag());
    EXPECT_TRUE(news_[second_].empty());
}

TEST_F(RasCoreTest, AScriptTheControlClientQueuedIsTheNextDialsWhoeverDials) {
    sim::DialScript script = sim::DialScript::FailSync(633, false);
    Writer w;
    sim::wire::WriteScript(w, script);
    ASSERT_EQ(Ras(control_, RasOp::ScriptNextDial, w), 0u);
    sim::DialRecord d;
    d.entryName = L"work";
    Writer dial;
    sim::wire::WriteDialRecord(dial, d);
    ASSERT_EQ(Ras(second_, RasOp::Dial, dial), 0u);
    std::uint32_t error = 0, handle = 0;
    sim::wire::Reader r(body_);
    ASSERT_TRUE(r.U32(error) && r.U32(handle));
    EXPECT_EQ(error, 633u);
    EXPECT_EQ(handle, 0u);
    // The next one follows the default script; the journal holds both.
    EXPECT_NE(Dial(first_), 0u);
    ASSERT_EQ(Ras(control_, RasOp::Journal), 0u);
    std::uint32_t dials = 0;
    sim::wire::Reader(body_).U32(dials);
    EXPECT_EQ(dials, 2u);
}

struct BadCase {
    const char* what;
    std::string payload;  // after the operation
    RasOp op;
    std::uint32_t status;
};

Writer Steps(std::uint32_t count) {
    Writer w;
    w.U32(count);
    for (std::uint32_t i = 0; i < count; ++i) w.U32(0).U32(1);
    w.U8(0).U32(0).U32(0).U32(0).U32(0).U8(0).U32(0).U32(0);
    return w;
}

class RasBadRequestTest : public RasCoreTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(RasBadRequestTest, AMalformedRasRequestFailsAloneAndChangesNothing) {
    const BadCase& c = GetParam();
    EXPECT_EQ(Request(control_, Kind::Ras,
                      Writer().U16(static_cast<std::uint16_t>(c.op)).Bytes() + c.payload),
              c.status)
        << c.what;
    ASSERT_EQ(Ras(control_, RasOp::Journal), 0u);
    std::uint32_t dials = 1;
    sim::wire::Reader(body_).U32(dials);
    EXPECT_EQ(dials, 0u);
    EXPECT_TRUE(Lines(first_).empty());
    EXPECT_EQ(Request(control_, Kind::Ping, ""), 0u);
}

std::string Entry(std::uint32_t size, std::size_t bytes) {
    Writer w;
    w.Text(L"").Text(L"Work").U32(size).Blob(std::string(bytes, '\0'));
    return w.Bytes();
}

INSTANTIATE_TEST_SUITE_P(
    Ras, RasBadRequestTest,
    ::testing::Values(
        BadCase{"unknown operation", "", static_cast<RasOp>(99), ERROR_INVALID_FUNCTION},
        BadCase{"entry larger than the structure",
                Entry(sizeof(RASENTRYW) + 4, sizeof(RASENTRYW) + 4), RasOp::SetEntry,
                ERROR_INVALID_PARAMETER},
        BadCase{"entry size not its bytes' count", Entry(8, 4), RasOp::SetEntry,
                ERROR_INVALID_PARAMETER},
        BadCase{"entry without a name", Writer().Text(L"").Text(L"").Bytes(), RasOp::GetEntry,
                ERROR_INVALID_PARAMETER},
        BadCase{"script of too many steps", Steps(65).Bytes(), RasOp::ScriptNextDial,
                ERROR_INVALID_PARAMETER},
        BadCase{"script cut short", Steps(2).Bytes().substr(0, 13), RasOp::SetDefaultScript,
                ERROR_INVALID_PARAMETER},
        BadCase{"dial cut short", Writer().Text(L"").Text(L"Work").Bytes(), RasOp::Dial,
                ERROR_INVALID_PARAMETER},
        BadCase{"report of no handle",
                [] {
                    Writer w;
                    sim::wire::WriteLine(w, sim::RasLine{});
                    return w.Bytes();
                }(),
                RasOp::Report, ERROR_INVALID_PARAMETER},
        BadCase{"counters with one number", Writer().U64(1).Bytes(), RasOp::SetCounters,
                ERROR_INVALID_PARAMETER},
        BadCase{"journal with bytes after it", "x", RasOp::Journal, ERROR_INVALID_PARAMETER}),
    [](const ::testing::TestParamInfo<BadCase>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

}  // namespace
