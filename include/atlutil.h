// A pool of worker threads behind an I/O completion port.
//
// Each worker thread makes its own Worker, calls Worker::Initialize(workerParam) once before it
// takes work, then takes requests in the order they were queued and calls
// Worker::Execute(request, workerParam, overlapped) for each, and calls
// Worker::Terminate(workerParam) once when it ends. A request travels as the packet's completion
// key, so Worker::RequestType is a pointer or an integer that fits in ULONG_PTR.
#pragma once

#include <algorithm>
#include <mutex>
#include <utility>
#include <type_traits>
#include <vector>

#include <winbase.h>
#include <winuser.h>
#include <windef.h>

namespace ATL {

// Starts the pool's threads as the C runtime's thread start does.
struct CRTThreadTraits {
    static HANDLE CreateThread(LPTHREAD_START_ROUTINE start, void* parameter, DWORD* threadId) {
        return ::CreateThread(nullptr, 0, start, parameter, 0, threadId);
    }
};

// The pool waits with the kernel's own waits (on the machine clock).
struct Win32WaitTraits {};

template <class Worker, class ThreadTraits = CRTThreadTraits, class WaitTraits = Win32WaitTraits>
class CThreadPool {
public:
    using RequestType = typename Worker::RequestType;
    static_assert(sizeof(RequestType) <= sizeof(ULONG_PTR),
                  "a request travels as a completion key");

    CThreadPool() = default;
    CThreadPool(const CThreadPool&) = delete;
    CThreadPool& operator=(const CThreadPool&) = delete;
    ~CThreadPool() {
        try {
            Shutdown();
        } catch (...) {
            // The process is ending: its threads unwind on their own.
        }
    }

    // numThreads 0: two per processor. completionPort INVALID_HANDLE_VALUE: the pool makes its
    // own port (concurrency numThreads) and closes it at shutdown; a given port stays open.
    // Returns once every thread has initialised its worker; when one fails, the threads already
    // started are stopped and the pool answers E_FAIL. E_UNEXPECTED while already running.
    HRESULT Initialize(void* workerParam = nullptr, int numThreads = 0, DWORD stackSize = 0,
                       HANDLE completionPort = INVALID_HANDLE_VALUE) {
        (void)stackSize;  // the host picks its threads' stacks
        if (numThreads < 0) return E_INVALIDARG;
        if (numThreads == 0) {
            SYSTEM_INFO info{};
            GetSystemInfo(&info);
            numThreads = 2 * static_cast<int>(std::max<DWORD>(info.dwNumberOfProcessors, 1));
        }
        bool own = completionPort == INVALID_HANDLE_VALUE;
        {
            std::lock_guard<std::mutex> lk(mu_);
            if (state_ != State::Idle) return E_UNEXPECTED;
            state_ = State::Starting;
        }
        HANDLE port = completionPort;
        if (own)
            port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0,
                                          static_cast<DWORD>(numThreads));
        HANDLE started = port != nullptr ? CreateEventW(nullptr, FALSE, FALSE, nullptr) : nullptr;
        HRESULT hr = started != nullptr ? S_OK : HRESULT_FROM_WIN32(GetLastError());
        std::vector<HANDLE> threads;
        for (int i = 0; i < numThreads && hr == S_OK; ++i) {
            Start start{port, workerParam, started, FALSE};
            HANDLE thread = ThreadTraits::CreateThread(&ThreadProc, &start, nullptr);
            if (thread == nullptr) {
                hr = HRESULT_FROM_WIN32(GetLastError());
                break;
            }
            threads.push_back(thread);
            WaitHandlingSent(started);
            if (!start.initialized) hr = E_FAIL;  // that thread has ended already
        }
        if (started != nullptr) CloseHandle(started);
        if (hr != S_OK) {
            Stop(port, own, threads);
            std::lock_guard<std::mutex> lk(mu_);
            state_ = State::Idle;
            return hr;
        }
        std::lock_guard<std::mutex> lk(mu_);
        port_ = port;
        ownPort_ = own;
        threads_ = std::move(threads);
        state_ = State::Running;
        return S_OK;
    }

    // The wait Shutdown(0) stands for. Stored only: see Shutdown.
    HRESULT SetTimeout(DWORD ms) {
        std::lock_guard<std::mutex> lk(mu_);
        timeout_ = ms;
        return S_OK;
    }
    HRESULT GetTimeout(DWORD* ms) {
        if (ms == nullptr) return E_POINTER;
        std::lock_guard<std::mutex> lk(mu_);
        *ms = timeout_;
        return S_OK;
    }
    // Null before Initialize and after Shutdown.
    HANDLE GetQueueHandle() {
        std::lock_guard<std::mutex> lk(mu_);
        return port_;
    }
    HRESULT GetSize(int* size) {
        if (size == nullptr) return E_POINTER;
        std::lock_guard<std::mutex> lk(mu_);
        *size = static_cast<int>(threads_.size());
        return S_OK;
    }

    // FALSE before Initialize and once Shutdown has begun (the request is not taken).
    BOOL QueueRequest(RequestType request) {
        std::lock_guard<std::mutex> lk(mu_);
        if (state_ != State::Running) return FALSE;
        return PostQueuedCompletionStatus(port_, 0, ToKey(request), nullptr);
    }

    // Asks every thread to stop once it has taken the requests queued before, and waits until
    // each has ended, handling messages that other threads send to the calling thread meanwhile
    // (a worker inside SendMessage to a window of this thread finishes its request).
    // The machine cannot end a thread from outside: maxWait (and the stored timeout it defaults
    // to) is not enforced, and a busy worker is waited for until it takes its stop request.
    void Shutdown(DWORD maxWait = 0) {
        (void)maxWait;
        std::vector<HANDLE> threads;
        HANDLE port = nullptr;
        bool own = false;
        {
            std::lock_guard<std::mutex> lk(mu_);
            if (state_ != State::Running) return;
            state_ = State::Stopping;
            threads.swap(threads_);
            port = std::exchange(port_, nullptr);
            own = ownPort_;
        }
        Stop(port, own, threads);
        std::lock_guard<std::mutex> lk(mu_);
        state_ = State::Idle;
    }

private:
    enum class State { Idle, Starting, Running, Stopping };

    struct Start {
        HANDLE port;
        void* param;
        HANDLE started;
        BOOL initialized;
    };

    static OVERLAPPED* StopMarker() {
        static char marker;
        return reinterpret_cast<OVERLAPPED*>(&marker);
    }

    static ULONG_PTR ToKey(RequestType request) {
        if constexpr (std::is_pointer_v<RequestType>)
            return reinterpret_cast<ULONG_PTR>(request);
        else
            return static_cast<ULONG_PTR>(request);
    }
    static RequestType FromKey(ULONG_PTR key) {
        if constexpr (std::is_pointer_v<RequestType>)
            return reinterpret_cast<RequestType>(key);
        else
            return static_cast<RequestType>(key);
    }

    // Waits for the object, handling only messages sent to the calling thread from others.
    static void WaitHandlingSent(HANDLE object) {
        for (;;) {
            DWORD r = MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_SENDMESSAGE);
            if (r != WAIT_OBJECT_0 + 1) return;  // signalled (or no longer waitable)
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }

    // Posts one stop request per thread (after the requests queued before) and joins them.
    static void Stop(HANDLE port, bool ownPort, const std::vector<HANDLE>& threads) {
        for (std::size_t i = 0; i < threads.size(); ++i)
            PostQueuedCompletionStatus(port, 0, 0, StopMarker());
        for (HANDLE thread : threads) {
            WaitHandlingSent(thread);
            CloseHandle(thread);
        }
        if (ownPort && port != nullptr) CloseHandle(port);
    }

    static DWORD ThreadProc(LPVOID parameter) {
        auto* start = static_cast<Start*>(parameter);
        HANDLE port = start->port;
        void* param = start->param;
        Worker worker;
        BOOL initialized = worker.Initialize(param) ? TRUE : FALSE;
        start->initialized = initialized;
        SetEvent(start->started);  // `start` is gone from here on
        if (!initialized) return 1;
        for (;;) {
            DWORD bytes = 0;
            ULONG_PTR key = 0;
            OVERLAPPED* overlapped = nullptr;
            BOOL got = GetQueuedCompletionStatus(port, &bytes, &key, &overlapped, INFINITE);
            if (!got && overlapped == nullptr) break;  // the port is gone
            if (overlapped == StopMarker()) break;
            worker.Execute(FromKey(key), param, overlapped);
        }
        worker.Terminate(param);
        return 0;
    }

    std::mutex mu_;  // held only briefly: never across a wait of the machine
    State state_ = State::Idle;
    HANDLE port_ = nullptr;  // set while running
    bool ownPort_ = false;
    std::vector<HANDLE> threads_;
    DWORD timeout_ = 36000;
};

}  // namespace ATL
