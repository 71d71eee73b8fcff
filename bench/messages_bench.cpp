// The cost of the message queues: a posted-message round trip between two threads' windows and a
// cross-thread SendMessage, read against the event ping-pong of the same run (the floor: two
// threads handing control to each other through the kernel's waits).
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

#include "floor_ratio.h"
#include "ping_pong.h"
#include <winbase.h>
#include "machine/machine.h"
#include <winuser.h>

namespace {

// Answers WM_USER by posting WM_USER + 1 back to the window in lParam; returns wParam + 1.
LRESULT CALLBACK Echo(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_USER) return DefWindowProcW(w, m, wp, lp);
    if (lp != 0) PostMessageW(reinterpret_cast<HWND>(lp), WM_USER + 1, wp, 0);
    return static_cast<LRESULT>(wp + 1);
}

// A window of its own on a partner thread that pumps until WM_QUIT.
class Partner {
public:
    Partner() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Echo;
        wc.lpszClassName = L"Echo";
        RegisterClassExW(&wc);
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = bench::Start([this, ready] {
            window_ = CreateWindowExW(0, L"Echo", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                      nullptr);
            SetEvent(ready);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
            DestroyWindow(window_);
            return 0u;
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
    }
    ~Partner() {
        PostMessageW(window_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    HWND window() const { return window_; }

private:
    HANDLE thread_;
    HWND window_ = nullptr;
};

void EventPingPong(benchmark::State& state) {
    sim::Machine::Reset();
    bench::EventPingPongLoop(state);
}

void PostedMessageRoundTrip(benchmark::State& state) {
    sim::Machine::Reset();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"Home";
    RegisterClassExW(&wc);
    HWND home =
        CreateWindowExW(0, L"Home", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Partner partner;
    MSG msg;
    for (auto _ : state) {
        PostMessageW(partner.window(), WM_USER, 1, reinterpret_cast<LPARAM>(home));
        GetMessageW(&msg, nullptr, 0, 0);
    }
    DestroyWindow(home);
}

void SentMessageRoundTrip(benchmark::State& state) {
    sim::Machine::Reset();
    Partner partner;
    LRESULT sum = 0;
    for (auto _ : state) sum += SendMessageW(partner.window(), WM_USER, 1, 0);
    benchmark::DoNotOptimize(sum);
}

}  // namespace

BENCHMARK(EventPingPong)->UseRealTime();
BENCHMARK(PostedMessageRoundTrip)->UseRealTime();
BENCHMARK(SentMessageRoundTrip)->UseRealTime();

// Every benchmark's floor is the event ping-pong (with the same suffix, "/real_time").
int main(int argc, char** argv) {
    return bench::RunWithFloorRatios(argc, argv, [](const std::string& name) {
        auto slash = name.find('/');
        return "EventPingPong" + (slash == std::string::npos ? std::string() : name.substr(slash));
    });
}
