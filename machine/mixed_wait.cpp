#include "machine/mixed_wait.h"

#include <vector>

#include <winbase.h>

namespace sim {

MixedResult MixedWait(ThreadRec& self, std::span<const MixedItem> items, RemoteWaitSide& remote,
                      bool all, DWORD wakeMask, std::uint64_t deadline) {
    std::vector<WaitItem> local;
    std::vector<DWORD> localIndex, remoteIndex;
    for (DWORD i = 0; i < items.size(); ++i) {
        if (items[i].remote) {
            remoteIndex.push_back(i);
        } else {
            local.push_back({items[i].local});
            localIndex.push_back(i);
        }
    }
    const auto count = static_cast<DWORD>(items.size());
    auto& kernel = Kernel::Get();
    for (;;) {
        auto peek = remote.Peek(all);
        std::unique_lock<std::mutex> lk(kernel.Mutex());
        // The process's own objects first, then the peek's answer; a wait on all takes nothing
        // yet.
        std::vector<WaitItem> waitItems = local;
        waitItems.push_back({&peek->gate});
        WaitResult r = kernel.Wait(lk, self, waitItems, all, wakeMask, deadline, !all);
        bool signalled = r.outcome == WaitOutcome::Object || r.outcome == WaitOutcome::Abandoned;
        bool answered = signalled && (all || r.index == local.size());
        if (!answered) {
            remote.DropPeekLocked(*peek);
            if (signalled) return {{r.outcome, localIndex[r.index]}};  // one of its own, taken
            if (r.outcome == WaitOutcome::Queue) return {{WaitOutcome::Queue, count}};
            return {r};  // time-out, or its process ends
        }
        if (peek->answer.status != 0) return {{WaitOutcome::Timeout}, true, peek->answer.status};
        lk.unlock();
        DWORD took = remote.Take(all);
        if (took == WAIT_FAILED) return {{WaitOutcome::Timeout}, true, ERROR_INVALID_HANDLE};
        if (took == WAIT_TIMEOUT) continue;  // another took it first: wait again
        bool abandoned = took >= WAIT_ABANDONED;
        DWORD index = took - (abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0);
        if (!all) {
            if (index >= remoteIndex.size())
                return {{WaitOutcome::Timeout}, true, ERROR_INVALID_HANDLE};
            return {{abandoned ? WaitOutcome::Abandoned : WaitOutcome::Object, remoteIndex[index]}};
        }
        lk.lock();
        WaitBlock own;
        own.thread = &self;
        own.items = local;
        own.all = true;
        if (kernel.TrySatisfyLocked(own)) {
            abandoned |= own.result.outcome == WaitOutcome::Abandoned;
            return {{abandoned ? WaitOutcome::Abandoned : WaitOutcome::Object, 0}};
        }
        // Another thread took one of its own meanwhile.
        lk.unlock();
        remote.GiveBack();
    }
}

namespace {

class Served : public RemoteWaitSide {
public:
    Served(ServerLink& link, DWORD thread, std::vector<std::uint32_t> handles)
        : link_(link), thread_(thread), handles_(std::move(handles)) {}

    std::shared_ptr<PendingCall> Peek(bool all) override {
        return BeginCall(link_, wire::Kind::WaitPeek, Payload(all));
    }
    void DropPeekLocked(PendingCall& peek) override {
        ForgetCallLocked(link_, peek);
        wire::Writer w;
        w.U32(peek.id);
        PostToServerLocked(link_, wire::Kind::CancelPeek, w.Bytes());
    }
    DWORD Take(bool all) override {
        RemoteAnswer a = CallServer(link_, wire::Kind::Take, Payload(all));
        std::uint32_t result = WAIT_FAILED;
        wire::Reader r(a.body);
        if (a.status != 0 || !r.U32(result)) return WAIT_FAILED;
        return result;
    }
    void GiveBack() override {
        wire::Writer w;
        w.U32(thread_);
        PostToServer(link_, wire::Kind::GiveBack, w.Bytes());
    }

private:
    std::string Payload(bool all) const {
        wire::Writer w;
        w.U32(thread_).U8(all ? 1 : 0).U32(static_cast<std::uint32_t>(handles_.size()));
        for (std::uint32_t h : handles_) w.U32(h);
        return w.Bytes();
    }

    ServerLink& link_;
    DWORD thread_;
    std::vector<std::uint32_t> handles_;
};

}  // namespace

std::unique_ptr<RemoteWaitSide> ServedWaitSide(ServerLink& link, DWORD threadId,
                                               std::vector<std::uint32_t> handles) {
    return std::make_unique<Served>(link, threadId, std::move(handles));
}

}  // namespace sim
