// The hook library: the interceptable window functions' public entries, each dispatching through
// an atomic slot, and the transaction that swaps the slots (hooks.h).
#include <detours.h>

#include <array>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/detours/api_table.h"
#include <winbase.h>

namespace {

enum Slot : std::size_t {
    kGetDC,
    kGetDCEx,
    kReleaseDC,
    kShowWindow,
    kShowCaret,
    kHideCaret,
    kSetCaretPos,
    kCreateCaret,
    kDestroyCaret,
    kSlotCount
};

template <class F>
void* Entry(F* function) {
    return reinterpret_cast<void*>(function);
}

struct Function {
    void* publicEntry;           // what the program names: &::GetDC
    void* realEntry;             // the implementation, without any hook
    std::atomic<void*> current;  // where the public entry goes now
};

std::array<Function, kSlotCount>& Table() {
    static std::array<Function, kSlotCount> table{{
        {Entry(&::GetDC), Entry(&api_real::GetDC), Entry(&api_real::GetDC)},
        {Entry(&::GetDCEx), Entry(&api_real::GetDCEx), Entry(&api_real::GetDCEx)},
        {Entry(&::ReleaseDC), Entry(&api_real::ReleaseDC), Entry(&api_real::ReleaseDC)},
        {Entry(&::ShowWindow), Entry(&api_real::ShowWindow), Entry(&api_real::ShowWindow)},
        {Entry(&::ShowCaret), Entry(&api_real::ShowCaret), Entry(&api_real::ShowCaret)},
        {Entry(&::HideCaret), Entry(&api_real::HideCaret), Entry(&api_real::HideCaret)},
        {Entry(&::SetCaretPos), Entry(&api_real::SetCaretPos), Entry(&api_real::SetCaretPos)},
        {Entry(&::CreateCaret), Entry(&api_real::CreateCaret), Entry(&api_real::CreateCaret)},
        {Entry(&::DestroyCaret), Entry(&api_real::DestroyCaret), Entry(&api_real::DestroyCaret)},
    }};
    return table;
}

template <class F>
F* Current(Slot slot) {
    return reinterpret_cast<F*>(Table()[slot].current.load(std::memory_order_acquire));
}

struct Change {
    Slot slot;
    PVOID* pointer;
    void* detour;
    bool attach;
};

// The one open transaction of the process.
struct Transaction {
    std::mutex lock;
    bool open = false;
    std::thread::id owner;
    LONG error = NO_ERROR;  // the first queued call that failed
    std::vector<Change> changes;
    std::atomic<DWORD> failNextCommit{0};
};

Transaction& Open() {
    static Transaction t;
    return t;
}

bool OwnedByCaller(const Transaction& t) {
    return t.open && t.owner == std::this_thread::get_id();
}

// The slot of the function that `entry` names (its public or its real entry), or kSlotCount.
Slot SlotOf(void* entry) {
    for (std::size_t i = 0; i < kSlotCount; ++i)
        if (Table()[i].publicEntry == entry || Table()[i].realEntry == entry)
            return static_cast<Slot>(i);
    return kSlotCount;
}

bool Queued(const Transaction& t, Slot slot) {
    for (const Change& c : t.changes)
        if (c.slot == slot) return true;
    return false;
}

LONG Queue(PVOID* pointer, PVOID detour, bool attach) {
    Transaction& t = Open();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!OwnedByCaller(t)) return ERROR_INVALID_OPERATION;
    LONG error = NO_ERROR;
    Slot slot = kSlotCount;
    if (pointer == nullptr || *pointer == nullptr || detour == nullptr) {
        error = ERROR_INVALID_PARAMETER;
    } else if ((slot = SlotOf(*pointer)) == kSlotCount) {
        error = ERROR_INVALID_BLOCK;
    } else if (Queued(t, slot)) {
        error = ERROR_INVALID_OPERATION;
    } else {
        Function& f = Table()[slot];
        void* now = f.current.load(std::memory_order_acquire);
        if (attach && now != f.realEntry) error = ERROR_INVALID_OPERATION;
        // A detach names the hook that is attached and the real entry that the attach gave.
        if (!attach && (now != detour || *pointer != f.realEntry)) error = ERROR_INVALID_BLOCK;
    }
    if (error != NO_ERROR) {
        if (t.error == NO_ERROR) t.error = error;
        return error;
    }
    t.changes.push_back(Change{slot, pointer, detour, attach});
    return NO_ERROR;
}

// Ends the transaction (the caller holds its lock).
void Close(Transaction& t) {
    t.open = false;
    t.error = NO_ERROR;
    t.changes.clear();
}

}  // namespace

// ---- The public entries ----

HDC GetDC(HWND window) {
    return Current<decltype(api_real::GetDC)>(kGetDC)(window);
}

HDC GetDCEx(HWND window, HRGN clip, DWORD flags) {
    return Current<decltype(api_real::GetDCEx)>(kGetDCEx)(window, clip, flags);
}

int ReleaseDC(HWND window, HDC dc) {
    return Current<decltype(api_real::ReleaseDC)>(kReleaseDC)(window, dc);
}

BOOL ShowWindow(HWND window, int command) {
    return Current<decltype(api_real::ShowWindow)>(kShowWindow)(window, command);
}

BOOL ShowCaret(HWND window) {
    return Current<decltype(api_real::ShowCaret)>(kShowCaret)(window);
}

BOOL HideCaret(HWND window) {
    return Current<decltype(api_real::HideCaret)>(kHideCaret)(window);
}

BOOL SetCaretPos(int x, int y) {
    return Current<decltype(api_real::SetCaretPos)>(kSetCaretPos)(x, y);
}

BOOL CreateCaret(HWND window, HBITMAP bitmap, int width, int height) {
    return Current<decltype(api_real::CreateCaret)>(kCreateCaret)(window, bitmap, width, height);
}

BOOL DestroyCaret() {
    return Current<decltype(api_real::DestroyCaret)>(kDestroyCaret)();
}

// ---- The transaction ----

BOOL DetourRestoreAfterWith() {
    return TRUE;
}

LONG DetourTransactionBegin() {
    Transaction& t = Open();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.open) return ERROR_INVALID_OPERATION;
    t.open = true;
    t.owner = std::this_thread::get_id();
    return NO_ERROR;
}

LONG DetourUpdateThread(HANDLE) {
    Transaction& t = Open();
    std::lock_guard<std::mutex> guard(t.lock);
    return OwnedByCaller(t) ? NO_ERROR : ERROR_INVALID_OPERATION;
}

LONG DetourAttach(PVOID* pointer, PVOID detour) {
    return Queue(pointer, detour, true);
}

LONG DetourDetach(PVOID* pointer, PVOID detour) {
    return Queue(pointer, detour, false);
}

LONG DetourTransactionCommit() {
    Transaction& t = Open();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!OwnedByCaller(t)) return ERROR_INVALID_OPERATION;
    LONG error = t.error;
    DWORD injected = t.failNextCommit.exchange(0);
    if (error == NO_ERROR && injected != 0) error = static_cast<LONG>(injected);
    if (error == NO_ERROR) {
        for (const Change& c : t.changes) {
            Function& f = Table()[c.slot];
            if (c.attach) {
                *c.pointer = f.realEntry;
                f.current.store(c.detour, std::memory_order_release);
            } else {
                f.current.store(f.realEntry, std::memory_order_release);
                *c.pointer = f.publicEntry;
            }
        }
    }
    Close(t);
    return error;
}

LONG DetourTransactionAbort() {
    Transaction& t = Open();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!OwnedByCaller(t)) return ERROR_INVALID_OPERATION;
    Close(t);
    return NO_ERROR;
}

namespace api_hooks {

void FailNextCommit(DWORD error) {
    Open().failNextCommit.store(error);
}

int AttachedCount() {
    int n = 0;
    for (const Function& f : Table())
        if (f.current.load(std::memory_order_acquire) != f.realEntry) ++n;
    return n;
}

}  // namespace api_hooks
