// A main for benchmarks whose figures are read against a floor measured in the same run: each
// benchmark runs in repetitions (5 unless --benchmark_repetitions says otherwise) interleaved at
// random with the others', and after the usual report a table gives each benchmark's median time
// and its ratio to the median of its floor benchmark. Machines are shared and noisy; a ratio
// within one run is what can be compared.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bench {

// The median of one benchmark's repetitions, in wall-clock and in CPU time.
struct Median {
    double real = 0;
    double cpu = 0;
    std::string unit;
};

// Keeps the medians while the console reporter prints as usual.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median" ||
                run.error_occurred)
                continue;
            names_.emplace_back(run.family_index, run.run_name.str());
            medians_[run.run_name.str()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime(),
                                            benchmark::GetTimeUnitString(run.time_unit)};
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // In the order the benchmarks were registered, however they ran.
    std::vector<std::string> Names() const {
        std::vector<std::pair<std::int64_t, std::string>> sorted = names_;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::string> names;
        for (auto& [family, name] : sorted) names.push_back(name);
        return names;
    }
    const std::map<std::string, Median>& Medians() const { return medians_; }

private:
    std::vector<std::pair<std::int64_t, std::string>> names_;
    std::map<std::string, Median> medians_;
};

// floorOf maps a benchmark's name to the name of its floor (itself for a floor).
inline int RunWithFloorRatios(int argc, char** argv,
                              const std::function<std::string(const std::string&)>& floorOf) {
    std::vector<char*> args(argv, argv + argc);
    auto given = [&](const char* flag) {
        for (int i = 1; i < argc; ++i)
            if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) return true;
        return false;
    };
    // Repetitions, and their runs interleaved at random so that a change in the machine's load
    // falls on every benchmark alike.
    static char defaultRepetitions[] = "--benchmark_repetitions=5";
    static char defaultInterleaving[] = "--benchmark_enable_random_interleaving=true";
    if (!given("--benchmark_repetitions")) args.push_back(defaultRepetitions);
    if (!given("--benchmark_enable_random_interleaving")) args.push_back(defaultInterleaving);
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    if (reporter.Names().empty()) {
        std::printf("\nNo medians: run with --benchmark_repetitions of 2 or more.\n");
        return 0;
    }
    // On a shared machine the CPU time is the steadier figure: waiting for a processor is not in
    // it.
    std::printf("\n%-40s %24s %24s\n", "benchmark", "median real (ratio)", "median CPU (ratio)");
    for (const std::string& name : reporter.Names()) {
        const Median& median = reporter.Medians().at(name);
        auto floor = reporter.Medians().find(floorOf(name));
        auto column = [&](double value, double floorValue) {
            char text[64];
            if (floor == reporter.Medians().end() || floorValue <= 0)
                std::snprintf(text, sizeof text, "%.2f %s (no floor)", value, median.unit.c_str());
            else
                std::snprintf(text, sizeof text, "%.2f %s (%.2f)", value, median.unit.c_str(),
                              value / floorValue);
            return std::string(text);
        };
        bool hasFloor = floor != reporter.Medians().end();
        std::printf("%-40s %24s %24s\n", name.c_str(),
                    column(median.real, hasFloor ? floor->second.real : 0).c_str(),
                    column(median.cpu, hasFloor ? floor->second.cpu : 0).c_str());
    }
    return 0;
}

}  // namespace bench
