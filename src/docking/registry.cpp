#include "docking/registry.h"

#include <map>

#include "docking/globals.h"
#include "support/auto_lock.h"

namespace System::Docking {

namespace {

using ByRenderable = decltype(IdEntries::byRenderable);

// The entry of that pair in the by-renderable index, or its end. The caller holds the lock.
ByRenderable::iterator FindPair(IdEntries& ids, const std::wstring& id,
                                const IRenderable* renderable) {
    auto [first, last] = ids.byRenderable.equal_range(renderable);
    for (auto it = first; it != last; ++it)
        if (it->second->first == id) return it;
    return ids.byRenderable.end();
}

}  // namespace

void AddRenderableId(const std::wstring& id, IRenderable* renderable) {
    auto& r = Globals().ids;
    CAutoLock hold(r.lock);
    if (FindPair(r.entries, id, renderable) != r.entries.byRenderable.end()) return;
    // emplace puts an equal key after those already there.
    const auto entry = r.entries.byId.emplace(id, renderable);
    r.entries.byRenderable.emplace(renderable, entry);
}

void RemoveRenderableId(const std::wstring& id, IRenderable* renderable) {
    auto& r = Globals().ids;
    CAutoLock hold(r.lock);
    auto it = FindPair(r.entries, id, renderable);
    if (it == r.entries.byRenderable.end()) return;
    r.entries.byId.erase(it->second);
    r.entries.byRenderable.erase(it);
}

IRenderable* FindRenderableById(const std::wstring& id) {
    auto& r = Globals().ids;
    CAutoLock hold(r.lock);
    auto it = r.entries.byId.lower_bound(id);  // the first of equal ids
    return it == r.entries.byId.end() || it->first != id ? nullptr : it->second;
}

bool HasRenderableId(const std::wstring& id, IRenderable* renderable) {
    auto& r = Globals().ids;
    CAutoLock hold(r.lock);
    return FindPair(r.entries, id, renderable) != r.entries.byRenderable.end();
}

void SetRenderableWindow(HWND window, IRenderable* renderable) {
    // A null handle names no window: an entry for it would only be found by callers that looked
    // up a window they do not have.
    if (window == nullptr) return;
    auto& r = Globals().windows;
    CAutoLock hold(r.lock);
    r.entries[window] = renderable;
}

void RemoveRenderableWindow(HWND window, IRenderable* renderable) {
    auto& r = Globals().windows;
    CAutoLock hold(r.lock);
    auto it = r.entries.find(window);
    if (it != r.entries.end() && it->second == renderable) r.entries.erase(it);
}

IRenderable* FindRenderableByWindow(HWND window) {
    auto& r = Globals().windows;
    CAutoLock hold(r.lock);
    auto it = r.entries.find(window);
    return it == r.entries.end() ? nullptr : it->second;
}

}  // namespace System::Docking
