// The new user's road end to end: the three programs as processes of their own on a machine
// server, against its floor, the same road with the programs run inside one process on its own
// machine, measured in the same run. Both run on the virtual clock; what the demo prints is
// thrown away.
#include <benchmark/benchmark.h>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "demo/demo.h"
#include "floor_ratio.h"

namespace {

// Runs a road with the standard output sent nowhere; its result.
int Quietly(int (*road)(sim::ClockMode)) {
    std::fflush(stdout);
    int saved = dup(1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
    int rc = road(sim::ClockMode::Virtual);
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    return rc;
}

void BM_RoadInOneProcess(benchmark::State& state) {
    for (auto _ : state)
        if (Quietly(&RunInstallerDemo) != 0) state.SkipWithError("the road went wrong");
}
BENCHMARK(BM_RoadInOneProcess)->Unit(benchmark::kMillisecond);

void BM_RoadOnTheServer(benchmark::State& state) {
    for (auto _ : state)
        if (Quietly(&RunServerRoadDemo) != 0) state.SkipWithError("the road went wrong");
}
BENCHMARK(BM_RoadOnTheServer)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::RunWithFloorRatios(argc, argv, [](const std::string&) {
        return std::string("BM_RoadInOneProcess");
    });
}
