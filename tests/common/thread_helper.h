// Starts a machine thread (CreateThread) that runs a callable.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <string>

#include <winbase.h>

inline HANDLE StartThread(std::function<DWORD()> body, DWORD flags = 0) {
    struct Box {
        std::function<DWORD()> body;
    };
    auto* box = new Box{std::move(body)};
    HANDLE h = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            std::unique_ptr<Box> b(static_cast<Box*>(p));
            return b->body();
        },
        box, flags, nullptr);
    if (h == nullptr) delete box;
    return h;
}

// Starts a program as a separate process (CreateProcessW with default start-up information).
inline bool StartProgram(std::wstring commandLine, PROCESS_INFORMATION* pi) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    *pi = PROCESS_INFORMATION{};
    return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, pi) != FALSE;
}

// A list that several threads append to (the lock is never held across a wait).
template <class T>
class SharedLog {
public:
    void Add(T v) {
        std::lock_guard<std::mutex> lk(mu_);
        items_.push_back(std::move(v));
    }
    void Clear() {
        std::lock_guard<std::mutex> lk(mu_);
        items_.clear();
    }
    std::vector<T> Items() {
        std::lock_guard<std::mutex> lk(mu_);
        return items_;
    }

private:
    std::mutex mu_;
    std::vector<T> items_;
};
