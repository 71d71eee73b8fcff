// Kernel services: last error, handles, waits, events, semaphores, mutexes, critical sections,
// threads, the tick count, modules, version information, debug output and process tokens.
#pragma once

#include <windef.h>

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
HANDLE OpenSemaphoreW(DWORD access, BOOL inherit, LPCWSTR name);
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
HANDLE OpenMutexW(DWORD access, BOOL inherit, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);

// Named objects share one namespace across the kinds; names are compared exactly, case included.
// Opening a name that another kind holds fails with ERROR_INVALID_HANDLE, a name nobody holds
// with ERROR_FILE_NOT_FOUND.
#define EVENT_ALL_ACCESS 0x1F0003u
#define SEMAPHORE_ALL_ACCESS 0x1F0003u
#define MUTEX_ALL_ACCESS 0x1F0001u
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

// ---- Local memory and the system's message texts (platform/kernel32/messages.cpp) ----
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

// Files, folders, searches and device I/O control.

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_OVERLAPPED 0x40000000u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// Opens a file, a device by its interface path ("\\?\..." or "\\.\..."), or a serial port
// ("\\.\COMn", opened by one handle at a time; see <winbase.h>).
HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES attributes, DWORD creationDisposition, DWORD flags,
                   HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
               LPOVERLAPPED overlapped);
BOOL FlushFileBuffers(HANDLE file);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL DeleteFileW(LPCWSTR fileName);
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
BOOL RemoveDirectoryW(LPCWSTR path);
DWORD GetFileAttributesW(LPCWSTR fileName);

// "*" and "?" match without regard to case; "*.*" matches every name.
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW data);
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE find);

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer,
                     DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);

// The process heap.

#define HEAP_NO_SERIALIZE 0x00000001u
#define HEAP_GENERATE_EXCEPTIONS 0x00000004u
#define HEAP_ZERO_MEMORY 0x00000008u

HANDLE GetProcessHeap();
// NULL when the memory cannot be had (the last error is not set, as on the platform).
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID memory);

// Processes: starting programs (also as another user, through a token), opening running
// processes, their exit codes, and the tool-help snapshot of the process list.
//
// In this stage the programs a process runs are simulated: the machine records every process in
// its process table, and runs what a test (or the demo) registered for the image name, if
// anything (see machine/processes.h). The image must exist as a file on the machine.

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

// Private profile (INI) files written key by key.

// Writes key=value into the section of the file. A missing file is created in the ANSI code page;
// a file that begins with the UTF-16 byte-order mark (FF FE) is written in UTF-16LE. Section and
// key names are matched without regard to case (ASCII letters) and with blanks around them
// ignored; a found key's line is replaced in place by "key=value", a missing key is added after
// the last line of its section, a missing section is added at the end of the file as
// "[section]" followed by the key's line. Lines that are not changed keep their bytes. value
// null removes the key's line; key null removes the section with its lines. A file name without
// a folder names a file in the Windows folder. FALSE with the last error when the file cannot be
// read or written (its folder missing, or it is open without sharing).
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);

// Serial communications: a COM port's line settings (the device control block) and time-outs.
// A port is opened with CreateFileW("\\.\COMn") and written with WriteFile (<winbase.h>).

// Parity
#define NOPARITY 0
#define ODDPARITY 1
#define EVENPARITY 2
#define MARKPARITY 3
#define SPACEPARITY 4

// Stop bits
#define ONESTOPBIT 0
#define ONE5STOPBITS 1
#define TWOSTOPBITS 2

// fDtrControl
#define DTR_CONTROL_DISABLE 0x00
#define DTR_CONTROL_ENABLE 0x01
#define DTR_CONTROL_HANDSHAKE 0x02

// fRtsControl
#define RTS_CONTROL_DISABLE 0x00
#define RTS_CONTROL_ENABLE 0x01
#define RTS_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_TOGGLE 0x03

#define CBR_9600 9600
#define CBR_115200 115200

struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
using LPDCB = DCB*;
static_assert(sizeof(DCB) == 28);

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS*;

// The port's current settings. Fails with ERROR_INVALID_HANDLE for a handle that is not open and
// ERROR_INVALID_FUNCTION for one that is not a serial port.
BOOL GetCommState(HANDLE file, LPDCB dcb);
// Fails with ERROR_INVALID_PARAMETER for settings the port cannot take: a zero baud rate, a
// byte size outside 5..8, an unknown parity or stop-bit value, 1.5 stop bits with more than 5
// data bits or 2 stop bits with 5, or equal XON and XOFF characters while XON/XOFF is on.
BOOL SetCommState(HANDLE file, LPDCB dcb);
BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
