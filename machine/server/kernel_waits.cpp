// Waits of a program that mix the server's objects with the program's own objects or its message
// queue. The program cannot hold both machines' locks at once, so the server's side of such a
// wait goes in two steps: a peek, answered once the server's objects would satisfy the wait
// (nothing is taken, so a peek the program no longer needs is simply dropped), then a take, which
// the program sends only when it is committed to use what it gets. A wait on all objects whose
// own objects were taken by another thread meanwhile gives back what the take took, in one step
// on the server, and waits again.
#include <utility>

#include <winbase.h>
#include "machine/server/core.h"
#include "machine/sync.h"

namespace sim::server {

struct KernelWaits {
    struct Peek {
        ClientId client = 0;
        std::uint32_t id = 0;
        std::shared_ptr<ThreadRec> thread;
        std::vector<std::shared_ptr<KObject>> objects;
        std::vector<WaitItem> items;
        bool all = false;
    };
    struct Took {
        std::shared_ptr<ThreadRec> thread;
        // And whether each was abandoned. Weak: what the thread took does not keep an object (or
        // its name) alive once the last handle to it has gone.
        std::vector<std::pair<std::weak_ptr<KObject>, bool>> objects;
    };
    std::vector<Peek> peeks;                                   // in arrival order
    std::map<std::pair<ClientId, std::uint32_t>, Took> taken;  // by client and thread
};

namespace {

// Reads "u32 thread, u8 all, u32 count, count x u32 handle" into a peek; false when malformed.
template <class Find>
bool ReadWait(wire::Reader& r, Find find, std::uint32_t& thread, KernelWaits::Peek& p,
              std::uint32_t& status) {
    std::uint8_t all = 0;
    std::uint32_t count = 0;
    status = ERROR_INVALID_PARAMETER;
    if (!r.U32(thread) || !r.U8(all) || !r.U32(count) || count == 0 || count > MAXIMUM_WAIT_OBJECTS)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t h = 0;
        if (!r.U32(h)) return false;
        auto obj = find(h);
        Waitable* waitable = obj ? obj->AsWaitable() : nullptr;
        if (waitable == nullptr) {
            status = ERROR_INVALID_HANDLE;
            return false;
        }
        p.items.push_back({waitable});
        p.objects.push_back(std::move(obj));
    }
    if (!r.AtEnd()) return false;
    p.all = all != 0;
    return true;
}

}  // namespace

void Core::OnKernelWait(Client& c, const wire::Frame& f, wire::Reader& r) {
    if (!kernelWaits_) kernelWaits_ = std::make_shared<KernelWaits>();
    KernelWaits& kw = *kernelWaits_;
    auto find = [&](std::uint32_t h) { return FindHandle(c, h); };
    switch (f.kind) {
        case wire::Kind::WaitPeek:
        case wire::Kind::Take: {
            KernelWaits::Peek p;
            std::uint32_t thread = 0, status = 0;
            if (!ReadWait(r, find, thread, p, status)) return Reply(c, f.id, status);
            p.thread = Thread(c, thread);
            if (f.kind == wire::Kind::WaitPeek) {
                p.client = IdOf(c);
                p.id = f.id;
                kw.peeks.push_back(std::move(p));
                return;  // answered by ServePeeks, at once when it can be
            }
            KernelWaits::Took took;
            took.thread = p.thread;
            std::uint32_t result = WAIT_TIMEOUT;
            {
                std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
                ThreadRec& t = *p.thread;
                std::size_t first = p.items.size();
                bool every = true;
                for (std::size_t i = 0; i < p.items.size(); ++i) {
                    bool on = p.items[i].object->SignaledFor(t, 0);
                    every &= on;
                    if (on && first == p.items.size()) first = i;
                }
                bool abandoned = false;
                auto take = [&](std::size_t i) {
                    bool was = p.items[i].object->Acquire(t, 0);
                    abandoned |= was;
                    took.objects.emplace_back(p.objects[i], was);
                };
                if (p.all && every) {
                    for (std::size_t i = 0; i < p.items.size(); ++i) take(i);
                    result = (abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0);
                } else if (!p.all && first < p.items.size()) {
                    take(first);
                    result = (abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0) +
                             static_cast<std::uint32_t>(first);
                }
            }
            // Only the thread's last take can be given back.
            kw.taken[std::make_pair(IdOf(c), thread)] = std::move(took);
            wire::Writer w;
            w.U32(result);
            return Reply(c, f.id, 0, w);
        }
        case wire::Kind::CancelPeek: {
            std::uint32_t id = 0;
            if (!r.U32(id) || !r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            for (auto it = kw.peeks.begin(); it != kw.peeks.end(); ++it) {
                if (it->client != IdOf(c) || it->id != id) continue;
                kw.peeks.erase(it);
                Reply(c, id, ERROR_INVALID_OPERATION);
                return Reply(c, f.id, 0);
            }
            return Reply(c, f.id, ERROR_INVALID_PARAMETER);  // already answered
        }
        case wire::Kind::GiveBack: {
            std::uint32_t thread = 0;
            if (!r.U32(thread) || !r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            auto it = kw.taken.find(std::make_pair(IdOf(c), thread));
            if (it == kw.taken.end()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            KernelWaits::Took took = std::move(it->second);
            kw.taken.erase(it);
            {
                std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
                for (auto& [weak, abandoned] : took.objects) {
                    if (auto obj = weak.lock())
                        obj->AsWaitable()->GiveBack(*took.thread, 0, abandoned);
                }
            }
            // What came back may satisfy waits of others: ServeWaits follows every request.
            return Reply(c, f.id, 0);
        }
        default:
            return Reply(c, f.id, ERROR_INVALID_FUNCTION);
    }
}

void Core::ServePeeks() {
    if (!kernelWaits_) return;
    auto& peeks = kernelWaits_->peeks;
    for (std::size_t i = 0; i < peeks.size();) {
        KernelWaits::Peek& p = peeks[i];
        WaitBlock b;
        b.thread = p.thread.get();
        b.items = p.items;
        b.all = p.all;
        b.peek = true;
        bool ready;
        {
            std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
            ready = Kernel::Get().TrySatisfyLocked(b);
        }
        auto c = clients_.find(p.client);
        if (!ready || c == clients_.end()) {
            ++i;
            continue;
        }
        std::uint32_t id = p.id;
        peeks.erase(peeks.begin() + static_cast<std::ptrdiff_t>(i));
        wire::Writer w;
        w.U32(b.result.index);
        Reply(*c->second, id, 0, w);
    }
}

void Core::DropKernelState(ClientId client) {
    DropFileOpens(client);
    if (!kernelWaits_) return;
    std::erase_if(kernelWaits_->peeks, [&](const auto& p) { return p.client == client; });
    std::erase_if(kernelWaits_->taken, [&](const auto& t) { return t.first.first == client; });
}

}  // namespace sim::server
