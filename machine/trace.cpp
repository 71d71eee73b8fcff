#include "machine/trace.h"

#include <array>
#include <atomic>
#include <cstdlib>

#include "machine/machine.h"

namespace sim {

namespace {

std::array<std::atomic<bool>, static_cast<std::size_t>(Facility::Count)> g_on{};
std::atomic<bool> g_asked{false};

const wchar_t* const kNames[] = {L"kernel",   L"files",     L"registry", L"devices",
                                 L"services", L"processes", L"ras",      L"windows",
                                 L"gdi",      L"text",      L"xml"};
static_assert(std::size(kNames) == static_cast<std::size_t>(Facility::Count));

}  // namespace

bool TraceOn(Facility facility) {
    return g_on[static_cast<std::size_t>(facility)].load(std::memory_order_relaxed);
}

void SetTrace(Facility facility, bool on) {
    g_on[static_cast<std::size_t>(facility)].store(on);
}

void ResetTraceFromEnvironment() {
    const char* env = std::getenv("MODEM_API_TRACE");
    std::wstring list = env ? FromUtf8(env) : L"";
    bool asked = false;
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        bool on = list == L"all";
        std::size_t start = 0;
        while (!on && start <= list.size()) {
            std::size_t comma = list.find(L',', start);
            std::wstring item = Lower(list.substr(start, comma - start));
            on = item == kNames[i];
            if (comma == std::wstring::npos) break;
            start = comma + 1;
        }
        SetTrace(static_cast<Facility>(i), on);
        asked = asked || on;
    }
    g_asked.store(asked);
}

bool TraceAskedByEnvironment() {
    return g_asked.load(std::memory_order_relaxed);
}

void TraceLine(Facility facility, const std::wstring& text) {
    machine().AppendDebugOutput(
        L"[trace] " + std::wstring(kNames[static_cast<std::size_t>(facility)]) + L": " + text);
}

bool& InTrace() {
    thread_local bool inside = false;
    return inside;
}

}  // namespace sim
