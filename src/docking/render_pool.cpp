#include "docking/render_pool.h"

#include <algorithm>

#include "docking/docking.h"
#include "docking/globals.h"
#include "docking/render_lock.h"
#include <objbase.h>

namespace System::Docking {

namespace {

// The debugger texts of a fault, in the GBK code page: full-width quotation marks (A1 B0 and
// A1 B1) around the bracketed part.
constexpr char kRenderingFault[] =
    "\r\n\xA1\xB0[DockingDriver] [Execute] Exception\xA1\xB1: rendering";
constexpr char kWorkItemFault[] =
    "\r\n\xA1\xB0[DockingDriver] [Execute] Exception\xA1\xB1: UserWorkItem";

}  // namespace

// ---- RenderLife ----

RenderLife::RenderLife(CDocking* docking)
    : docking_(docking),
      idle_(CreateEventW(nullptr, TRUE, TRUE, nullptr)),
      ending_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

RenderLife::~RenderLife() {
    if (idle_ != nullptr) CloseHandle(idle_);
    if (ending_ != nullptr) CloseHandle(ending_);
}

bool RenderLife::BeginRender() {
    std::lock_guard<std::mutex> hold(state_);
    if (docking_ == nullptr) return false;
    if (running_++ == 0) ResetEvent(idle_);
    return true;
}

void RenderLife::EndRender() {
    std::lock_guard<std::mutex> hold(state_);
    if (--running_ == 0) SetEvent(idle_);
}

bool RenderLife::Alive() {
    std::lock_guard<std::mutex> hold(state_);
    return docking_ != nullptr;
}

void RenderLife::End() {
    CDocking* docking = nullptr;
    {
        std::lock_guard<std::mutex> hold(state_);
        std::swap(docking, docking_);
    }
    if (docking == nullptr) return;
    SetEvent(ending_);
    docking->surface.AdvanceGeneration();
    WaitHandlingSentMessages(idle_);
}

void RenderLife::Cancel() {
    std::lock_guard<std::mutex> hold(state_);
    if (docking_ == nullptr) return;
    docking_->surface.AdvanceGeneration();
    SetEvent(ending_);
}

// ---- CProcess ----

CProcess::CProcess(std::shared_ptr<RenderLife> life, CDocking* target, Method method, HWND window,
                   HRGN region, HWND value)
    : life_(std::move(life)),
      target_(target),
      method_(method),
      window_(window),
      region_(region),
      value_(value) {}

CProcess::~CProcess() noexcept(false) {
    if (region_ != nullptr) DeleteObject(region_);
}

void CProcess::Execute() {
    if (life_ == nullptr || !life_->BeginRender()) return;
    struct Ended {
        RenderLife& life;
        ~Ended() { life.EndRender(); }
    } ended{*life_};
    HRGN region = std::exchange(region_, nullptr);
    (target_->*method_)(window_, region, value_);
}

// ---- CDockingDriver ----

BOOL CDockingDriver::Initialize(void*) {
    CoInitialize(nullptr);
    return TRUE;
}

void CDockingDriver::Terminate(void*) {
    CoUninitialize();
}

BOOL CDockingDriver::GetWorkerData(DWORD, void**) {
    return FALSE;
}

void CDockingDriver::Execute(RequestType item, void* poolParameter, OVERLAPPED*) {
    ++executed_;
    auto* pool = static_cast<CDockingDriverPool*>(poolParameter);
    struct Done {
        CDockingDriverPool* pool;
        ~Done() {
            if (pool != nullptr) pool->ItemDone();
        }
    } done{pool};
    if (item == nullptr) return;
    // Past shutdown nothing runs: the item is only destroyed.
    if (pool == nullptr || !pool->Closing()) {
        try {
            item->Execute();
        } catch (...) {
            OutputDebugStringA(kRenderingFault);
        }
    }
    try {
        delete item;
    } catch (...) {
        OutputDebugStringA(kWorkItemFault);
    }
    Sleep(10);
}

// ---- CDockingDriverPool ----

CDockingDriverPool::CDockingDriverPool(int workers)
    : workers_(workers), idle_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

CDockingDriverPool::~CDockingDriverPool() {
    Shutdown();
    if (idle_ != nullptr) CloseHandle(idle_);
}

void CDockingDriverPool::Start() {
    // One port of concurrency ten and ten threads; each thread enters its apartment before it
    // takes work.
    if (SUCCEEDED(pool_.Initialize(this, workers_))) {
        pool_.SetTimeout(kShutdownWaitMs);
        std::lock_guard<std::mutex> hold(state_);
        running_ = true;
    }
}

bool CDockingDriverPool::Post(IUserWorkItem* item) {
    if (item == nullptr) return false;  // an item that could not be made: nothing to run
    std::call_once(started_, [this] { Start(); });
    {
        std::lock_guard<std::mutex> hold(state_);
        if (!closing_ && running_) {
            if (pending_++ == 0) ResetEvent(idle_);
            if (pool_.QueueRequest(item)) return true;
            if (--pending_ == 0) SetEvent(idle_);
        }
    }
    try {
        delete item;
    } catch (...) {
        OutputDebugStringA(kWorkItemFault);
    }
    return false;
}

bool CDockingDriverPool::PostRender(HWND window, HWND value, CDocking* target, HRGN region) {
    std::shared_ptr<RenderLife> life = target->Life();
    Track(life);
    auto* item = new (std::nothrow)
        CProcess(std::move(life), target, &CDocking::RenderWithLocks, window, region, value);
    if (item == nullptr && region != nullptr) DeleteObject(region);
    return Post(item);
}

void CDockingDriverPool::Track(const std::shared_ptr<RenderLife>& life) {
    std::lock_guard<std::mutex> hold(state_);
    std::erase_if(lives_, [](const std::weak_ptr<RenderLife>& w) { return w.expired(); });
    const bool known =
        std::any_of(lives_.begin(), lives_.end(), [&](const auto& w) { return w.lock() == life; });
    if (!known) lives_.push_back(life);
}

void CDockingDriverPool::WaitIdle() {
    WaitHandlingSentMessages(idle_);
}

void CDockingDriverPool::ItemDone() {
    std::lock_guard<std::mutex> hold(state_);
    if (--pending_ == 0) SetEvent(idle_);
}

bool CDockingDriverPool::Closing() {
    std::lock_guard<std::mutex> hold(state_);
    return closing_;
}

int CDockingDriverPool::Workers() {
    int size = 0;
    {
        std::lock_guard<std::mutex> hold(state_);
        if (!running_) return 0;
    }
    return SUCCEEDED(pool_.GetSize(&size)) ? size : 0;
}

void CDockingDriverPool::Shutdown() {
    std::vector<std::shared_ptr<RenderLife>> lives;
    {
        std::lock_guard<std::mutex> hold(state_);
        if (closing_) return;
        closing_ = true;
        for (const auto& w : lives_)
            if (auto life = w.lock()) lives.push_back(std::move(life));
        lives_.clear();
    }
    for (const auto& life : lives) life->Cancel();
    // Started or not, no later post may start the pool.
    std::call_once(started_, [] {});
    bool wasRunning = false;
    {
        std::lock_guard<std::mutex> hold(state_);
        wasRunning = running_;
    }
    if (wasRunning) pool_.Shutdown(kShutdownWaitMs);
}

// ---- Entry points ----

CDockingDriverPool& RenderPool() {
    return Globals().renderPool;
}

void PostRender(HWND window, HWND value, CDocking* target, HRGN region) {
    RenderPool().PostRender(window, value, target, region);
}

void WaitRenderPoolIdle() {
    RenderPool().WaitIdle();
}

void ShutdownRenderPool() {
    RenderPool().Shutdown();
}

}  // namespace System::Docking
