#include "docking/registry.h"

#include <map>

#include "docking/globals.h"
#include "support/auto_lock.h"

namespace System::Docking {

namespace {

using IdMap = std::multimap<std::wstring, IRenderable*>;

// The entry of that pair, or end. The caller holds the lock.
IdMap::iterator FindPair(IdMap& ids, const std::wstring& id, IRenderable* renderable) {
    auto [first, last] = ids.equal_range(id);
    for (auto it = first; it != last; ++it)
        if (it->second == renderable) return it;
    return ids.end();
}

}  // namespace

void AddRenderableId(const std::wstring& id, IRenderable* renderable) {
    auto& r = Globals().ids;
    CAutoLock hold(r.lock);
    // emplace puts an equal key after those already there.
    if (FindPair(r.entries, id, renderable) == r.entries.end()) r.entries.emplace(id, renderable);
}

void RemoveRenderableId(const std::wstring& id, IRenderable* renderable) {
    auto& r = Globals().ids;
    CAutoLock hold(r.lock);
    auto it = FindPair(r.entries, id, renderable);
    if (it != r.entries.end()) r.entries.erase(it);
}

IRenderable* FindRenderableById(const std::wstring& id) {
    auto& r = Globals().ids;
    CAutoLock hold(r.lock);
    auto it = r.entries.lower_bound(id);  // the first of equal ids
    return it == r.entries.end() || it->first != id ? nullptr : it->second;
}

bool HasRenderableId(const std::wstring& id, IRenderable* renderable) {
    auto& r = Globals().ids;
    CAutoLock hold(r.lock);
    return FindPair(r.entries, id, renderable) != r.entries.end();
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
