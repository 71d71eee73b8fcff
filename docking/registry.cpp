#include "docking/registry.h"

#include <map>

#include "platform/kernel.h"
#include "support/auto_lock.h"

namespace System::Docking {

namespace {

class IdRegistry {
public:
    IdRegistry() { InitializeCriticalSection(&lock); }
    ~IdRegistry() { DeleteCriticalSection(&lock); }
    IdRegistry(const IdRegistry&) = delete;
    IdRegistry& operator=(const IdRegistry&) = delete;

    static IdRegistry& Get() {
        static IdRegistry registry;
        return registry;
    }

    // The entry of that pair, or end.
    std::multimap<std::wstring, IRenderable*>::iterator Find(const std::wstring& id,
                                                             IRenderable* renderable) {
        auto [first, last] = entries.equal_range(id);
        for (auto it = first; it != last; ++it)
            if (it->second == renderable) return it;
        return entries.end();
    }

    // Equal keys keep their order of insertion.
    std::multimap<std::wstring, IRenderable*> entries;

    CRITICAL_SECTION lock;
};

}  // namespace

void AddRenderableId(const std::wstring& id, IRenderable* renderable) {
    IdRegistry& r = IdRegistry::Get();
    CAutoLock hold(r.lock);
    if (r.Find(id, renderable) == r.entries.end()) r.entries.emplace(id, renderable);
}

void RemoveRenderableId(const std::wstring& id, IRenderable* renderable) {
    IdRegistry& r = IdRegistry::Get();
    CAutoLock hold(r.lock);
    auto it = r.Find(id, renderable);
    if (it != r.entries.end()) r.entries.erase(it);
}

IRenderable* FindRenderableById(const std::wstring& id) {
    IdRegistry& r = IdRegistry::Get();
    CAutoLock hold(r.lock);
    auto it = r.entries.lower_bound(id);  // the first of equal ids
    return it == r.entries.end() || it->first != id ? nullptr : it->second;
}

bool HasRenderableId(const std::wstring& id, IRenderable* renderable) {
    IdRegistry& r = IdRegistry::Get();
    CAutoLock hold(r.lock);
    return r.Find(id, renderable) != r.entries.end();
}

}  // namespace System::Docking
