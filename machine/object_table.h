// A table of shared objects reached by handle values that are never reused while the process
// runs: the kernel's handle table and the GDI object table are both made of it.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include <windef.h>

namespace sim {

template <class Obj>
class ObjectTable {
public:
    explicit ObjectTable(ULONG_PTR first) : next_(first) {}

    void* Add(std::shared_ptr<Obj> obj) {
        std::lock_guard<std::mutex> lk(mu_);
        return AddLocked(std::move(obj));
    }
    std::shared_ptr<Obj> Find(const void* h) {
        std::lock_guard<std::mutex> lk(mu_);
        auto it = table_.find(reinterpret_cast<ULONG_PTR>(h));
        return it == table_.end() ? nullptr : it->second;
    }
    template <class T>
    std::shared_ptr<T> FindAs(const void* h) {
        return std::dynamic_pointer_cast<T>(Find(h));
    }
    // Removes the entry and hands back its object (null when the handle is unknown).
    std::shared_ptr<Obj> Take(const void* h) {
        std::lock_guard<std::mutex> lk(mu_);
        return TakeLocked(h, nullptr);
    }

protected:
    // With mu_ held.
    void* AddLocked(std::shared_ptr<Obj> obj) {
        ULONG_PTR value = next_;
        next_ += 4;
        ++handles_[obj.get()];
        table_.emplace(value, std::move(obj));
        return reinterpret_cast<void*>(value);
    }
    // With mu_ held: removes the entry and hands back its object; `others` tells whether another
    // handle of this table still refers to the object.
    std::shared_ptr<Obj> TakeLocked(const void* h, bool* others) {
        auto it = table_.find(reinterpret_cast<ULONG_PTR>(h));
        if (it == table_.end()) return nullptr;
        std::shared_ptr<Obj> obj = std::move(it->second);
        table_.erase(it);
        auto count = handles_.find(obj.get());
        const bool more = count != handles_.end() && --count->second > 0;
        if (!more && count != handles_.end()) handles_.erase(count);
        if (others != nullptr) *others = more;
        return obj;
    }
    // With mu_ held: every entry goes.
    void ClearLocked() {
        table_.clear();
        handles_.clear();
    }

    std::mutex mu_;
    std::unordered_map<ULONG_PTR, std::shared_ptr<Obj>> table_;
    std::unordered_map<const Obj*, std::size_t> handles_;  // how many entries hold each object
    ULONG_PTR next_;
};

}  // namespace sim
