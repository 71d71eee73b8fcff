// The framework's temporary objects: a wrapper object made for a handle that has no permanent
// one (CWnd::FromHandle, CDC::FromHandle, CMenu::FromHandle, CFont::FromHandle). Each thread keeps
// its own; they are deleted, unbound first so that nothing is destroyed with them, when the
// thread's loop goes idle (CWinApp::OnIdle) or the thread ends.
#pragma once

#include <map>
#include <memory>

template <class Object, class Handle, auto Member>
class TemporaryObjects {
public:
    TemporaryObjects() = default;
    TemporaryObjects(const TemporaryObjects&) = delete;
    TemporaryObjects& operator=(const TemporaryObjects&) = delete;
    ~TemporaryObjects() { Clear(); }

    // The thread's temporary object for the handle, made on first use; null for a null handle.
    Object* For(Handle handle) {
        if (handle == nullptr) return nullptr;
        auto& slot = objects_[handle];
        if (!slot) {
            slot = std::make_unique<Object>();
            (*slot).*Member = handle;
        }
        return slot.get();
    }
    void Clear() {
        for (auto& [handle, object] : objects_) (*object).*Member = nullptr;
        objects_.clear();
    }
    std::size_t Size() const { return objects_.size(); }

private:
    std::map<Handle, std::unique_ptr<Object>> objects_;
};

// A wrapper's Attach and Detach of its one handle: Attach refuses null and a second handle.
template <class Handle>
int AttachHandle(Handle& held, Handle handle) {
    if (handle == nullptr || held != nullptr) return 0;
    held = handle;
    return 1;
}
template <class Handle>
Handle DetachHandle(Handle& held) {
    Handle handle = held;
    held = nullptr;
    return handle;
}
