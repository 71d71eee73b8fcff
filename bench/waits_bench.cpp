// The cost of the kernel's waits: an uncontended critical section and an event ping-pong between
// two threads, each alone and beside fifty unrelated blocked threads (which must cost nothing).
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <vector>

#include <winbase.h>
#include "floor_ratio.h"
#include "ping_pong.h"
#include "machine/machine.h"

namespace {

// Fifty threads blocked on an event of their own for the benchmark's length.
class Bystanders {
public:
    explicit Bystanders(int count) {
        gate_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        for (int i = 0; i < count; ++i)
            threads_.push_back(
                bench::Start([g = gate_] { return WaitForSingleObject(g, INFINITE); }));
    }
    ~Bystanders() {
        SetEvent(gate_);
        for (HANDLE t : threads_) {
            WaitForSingleObject(t, INFINITE);
            CloseHandle(t);
        }
        CloseHandle(gate_);
    }

private:
    HANDLE gate_;
    std::vector<HANDLE> threads_;
};

void CriticalSection(benchmark::State& state) {
    sim::Machine::Reset();
    Bystanders others(static_cast<int>(state.range(0)));
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    for (auto _ : state) {
        EnterCriticalSection(&cs);
        LeaveCriticalSection(&cs);
    }
    DeleteCriticalSection(&cs);
}

void EventPingPong(benchmark::State& state) {
    sim::Machine::Reset();
    Bystanders others(static_cast<int>(state.range(0)));
    bench::EventPingPongLoop(state);
}

}  // namespace

// Arg: the number of unrelated blocked threads. The floor of each pair is its run with none.
BENCHMARK(CriticalSection)->Arg(0)->Arg(50);
BENCHMARK(EventPingPong)->Arg(0)->Arg(50)->UseRealTime();

// The floor of "X/50..." is "X/0...".
int main(int argc, char** argv) {
    return bench::RunWithFloorRatios(argc, argv, [](const std::string& name) {
        std::string floor = name;
        if (auto at = floor.find("/50"); at != std::string::npos) floor.replace(at, 3, "/0");
        return floor;
    });
}
