#include "platform/sim/windows.h"

#include <algorithm>

#include "platform/user.h"

namespace sim {

namespace {
ULONG_PTR Key(HWND h) {
    return reinterpret_cast<ULONG_PTR>(h);
}
}  // namespace

HWND WindowTable::Create(const WindowSpec& spec) {
    std::lock_guard<std::mutex> lk(mu_);
    if (spec.parent != nullptr && !windows_.count(Key(spec.parent))) return nullptr;
    ULONG_PTR value = next_;
    next_ += 2;
    HWND h = reinterpret_cast<HWND>(value);
    windows_[value] = Record{spec, {}, order_++};
    if (spec.parent != nullptr) windows_[Key(spec.parent)].children.push_back(h);
    return h;
}

void WindowTable::DestroyLocked(HWND hwnd) {
    auto it = windows_.find(Key(hwnd));
    if (it == windows_.end()) return;
    std::vector<HWND> children = it->second.children;
    for (HWND c : children) DestroyLocked(c);
    HWND parent = it->second.spec.parent;
    windows_.erase(Key(hwnd));
    auto p = windows_.find(Key(parent));
    if (p != windows_.end()) {
        auto& v = p->second.children;
        v.erase(std::remove(v.begin(), v.end(), hwnd), v.end());
    }
}

bool WindowTable::Destroy(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    if (!windows_.count(Key(hwnd))) return false;
    DestroyLocked(hwnd);
    return true;
}

bool WindowTable::Exists(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    return hwnd != nullptr && windows_.count(Key(hwnd)) > 0;
}

std::optional<WindowInfo> WindowTable::Get(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = windows_.find(Key(hwnd));
    if (it == windows_.end()) return std::nullopt;
    return WindowInfo{hwnd, it->second.spec};
}

void WindowTable::SetVisible(HWND hwnd, bool visible) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = windows_.find(Key(hwnd));
    if (it != windows_.end()) it->second.spec.visible = visible;
}

bool WindowTable::IsVisible(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    for (HWND h = hwnd; h != nullptr;) {
        auto it = windows_.find(Key(h));
        if (it == windows_.end() || !it->second.spec.visible) return false;
        h = it->second.spec.parent;
    }
    return hwnd != nullptr;
}

std::vector<HWND> WindowTable::TopLevel() {
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<std::pair<std::uint64_t, HWND>> top;
    for (const auto& [key, r] : windows_)
        if (r.spec.parent == nullptr) top.emplace_back(r.order, reinterpret_cast<HWND>(key));
    std::sort(top.begin(), top.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<HWND> out;
    for (const auto& t : top) out.push_back(t.second);
    return out;
}

void WindowTable::DescendantsLocked(HWND hwnd, std::vector<HWND>& out) {
    auto it = windows_.find(Key(hwnd));
    if (it == windows_.end()) return;
    for (HWND c : it->second.children) {
        out.push_back(c);
        DescendantsLocked(c, out);
    }
}

std::vector<HWND> WindowTable::Descendants(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<HWND> out;
    DescendantsLocked(hwnd, out);
    return out;
}

bool WindowTable::Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = windows_.find(Key(hwnd));
    if (it == windows_.end()) return false;
    posted_.push_back({hwnd, message, wParam, lParam});
    // A system dialog handles its messages at once: closing it takes its controls along.
    if (it->second.spec.systemWindow && message == WM_CLOSE) DestroyLocked(hwnd);
    return true;
}

std::vector<PostedMessage> WindowTable::Posted() {
    std::lock_guard<std::mutex> lk(mu_);
    return posted_;
}

}  // namespace sim
