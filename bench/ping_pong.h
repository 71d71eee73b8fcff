// What the kernel benchmarks share: starting a machine thread on a callable, and the event
// ping-pong between two threads that is the floor of the wait and message benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

#include <winbase.h>

namespace bench {

inline HANDLE Start(std::function<DWORD()> body) {
    auto* box = new std::function<DWORD()>(std::move(body));
    return CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            std::unique_ptr<std::function<DWORD()>> b(static_cast<std::function<DWORD()>*>(p));
            return (*b)();
        },
        box, 0, nullptr);
}

// Each iteration hands control to a partner thread through an auto-reset event and back.
inline void EventPingPongLoop(benchmark::State& state) {
    HANDLE ping = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE pong = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE partner = Start([&] {
        HANDLE both[] = {stop, ping};
        while (WaitForMultipleObjects(2, both, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
            SetEvent(pong);
        return 0u;
    });
    for (auto _ : state) {
        SetEvent(ping);
        WaitForSingleObject(pong, INFINITE);
    }
    SetEvent(stop);
    WaitForSingleObject(partner, INFINITE);
    for (HANDLE h : {ping, pong, stop, partner}) CloseHandle(h);
}

}  // namespace bench
