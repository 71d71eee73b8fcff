#include "docking/registry.h"

#include <map>

#include "platform/kernel.h"

namespace System::Docking {

namespace {

class IdRegistry {
public:
    IdRegistry() { InitializeCriticalSection(&lock_); }
    ~IdRegistry() { DeleteCriticalSection(&lock_); }
    IdRegistry(const IdRegistry&) = delete;
    IdRegistry& operator=(const IdRegistry&) = delete;

    static IdRegistry& Get() {
        static IdRegistry registry;
        return registry;
    }

    class Lock {
    public:
        explicit Lock(IdRegistry& r) : r_(r) { EnterCriticalSection(&r_.lock_); }
        ~Lock() { LeaveCriticalSection(&r_.lock_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        IdRegistry& r_;
    };

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

private:
    CRITICAL_SECTION lock_;
};

}  // namespace

void AddRenderableId(const std::wstring& id, IRenderable* renderable) {
    IdRegistry& r = IdRegistry::Get();
    IdRegistry::Lock lock(r);
    if (r.Find(id, renderable) == r.entries.end()) r.entries.emplace(id, renderable);
}

void RemoveRenderableId(const std::wstring& id, IRenderable* renderable) {
    IdRegistry& r = IdRegistry::Get();
    IdRegistry::Lock lock(r);
    auto it = r.Find(id, renderable);
    if (it != r.entries.end()) r.entries.erase(it);
}

IRenderable* FindRenderableById(const std::wstring& id) {
    IdRegistry& r = IdRegistry::Get();
    IdRegistry::Lock lock(r);
    auto it = r.entries.lower_bound(id);  // the first of equal ids
    return it == r.entries.end() || it->first != id ? nullptr : it->second;
}

bool HasRenderableId(const std::wstring& id, IRenderable* renderable) {
    IdRegistry& r = IdRegistry::Get();
    IdRegistry::Lock lock(r);
    return r.Find(id, renderable) != r.entries.end();
}

}  // namespace System::Docking
