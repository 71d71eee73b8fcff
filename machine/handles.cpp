#include "machine/handles.h"

#include <algorithm>
#include <vector>

#include "machine/processes.h"

namespace sim {

HandleTable& HandleTable::Get() {
    return CurrentProcess().handles;
}

bool HandleTable::Close(HANDLE h) {
    std::shared_ptr<KObject> obj;
    {
        std::lock_guard<std::mutex> lk(mu_);
        bool other = false;
        obj = TakeLocked(h, &other);
        if (obj == nullptr) return false;
        // Another handle of this table still open: not the last one. (A handle in another
        // process's table keeps the object alive but its closing here still counts: objects that
        // care, such as device handles, are never shared between processes.)
        if (other) return true;
    }
    obj->OnLastHandleClosed();
    return true;
}

std::size_t HandleTable::OpenCount() {
    std::lock_guard<std::mutex> lk(mu_);
    return table_.size();
}

void HandleTable::CloseAll() {
    std::vector<std::shared_ptr<KObject>> objs;
    {
        std::lock_guard<std::mutex> lk(mu_);
        for (auto& [value, obj] : table_)
            if (std::find(objs.begin(), objs.end(), obj) == objs.end()) objs.push_back(obj);
        ClearLocked();
    }
    for (auto& obj : objs) obj->OnLastHandleClosed();
}

}  // namespace sim
