// The hook library: a transaction that swaps the entries of the window functions that a program
// may intercept for the whole process (GetDC, GetDCEx, ReleaseDC, ShowWindow, ShowCaret,
// HideCaret, SetCaretPos, CreateCaret, DestroyCaret).
//
// Each of those functions dispatches through an atomic entry; every caller in the process,
// the layer's own controls included, reaches the current entry. A transaction collects attaches
// and detaches and applies them all at its commit, or none:
//
//   DetourRestoreAfterWith();
//   DetourTransactionBegin();
//   DetourUpdateThread(GetCurrentThread());
//   DetourAttach(reinterpret_cast<PVOID*>(&realGetDC), reinterpret_cast<PVOID>(MyGetDC));
//   DetourTransactionCommit();
//
// Before the commit `realGetDC` holds the function's entry (&GetDC); after it, the entry that
// reaches the real function without any hook, which stays reachable there for the hook to call.
// Detaching takes that entry back and restores &GetDC in the variable.
//
// The layer cannot patch code: only the functions above can be attached; any other target fails
// the transaction with ERROR_INVALID_BLOCK. One attach per function (a second detour on a function
// already attached fails with ERROR_INVALID_OPERATION).
#pragma once

#include <windef.h>

// Nothing to restore here (no helper process prepares this one): TRUE.
BOOL DetourRestoreAfterWith();
// Opens the process's transaction for the calling thread: NO_ERROR, or ERROR_INVALID_OPERATION
// while a transaction is open.
LONG DetourTransactionBegin();
// Threads need no suspending (an entry changes in one atomic store): NO_ERROR inside the calling
// thread's transaction, ERROR_INVALID_OPERATION outside it.
LONG DetourUpdateThread(HANDLE thread);
// Queues a hook of the function that *pointer names. NO_ERROR, or the error that the commit will
// then report: ERROR_INVALID_OPERATION outside the thread's transaction or on a function already
// attached, ERROR_INVALID_PARAMETER for a null pointer or detour, ERROR_INVALID_BLOCK for a
// function that cannot be hooked.
LONG DetourAttach(PVOID* pointer, PVOID detour);
// Queues the removal of `detour`; *pointer must hold the real entry that the attach gave.
LONG DetourDetach(PVOID* pointer, PVOID detour);
// Applies every queued change and ends the transaction: NO_ERROR. When a queued call failed, or
// the commit fails, nothing changes and the error is returned.
LONG DetourTransactionCommit();
// Ends the transaction without changing anything.
LONG DetourTransactionAbort();
