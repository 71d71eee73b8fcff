// The process's table of kernel object handles. Handles are never reused while the process runs.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/kernel.h"
#include "platform/sim/object_table.h"

namespace sim {

// A kernel object. Waitable objects answer Signaled() and take their share in Consume() when a
// wait on them is satisfied (an auto-reset event resets, a semaphore counts down). Both are called
// with WaitCore's mutex held.
struct KObject {
    virtual ~KObject() = default;
    virtual bool Waitable() const { return false; }
    virtual bool Signaled(DWORD threadId) const { return false; }
    virtual void Consume(DWORD threadId) {}
    // Called when the last handle to the object is closed.
    virtual void OnLastHandleClosed() {}
};

class HandleTable : public ObjectTable<KObject> {
public:
    HandleTable() : ObjectTable(0x1000) {}
    static HandleTable& Get();

    // Add, Find and FindAs come from ObjectTable.
    // False when the handle is not open.
    bool Close(HANDLE h);
    std::size_t OpenCount();
};

// Sets the thread's last error and returns the given value: `return Fail(FALSE, ERROR_X);`.
template <class T>
T Fail(T value, DWORD error) {
    ::SetLastError(error);
    return value;
}

}  // namespace sim
