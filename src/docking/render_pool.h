// The render pool: ten worker threads on a completion port that run the render requests of root
// dockings, so that rendering a tree never runs in a window procedure.
//
// A request is a work item owned by the pool from the moment it is posted; the worker that runs
// it destroys it. A render item names its docking by pointer and its window by plain handle, and
// carries the docking's life token: a docking that is being destroyed first closes the token
// (items still queued then run nothing) and waits until the renders that already started have
// ended.
//
// The pool starts on the first post, whichever thread makes it, exactly once. At the end of the
// program (ShutdownRenderPool, or the framework globals' destruction) every living docking's
// render generation is raised, so that running renders stop at their next checkpoint, items
// still queued are dropped, and the workers are joined while the messages they send to the
// calling thread are handled.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include <windows.h>
#include <atlutil.h>

namespace System::Docking {

class CDocking;

// A unit of work for the pool.
class IUserWorkItem {
public:
    // May throw: the worker reports it and goes on.
    virtual ~IUserWorkItem() noexcept(false) = default;
    virtual void Execute() = 0;
};

// What ties render items to the life of their docking. Shared by the docking and its items.
class RenderLife {
public:
    explicit RenderLife(CDocking* docking);
    ~RenderLife();
    RenderLife(const RenderLife&) = delete;
    RenderLife& operator=(const RenderLife&) = delete;

    // A render of the docking starts: false once the docking is ending (nothing may touch it).
    bool BeginRender();
    void EndRender();
    // Signalled once the docking is ending; a render waiting for a lock gives up on it.
    HANDLE Ending() const { return ending_; }
    bool Alive();
    // The docking's destructor: no render starts from now on; the docking's renders in progress
    // are cancelled and waited for (handling the messages they send to the calling thread).
    void End();
    // Advances the living docking's render generation (running renders stop at their next
    // checkpoint).
    void Cancel();

private:
    std::mutex state_;
    CDocking* docking_;
    int running_ = 0;
    // Manual-reset: set while no render of the docking runs.
    HANDLE idle_;
    // Manual-reset: set by End.
    HANDLE ending_;
};

// A render request: calls the member function on the docking with (window, region, value)
// unless the docking's life has ended by then. The region (null: the whole client area) passes
// to the render; an item that does not run deletes it.
class CProcess : public IUserWorkItem {
public:
    using Method = void (CDocking::*)(HWND, HRGN, HWND);
    CProcess(std::shared_ptr<RenderLife> life, CDocking* target, Method method, HWND window,
             HRGN region, HWND value);
    ~CProcess() noexcept(false) override;
    void Execute() override;

private:
    std::shared_ptr<RenderLife> life_;
    CDocking* target_;
    Method method_;
    HWND window_;
    HRGN region_;
    HWND value_;
};

class CDockingDriverPool;

// A worker of the pool: each worker thread is in a single-threaded COM apartment for its whole
// life.
class CDockingDriver {
public:
    using RequestType = IUserWorkItem*;

    virtual ~CDockingDriver() = default;
    // CoInitialize; TRUE.
    virtual BOOL Initialize(void* pool);
    // CoUninitialize.
    virtual void Terminate(void* pool);
    // No per-worker data: FALSE.
    virtual BOOL GetWorkerData(DWORD id, void** data);

    // Runs the item (null: nothing) and destroys it; a fault of either is written to the
    // debugger output and the worker goes on. Then pauses 10 ms.
    void Execute(RequestType item, void* pool, OVERLAPPED* overlapped);
    // Items this worker has taken, null ones included.
    int Executed() const { return executed_; }

private:
    int executed_ = 0;
};

class CDockingDriverPool {
public:
    static constexpr int kWorkers = 10;
    // The per-thread wait at shutdown (the workers are joined all the same: a thread cannot be
    // ended from outside).
    static constexpr DWORD kShutdownWaitMs = 20;

    // A pool of that many workers (the process's render pool has kWorkers).
    explicit CDockingDriverPool(int workers = kWorkers);
    // Shuts down.
    ~CDockingDriverPool();
    CDockingDriverPool(const CDockingDriverPool&) = delete;
    CDockingDriverPool& operator=(const CDockingDriverPool&) = delete;

    // Queues the item (null is ignored), starting the pool first when it has not
    // started. After shutdown the item is destroyed without running; false.
    bool Post(IUserWorkItem* item);
    // Queues a render of the docking's window (see PostRender below).
    bool PostRender(HWND window, HWND value, CDocking* target, HRGN region = nullptr);
    // Returns once every item posted so far has been taken and the workers are idle; messages
    // sent to the calling thread are handled meanwhile.
    void WaitIdle();
    // Raises the generation of every tracked docking, drops what is still queued and joins the
    // workers while the messages they send to the calling thread are handled. Once; later posts
    // are refused.
    void Shutdown();

    // Worker threads running (0 before the first post).
    int Workers();
    // Set from Shutdown on: the workers drop what they take.
    bool Closing();
    // A worker is done with one item.
    void ItemDone();

private:
    void Start();
    // A docking whose renders the pool cancels at shutdown.
    void Track(const std::shared_ptr<RenderLife>& life);

    const int workers_;
    std::once_flag started_;
    std::mutex state_;
    bool closing_ = false;
    bool running_ = false;
    int pending_ = 0;
    // Manual-reset: set while nothing is pending.
    HANDLE idle_;
    std::vector<std::weak_ptr<RenderLife>> lives_;
    ATL::CThreadPool<CDockingDriver, ATL::CRTThreadTraits, ATL::Win32WaitTraits> pool_;
};

// The process's render pool (part of the framework globals).
CDockingDriverPool& RenderPool();

// Queues a render of the docking's window for the pool: the docking will present the result to
// the window with value as the present message's lParam. The region (taken over; null: the whole
// client area) is the part of the window to draw.
void PostRender(HWND window, HWND value, CDocking* target, HRGN region = nullptr);
// Waits until the render pool is idle (see CDockingDriverPool::WaitIdle).
void WaitRenderPoolIdle();
// The end of the program's run: see CDockingDriverPool::Shutdown.
void ShutdownRenderPool();

}  // namespace System::Docking
