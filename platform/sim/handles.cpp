#include "platform/sim/handles.h"

#include <algorithm>

namespace sim {

HandleTable& HandleTable::Get() {
    static HandleTable* table = new HandleTable();
    return *table;
}

bool HandleTable::Close(HANDLE h) {
    std::shared_ptr<KObject> obj;
    {
        std::lock_guard<std::mutex> lk(mu_);
        auto it = table_.find(reinterpret_cast<ULONG_PTR>(h));
        if (it == table_.end()) return false;
        obj = std::move(it->second);
        table_.erase(it);
        bool other = std::any_of(table_.begin(), table_.end(),
                                 [&](const auto& e) { return e.second == obj; });
        if (other) return true;
    }
    obj->OnLastHandleClosed();
    return true;
}

std::size_t HandleTable::OpenCount() {
    std::lock_guard<std::mutex> lk(mu_);
    return table_.size();
}

}  // namespace sim
