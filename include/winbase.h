// Kernel services: last error, handles, waits, events, semaphores, mutexes, critical sections,
// threads, the tick count, modules, version information, debug output and process tokens.
#pragma once

#include "platform/wintypes.h"

// ---- Last error and handles ----
DWORD GetLastError();
void SetLastError(DWORD error);
BOOL CloseHandle(HANDLE handle);

// ---- Time ----
DWORD GetTickCount();
ULONGLONG GetTickCount64();
void Sleep(DWORD milliseconds);

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
void GetLocalTime(SYSTEMTIME* time);

// ---- Waits ----
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64
#define ERROR_TOO_MANY_POSTS 298L
#define ERROR_NOT_OWNER 288L
#define ERROR_PROCESS_ABORTED 1067L

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// ---- I/O completion ports ----
// Packets come out in the order they were posted. Only ports of their own are made here
// (fileHandle INVALID_HANDLE_VALUE, no existing port): the machine's files complete every
// operation at once, so associating one with a port fails (ERROR_INVALID_PARAMETER). The
// concurrency is recorded; the host schedules the threads that take packets.
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;
HANDLE CreateIoCompletionPort(HANDLE fileHandle, HANDLE existingPort, ULONG_PTR key,
                              DWORD concurrency);
BOOL PostQueuedCompletionStatus(HANDLE port, DWORD bytes, ULONG_PTR key, LPOVERLAPPED overlapped);
// FALSE with *overlapped null: WAIT_TIMEOUT once the time has passed, ERROR_ABANDONED_WAIT_0
// when the port's handle was closed during the wait.
BOOL GetQueuedCompletionStatus(HANDLE port, LPDWORD bytes, PULONG_PTR key, LPOVERLAPPED* overlapped,
                               DWORD milliseconds);

// ---- Events, semaphores, mutexes ----
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                    LPCWSTR name);
HANDLE OpenEventW(DWORD access, BOOL inherit, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
HANDLE CreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initialCount, LONG maximumCount,
                        LPCWSTR name);
BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount);
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);

#define EVENT_ALL_ACCESS 0x1F0003u
#define SYNCHRONIZE 0x00100000u

// ---- Critical sections (re-entrant) ----
struct CRITICAL_SECTION {
    void* impl;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
void InitializeCriticalSection(LPCRITICAL_SECTION cs);
void DeleteCriticalSection(LPCRITICAL_SECTION cs);
void EnterCriticalSection(LPCRITICAL_SECTION cs);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs);
void LeaveCriticalSection(LPCRITICAL_SECTION cs);

// ---- Threads and processes ----
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);
#define CREATE_SUSPENDED 0x00000004u
#define STILL_ACTIVE 259u

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags, LPDWORD threadId);
DWORD ResumeThread(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD GetCurrentThreadId();
HANDLE GetCurrentProcess();
DWORD GetCurrentProcessId();
// The pseudo handle (-2) that stands for the calling thread.
HANDLE GetCurrentThread();
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF
// The priority is recorded (GetThreadPriority reads it back); the machine's threads are
// scheduled by the host regardless of it.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
// The running program's command line: its quoted path.
LPWSTR GetCommandLineW();

// ---- Modules ----
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
// Null: the running program's own module handle. Names are not served (ERROR_MOD_NOT_FOUND).
HMODULE GetModuleHandleW(LPCWSTR moduleName);
HMODULE LoadLibraryW(LPCWSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

// ---- Version and system information ----
struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
using LPOSVERSIONINFOW = OSVERSIONINFOW*;
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
BOOL GetVersionExW(LPOSVERSIONINFOW info);

struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
using LPSYSTEM_INFO = SYSTEM_INFO*;
#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_ARCHITECTURE_IA64 6
#define PROCESSOR_ARCHITECTURE_AMD64 9
void GetSystemInfo(LPSYSTEM_INFO info);
// Reached through GetProcAddress on "Kernel32.dll"; present from version 5.1 on.
using PGNSI = void (*)(LPSYSTEM_INFO);

// ---- Debug output ----
void OutputDebugStringW(LPCWSTR text);
void OutputDebugStringA(LPCSTR text);

// ---- Local memory and the system's message texts (platform/messages.cpp) ----
using HLOCAL = HANDLE;
#define LMEM_FIXED 0x0000u
#define LMEM_ZEROINIT 0x0040u
#define LPTR 0x0040u
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
// NULL on success.
HLOCAL LocalFree(HLOCAL memory);

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_STRING 0x00000400u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000u
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FFu
#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_SYS_DEFAULT 0x02
#define MAKELANGID(primary, sub) \
    static_cast<WORD>((static_cast<WORD>(sub) << 10) | static_cast<WORD>(primary))
#define ERROR_MR_MID_NOT_FOUND 317L
#define ERROR_RESOURCE_LANG_NOT_FOUND 1815L
// Only FORMAT_MESSAGE_FROM_SYSTEM is served: the text of a system error code, ending in CR LF,
// from the machine's one table of message texts (English; a language other than neutral,
// default or English fails with ERROR_RESOURCE_LANG_NOT_FOUND). An unknown code fails with
// ERROR_MR_MID_NOT_FOUND. With FORMAT_MESSAGE_ALLOCATE_BUFFER, buffer is really an LPWSTR* that
// receives text allocated with LocalAlloc (free it with LocalFree), and size is the least number
// of characters to allocate. Returns the number of characters without the terminator, or 0.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, void* arguments);

// ---- Tokens and privileges ----
#define TOKEN_ADJUST_PRIVILEGES 0x0020u
#define TOKEN_QUERY 0x0008u
#define TOKEN_DUPLICATE 0x0002u
#define TOKEN_ASSIGN_PRIMARY 0x0001u
#define TOKEN_ALL_ACCESS 0xF01FFu
#define SE_PRIVILEGE_ENABLED 0x00000002u
#define SE_DEBUG_NAME L"SeDebugPrivilege"
#define SE_SHUTDOWN_NAME L"SeShutdownPrivilege"

struct LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
};
struct TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
};
using PTOKEN_PRIVILEGES = TOKEN_PRIVILEGES*;

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, LUID* luid);
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                           DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                           PDWORD returnLength);
