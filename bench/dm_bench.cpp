// Command round trips through the command engine and the simulated modem: the caller queues a
// query, the worker sends it, the modem answers, the reader parses the answer and wakes the
// caller; over the modem's diagnostics COM port (the engine's serial link) and, beside it, over
// the in-process link pair. The floor is a bare event ping-pong between two threads measured in the
// same run.
#include <benchmark/benchmark.h>

#include <string>

#include "dm/dm_service.h"
#include "floor_ratio.h"
#include "dm_peer/dm_peer.h"
#include "ping_pong.h"
#include "machine/machine.h"
#include "machine/modem.h"

namespace {

struct DMCmdParam_BenchQuery {
    static constexpr std::uint8_t kCategory = kCategoryDevice;
    static constexpr std::uint16_t kSubCommand = 0x0133;
};

class BenchQuery : public CSimpleDMCmd<DMCmdParam_BenchQuery> {
public:
    std::uint32_t Value() const {
        return WithFieldsLocked([&] { return m_value; });
    }

protected:
    ReplyCommit ParseReply(DMPacket& reader) override {
        std::uint32_t value = 0;
        reader.ReadU32(value);
        return [this, value] { m_value = value; };
    }

private:
    std::uint32_t m_value = 0;
};

void EventPingPong(benchmark::State& state) {
    sim::Machine::Reset();
    bench::EventPingPongLoop(state);
}

// Query round trips on the service; each answer carries the next number.
void RoundTrips(benchmark::State& state, CDMService& service) {
    std::uint32_t expected = 0;
    for (auto _ : state) {
        auto* command = new BenchQuery;
        DMCmdHolder* holder = DMCmdHolder::Create(command);
        SubmitCommand(service.Dispatcher(), holder);
        const int code = command->Wait(5000, true, false);
        if (code != kCmdSucceeded || command->Value() != ++expected) {
            state.SkipWithError("a round trip failed");
            holder->Release();
            break;
        }
        holder->Release();
    }
    state.counters["commands_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void AnswerQueries(dmpeer::Peer& peer, std::uint32_t& answers) {
    peer.SetHandler({0x4B, kCategoryDevice, 0x0133}, [&](DMPacket&, DMPacket& body) {
        body.WriteU32(++answers);
        return std::uint8_t{0};
    });
}

// Over the modem's diagnostics COM port: the engine's serial link, the platform's port, the
// simulated command device behind it.
void CommandRoundTripSerial(benchmark::State& state) {
    sim::Machine::Reset();
    sim::ModemOptions options;
    options.startInModemMode = true;
    auto modem = sim::SimModem::Plug(options);
    const bool bigEndian = state.range(0) != 0;
    dmpeer::Peer peer(bigEndian);
    std::uint32_t answers = 0;
    AnswerQueries(peer, answers);
    peer.AttachToPort(L"COM4");
    DMEngineConfig config;
    config.bigEndian = bigEndian;
    CDMService service(std::wstring(L"COM4"), nullptr, config);
    RoundTrips(state, service);
}

// Over the in-process link pair, for comparison.
void CommandRoundTripInProcess(benchmark::State& state) {
    sim::Machine::Reset();
    const bool bigEndian = state.range(0) != 0;
    dmpeer::Peer peer(bigEndian);
    std::uint32_t answers = 0;
    AnswerQueries(peer, answers);
    DMEngineConfig config;
    config.bigEndian = bigEndian;
    CDMService service(peer.HostLink(), nullptr, config);
    RoundTrips(state, service);
}

}  // namespace

BENCHMARK(EventPingPong)->UseRealTime();
// Arg: the packet byte order (0 least significant byte first, 1 most significant first).
BENCHMARK(CommandRoundTripSerial)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(CommandRoundTripInProcess)->Arg(0)->Arg(1)->UseRealTime();

int main(int argc, char** argv) {
    // Every benchmark's floor is the ping-pong (names end in "/real_time").
    return bench::RunWithFloorRatios(
        argc, argv, [](const std::string&) { return std::string("EventPingPong/real_time"); });
}
