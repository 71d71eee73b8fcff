// A program for the machine server's kernel tests. Its first argument says what it does:
//   mixwait any|all LOCAL_MS HOW READY
//       creates the server's semaphore "mixed sem" (count 0 of 1) and an event of its own; a
//       thread of its own then, after LOCAL_MS of machine time (-1: never), sets that event
//       (HOW "event") or posts the main thread a message (HOW "post"); sets the server's event
//       READY and waits for {semaphore, own event} (any or all; with "post", a message wait for
//       posted messages) for at most 20 s; prints "wait <result> at <tick>", then the result of
//       a zero wait on the semaphore: "left <result>"
//   config               prints the machine it runs on: "version <major>.<minor>.<build>
//                        <platform> <service pack>", "acp <code page> lcid <locale> ui
//                        <language>", "screen <width>x<height>", "hour <local hour>"
//   holdfile PATH SHARE READY QUIT  opens PATH for reading and writing with the sharing SHARE
//                        (prints "held" or "error <code>"), sets the server's event READY, waits
//                        for the event QUIT ("never": for ever), closes it
//   openfile PATH        opens PATH for reading, sharing all: "opened" or "error <code>"
//   deletefile PATH      deletes PATH: "deleted" or "error <code>"
//   say TEXT             writes "TEXT" to its console and "debug TEXT" to the debugger
//   open KIND NAME       opens the server's object NAME (KIND event, mutex or semaphore); prints
//                        "opened" or "error <code>"
#include <windows.h>

#include <corecrt.h>

#include <string>

namespace {

struct Own {
    HANDLE event;
    DWORD mainThread;
    DWORD ms;
    bool post;
};

DWORD WINAPI Later(LPVOID arg) {
    auto* own = static_cast<Own*>(arg);
    Sleep(own->ms);
    if (own->post)
        PostThreadMessageW(own->mainThread, WM_USER, 0, 0);
    else
        SetEvent(own->event);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"mixwait" && argc == 6) {
        bool all = std::wstring(argv[2]) == L"all";
        int localMs = _wtoi(argv[3]);
        bool post = std::wstring(argv[4]) == L"post";
        HANDLE sem = CreateSemaphoreW(nullptr, 0, 1, L"mixed sem");
        static Own own{CreateEventW(nullptr, FALSE, FALSE, nullptr), GetCurrentThreadId(), 0, post};
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the main thread's queue exists
        if (localMs >= 0) {
            own.ms = static_cast<DWORD>(localMs);
            CloseHandle(CreateThread(nullptr, 0, Later, &own, 0, nullptr));
        }
        HANDLE ready = OpenEventW(EVENT_ALL_ACCESS, FALSE, argv[5]);
        SetEvent(ready);
        CloseHandle(ready);
        HANDLE handles[2] = {sem, own.event};
        DWORD r = post ? MsgWaitForMultipleObjects(1, handles, all, 20000, QS_POSTMESSAGE)
                       : WaitForMultipleObjects(2, handles, all, 20000);
        crt::wprintf(L"wait %lu at %lu\n", static_cast<unsigned long>(r),
                     static_cast<unsigned long>(GetTickCount()));
        crt::wprintf(L"left %lu\n", static_cast<unsigned long>(WaitForSingleObject(sem, 0)));
        return 0;
    }
    if (mode == L"config" && argc == 2) {
        OSVERSIONINFOW v = {};
        v.dwOSVersionInfoSize = sizeof v;
        GetVersionExW(&v);
        crt::wprintf(L"version %lu.%lu.%lu %lu %s\n", static_cast<unsigned long>(v.dwMajorVersion),
                     static_cast<unsigned long>(v.dwMinorVersion),
                     static_cast<unsigned long>(v.dwBuildNumber),
                     static_cast<unsigned long>(v.dwPlatformId), v.szCSDVersion);
        crt::wprintf(L"acp %u lcid %04lx ui %04x\n", GetACP(),
                     static_cast<unsigned long>(GetUserDefaultLCID()),
                     static_cast<unsigned>(GetUserDefaultUILanguage()));
        crt::wprintf(L"screen %dx%d\n", GetSystemMetrics(SM_CXSCREEN),
                     GetSystemMetrics(SM_CYSCREEN));
        SYSTEMTIME t = {};
        GetLocalTime(&t);
        crt::wprintf(L"hour %u\n", static_cast<unsigned>(t.wHour));
        return 0;
    }
    if (mode == L"holdfile" && argc == 6) {
        HANDLE file =
            CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, static_cast<DWORD>(_wtoi(argv[3])),
                        nullptr, OPEN_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            crt::wprintf(L"error %lu\n", static_cast<unsigned long>(GetLastError()));
        else
            crt::wprintf(L"held\n");
        HANDLE ready = OpenEventW(EVENT_ALL_ACCESS, FALSE, argv[4]);
        SetEvent(ready);
        CloseHandle(ready);
        HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, argv[5]);
        WaitForSingleObject(quit, INFINITE);
        CloseHandle(file);
        return 0;
    }
    if ((mode == L"openfile" || mode == L"deletefile") && argc == 3) {
        bool open = mode == L"openfile";
        HANDLE file = open ? CreateFileW(argv[2], GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, 0, nullptr)
                           : INVALID_HANDLE_VALUE;
        bool done = open ? file != INVALID_HANDLE_VALUE : DeleteFileW(argv[2]) != FALSE;
        if (!done) {
            crt::wprintf(L"error %lu\n", static_cast<unsigned long>(GetLastError()));
            return 1;
        }
        crt::wprintf(open ? L"opened\n" : L"deleted\n");
        if (open) CloseHandle(file);
        return 0;
    }
    if (mode == L"say" && argc == 3) {
        crt::wprintf(L"%s\n", argv[2]);
        OutputDebugStringW((std::wstring(L"debug ") + argv[2]).c_str());
        return 0;
    }
    if (mode == L"open" && argc == 4) {
        std::wstring kind = argv[2];
        HANDLE h = kind == L"event"   ? OpenEventW(EVENT_ALL_ACCESS, FALSE, argv[3])
                   : kind == L"mutex" ? OpenMutexW(SYNCHRONIZE, FALSE, argv[3])
                                      : OpenSemaphoreW(SEMAPHORE_ALL_ACCESS, FALSE, argv[3]);
        if (h == nullptr) {
            crt::wprintf(L"error %lu\n", static_cast<unsigned long>(GetLastError()));
            return 1;
        }
        crt::wprintf(L"opened\n");
        CloseHandle(h);
        return 0;
    }
    return 1;
}
