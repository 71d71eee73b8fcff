// The process's table of kernel object handles. Handles are never reused while the process runs.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include <winbase.h>
#include "machine/object_table.h"

namespace sim {

class Waitable;

// A kernel object. Those a thread can wait on hand out their Waitable.
struct KObject {
    virtual ~KObject() = default;
    virtual Waitable* AsWaitable() { return nullptr; }
    // Called when the last handle to the object is closed.
    virtual void OnLastHandleClosed() {}
};

class HandleTable : public ObjectTable<KObject> {
public:
    HandleTable() : ObjectTable(0x1000) {}
    // The calling thread's process's table.
    static HandleTable& Get();

    // Add, Find and FindAs come from ObjectTable.
    // False when the handle is not open.
    bool Close(HANDLE h);
    std::size_t OpenCount();
    // Closes every handle (the process has ended).
    void CloseAll();
};

// Sets the thread's last error and returns the given value: `return Fail(FALSE, ERROR_X);`.
template <class T>
T Fail(T value, DWORD error) {
    ::SetLastError(error);
    return value;
}

}  // namespace sim
