// A command service over the simulated modem, in both packet byte orders, on virtual time.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>

#include "common/sim_fixture.h"
#include "dm/dm_service.h"
#include "dm_peer/dm_peer.h"

namespace dmtest {

// A query with a typed and a raw 16-bit field in its reply body. The sub-command's two bytes
// differ, so the byte order shows on the wire.
template <std::uint16_t Sub>
struct DMCmdParam_Query {
    static constexpr std::uint8_t kCategory = kCategoryDevice;
    static constexpr std::uint16_t kSubCommand = Sub;
};

struct QueryFields {
    std::uint16_t typed = 0;
    std::uint16_t raw = 0;
    bool operator==(const QueryFields&) const = default;
};

template <std::uint16_t Sub>
class QueryCmd : public CSimpleDMCmd<DMCmdParam_Query<Sub>> {
public:
    using Fields = QueryFields;
    Fields Reply() const {
        return this->WithFieldsLocked([&] { return m_fields; });
    }
    static dmpeer::CommandKey Key() { return {0x4B, kCategoryDevice, Sub}; }

protected:
    CDMCmdWithStatus::ReplyCommit ParseReply(DMPacket& reader) override {
        Fields f;
        reader.ReadU16(f.typed);
        reader.ReadBytes(&f.raw, 2);
        return [this, f] { m_fields = f; };
    }

private:
    Fields m_fields;
};

using Query = QueryCmd<0x0133>;
using OtherQuery = QueryCmd<0x0244>;

// A command whose request cannot be written.
class UnwritableCmd : public CSimpleDMCmd<DMCmdParam_Query<0x0355>> {
protected:
    void WriteParams(DMPacket&) override { throw std::bad_alloc(); }
};

// A command whose reply handling fails with something other than a packet exception.
class ThrowingReplyCmd : public CSimpleDMCmd<DMCmdParam_Query<0x0466>> {
public:
    void HandleResponse(DMPacket&, CLog&) override { throw std::runtime_error("parser failed"); }
    static dmpeer::CommandKey Key() { return {0x4B, kCategoryDevice, 0x0466}; }
};

// A command submitted and waited for on the calling thread.
struct Outcome {
    int code = 0;
    int extraWaitMs = -1;  // as set when it was queued
    QueryFields fields;
};

class EngineTest : public SimTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        peer = std::make_unique<dmpeer::Peer>(GetParam());
        // Each answer carries the number of the request it answers, in a typed and a raw field.
        for (dmpeer::CommandKey key : {Query::Key(), OtherQuery::Key()})
            peer->SetHandler(key, [this](DMPacket&, DMPacket& body) {
                const std::uint16_t n = static_cast<std::uint16_t>(++answered);
                body.WriteU16(n);
                dmpeer::AppendRaw(body, n, 2);
                return std::uint8_t{0};
            });
        peer->SetHandler(ThrowingReplyCmd::Key(),
                         [](DMPacket&, DMPacket&) { return std::uint8_t{0}; });
    }
    void TearDown() override {
        service.reset();
        peer.reset();
    }
    virtual DMEngineConfig Config() {
        DMEngineConfig c;
        c.bigEndian = GetParam();
        return c;
    }
    void StartService(std::unique_ptr<CLog> log = nullptr) {
        service = std::make_unique<CDMService>(peer->HostLink(), std::move(log), Config());
    }
    // Destroys the service when it goes: declared after a test's own parsers and sinks, it stops
    // the engine's threads before those go.
    struct ServiceStopper {
        std::unique_ptr<CDMService>& service;
        ~ServiceStopper() { service.reset(); }
    };
    [[nodiscard]] ServiceStopper StopAtScopeEnd() { return ServiceStopper{service}; }
    DMDispatcher& Dispatcher() { return service->Dispatcher(); }
    DMEngine& Engine() { return service->Engine(); }

    template <class C = Query>
    Outcome Run(DWORD timeoutMs, C* command = nullptr) {
        if (command == nullptr) command = new C;
        DMCmdHolder* holder = DMCmdHolder::Create(command);
        Outcome out;
        SubmitCommand(Dispatcher(), holder);
        out.extraWaitMs = command->ExtraWaitMs();
        out.code = command->Wait(timeoutMs, true, false);
        if constexpr (requires { command->Reply(); }) out.fields = command->Reply();
        holder->Release();
        return out;
    }

    std::unique_ptr<dmpeer::Peer> peer;
    std::unique_ptr<CDMService> service;
    std::atomic<int> answered{0};
};

inline std::string OrderName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "BigEndian" : "LittleEndian";
}

}  // namespace dmtest
