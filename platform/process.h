// Processes: starting programs (also as another user, through a token), opening running
// processes, their exit codes, and the tool-help snapshot of the process list.
//
// In this stage the programs a process runs are simulated: the machine records every process in
// its process table, and runs what a test (or the demo) registered for the image name, if
// anything (see sim/processes.h). The image must exist as a file on the machine.
#pragma once

#include "platform/kernel.h"
#include "platform/wintypes.h"

#define PROCESS_TERMINATE 0x0001u
#define PROCESS_QUERY_INFORMATION 0x0400u
#define PROCESS_ALL_ACCESS 0x1F0FFFu

// Creation flags.
#define DEBUG_PROCESS 0x00000001u
#define CREATE_NEW_CONSOLE 0x00000010u
#define NORMAL_PRIORITY_CLASS 0x00000020u
#define CREATE_UNICODE_ENVIRONMENT 0x00000400u
#define CREATE_NO_WINDOW 0x08000000u

// Start-up information.
#define STARTF_USESHOWWINDOW 0x00000001u
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWDEFAULT 10

struct STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
using LPSTARTUPINFOW = STARTUPINFOW*;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// applicationName null: the image is the command line's first item (quoted, or for an unquoted
// line with blanks the first prefix ending at a blank that names an existing file, ".exe" added
// when the name has no extension). A bare name is looked for in the program's folder, then in
// the system folder. startup->cb must be sizeof(STARTUPINFOW).
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine,
                    LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCWSTR currentDirectory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info);
// The same in the security context of the token's user.
BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                          LPSECURITY_ATTRIBUTES processAttributes,
                          LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                          DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                          LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info);
// ERROR_INVALID_PARAMETER for an id of no running process. The handle can be waited on (it is
// signalled when the process has ended) and opens the process's token (OpenProcessToken).
HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
// Ends a process (the handle needs PROCESS_TERMINATE): each of its threads unwinds at its next
// wait, one waiting now at once, its abandoned mutexes go to their next waiters, and its handle
// is signalled once the last thread is gone. A program cannot run code of its own in a thread
// being ended (destructors of the unwound frames run; a wait inside them fails at once).
BOOL TerminateProcess(HANDLE process, UINT exitCode);
// Ends the calling process as TerminateProcess does; does not return.
[[noreturn]] void ExitProcess(UINT exitCode);

// ---- Tool-help snapshots ----
#define TH32CS_SNAPPROCESS 0x00000002u
#define ERROR_BAD_LENGTH 24L

struct PROCESSENTRY32W {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];  // the image's file name
};
using LPPROCESSENTRY32W = PROCESSENTRY32W*;

// The running processes at the time of the call. INVALID_HANDLE_VALUE for other kinds.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
// entry->dwSize must be sizeof(PROCESSENTRY32W). FALSE with ERROR_NO_MORE_FILES after the last.
BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry);
BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry);
