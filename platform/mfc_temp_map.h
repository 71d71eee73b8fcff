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

    // The thread's temporary object for the handle, made on first use.
    Object* For(Handle handle) {
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
