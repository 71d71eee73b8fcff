#include "machine/sync.h"

#include <mutex>

namespace sim {

bool MutexObj::Acquire(ThreadRec& t, std::uint64_t) {
    if (owner_ != t.id) t.owned.push_back(weak_from_this());
    owner_ = t.id;
    ++recursion_;
    bool was = abandoned_;
    abandoned_ = false;
    return was;
}

void MutexObj::OwnerEnded(const ThreadRec& t) {
    if (owner_ != t.id) return;
    owner_ = 0;
    recursion_ = 0;
    abandoned_ = true;
    Changed();
}

void MutexObj::GiveBack(ThreadRec& t, std::uint64_t, bool abandoned) {
    if (owner_ != t.id || recursion_ <= 0) return;
    if (--recursion_ == 0) {
        owner_ = 0;
        abandoned_ = abandoned;
        Changed();
    }
}

bool MutexObj::ReleaseLocked(const ThreadRec& t) {
    if (owner_ != t.id) return false;
    if (--recursion_ == 0) {
        owner_ = 0;
        Changed();
    }
    return true;
}

void CompletionPortObj::OnLastHandleClosed() {
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    closed_ = true;
    packets_.clear();
    Changed();
}

}  // namespace sim
