// The machine's process table: the running program itself, the system's processes, those a test
// adds (for instance the logged-on user's shell, "EXPLORER.EXE"), and those the programs start.
// Each record keeps what the start asked for: image, command line and its items as the platform
// splits them, the token's user, desktop, show flag and creation flags.
//
// A started process runs what was registered for its image's file name, on a machine thread of
// its own, and ends when that returns; with nothing registered it runs until a test ends it.
#pragma once

#include <atomic>
#include <clocale>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "machine/gdi_objects.h"
#include "machine/handles.h"
#include "machine/threads.h"
#include "machine/waits.h"
#include <winres.h>
#include <windef.h>

class CWinApp;

namespace sim {

struct Config;

struct ProcessRecord {
    DWORD pid = 0;
    DWORD parentPid = 0;
    std::wstring imagePath;  // full machine path
    std::wstring imageName;  // its file name, as the snapshot shows it
    std::wstring commandLine;
    std::vector<std::wstring> argv;  // the command line split by the platform's rules
    std::wstring user;
    std::wstring desktop;  // as the start-up information gave it ("" when none)
    bool useShowWindow = false;
    WORD showWindow = 0;
    DWORD creationFlags = 0;
    bool running = true;
    DWORD exitCode = STILL_ACTIVE;
};

// A value that a process's threads read and write, each access under its own lock.
template <class T>
class Shared {
public:
    T Get() const {
        std::lock_guard<std::mutex> lk(mu_);
        return value_;
    }
    void Set(T value) {
        std::lock_guard<std::mutex> lk(mu_);
        value_ = std::move(value);
    }

private:
    mutable std::mutex mu_;
    T value_{};
};

// A process of the machine and everything it owns: its handle table, GDI objects, modules (in
// its handle table), C runtime locale, current folder, identity, token's user, service name and
// exit code. Its handle is signalled once it has ended: when its last thread is gone, or, for a
// process that runs nothing, when a test ends it.
struct ProcessRec : Waitable {
    ProcessRecord info;  // identity (fixed once started); running/exitCode under the kernel lock
    HandleTable handles;
    GdiTable gdi;

    // The image's folder, ending in a backslash.
    std::wstring Folder() const;

    // Per-process state that its threads share.
    std::wstring Locale() const;
    void SetLocale(const std::wstring& name);
    // The host C library's locale that the process's threads use ("C", or Unicode character
    // classes under the user's default), and a count of its changes.
    locale_t HostLocale() const;
    unsigned LocaleGeneration() const { return localeGeneration_.load(std::memory_order_acquire); }
    Shared<std::wstring> currentFolder;  // relative paths start here
    Shared<std::wstring> serviceName;    // the service the process runs for ("" when none)
    Shared<HINSTANCE> afxInstance;       // the framework's instance handle (AfxWinInit)
    Shared<CWinApp*> afxApp;             // the framework's application object (null: none)
    Shared<std::wstring> user;           // its token's user
    // The program's resources, as its start linked them (null: none).
    Shared<const resources::ModuleResources*> resources;

    // Called once the process has ended, with its exit code (the service manager's note).
    std::function<void(DWORD)> onEnd;

    // Kernel lock held for these.
    bool ended = false;
    bool terminating = false;
    bool runsThreads = false;  // started with a program (ends with its last thread)
    int liveThreads = 0;
    std::vector<ThreadRec*> threads;
    bool SignaledFor(const ThreadRec&, std::uint64_t) const override { return ended; }
    // Ends the process (kernel lock held): marks it ended and wakes its waiters.
    void EndLocked(DWORD exitCode);
    // Then, without the lock: closes its handles and calls onEnd.
    void AfterEnd();

private:
    mutable std::mutex mu_;
    std::wstring locale_ = L"C";
    std::atomic<unsigned> localeGeneration_{0};
};

// The calling thread's process (the machine's own program for threads that belong to none).
ProcessRec& CurrentProcess();
std::shared_ptr<ProcessRec> CurrentProcessShared();

// What a program registered for an image gets when a process of it starts.
struct ProcessRun {
    DWORD pid;
    std::wstring imagePath;
    std::wstring commandLine;
    std::vector<std::wstring> argv;
};
using ProgramFn = std::function<DWORD(const ProcessRun&)>;

// Calls a program's wide main with the run's arguments.
DWORD RunMain(const ProcessRun& run, int (*main)(int argc, wchar_t** argv));

// A process's token: its access and the user it stands for.
struct TokenObj : KObject {
    DWORD access;
    std::wstring user;
    explicit TokenObj(DWORD a, std::wstring u = L"") : access(a), user(std::move(u)) {}
};

// The user of the process behind a process handle (or the pseudo handle of the running
// program); false when the handle is no process handle.
bool ProcessHandleUser(HANDLE process, std::wstring* user);

class ProcessTable {
public:
    explicit ProcessTable(const Config& config);

    // ---- Test controls ----
    void RegisterProgram(const std::wstring& imageName, ProgramFn program);
    // Adds a running process that runs nothing (its image need not exist). Returns its id.
    DWORD AddProcess(const std::wstring& imagePath, const std::wstring& user,
                     const std::wstring& desktop = L"winsta0\\default");
    // Ends a process that runs nothing registered.
    void EndProcess(DWORD pid, DWORD exitCode);
    // The user the running program itself runs as (the pseudo handle's token).
    void SetOwnUser(const std::wstring& user);
    std::wstring OwnUser();
    // The running program's identity when another machine started it (a machine server): its
    // id, image, command line, token's user ("" keeps the configured one), desktop and show flag.
    // Called before any other thread of the program runs.
    void SetOwnIdentity(DWORD pid, const std::wstring& imagePath, const std::wstring& commandLine,
                        const std::wstring& user, const std::wstring& desktop, bool useShowWindow,
                        WORD showWindow);

    // ---- What happened ----
    std::vector<ProcessRecord> All();
    std::vector<ProcessRecord> Running();
    // Processes whose image file name is this one (case ignored), in start order.
    std::vector<ProcessRecord> WithImage(const std::wstring& imageName);
    std::optional<ProcessRecord> Find(DWORD pid);
    // Waits on the machine clock until `count` processes of the image have been started (or
    // added) since the machine came up.
    bool WaitForStarts(const std::wstring& imageName, std::size_t count, DWORD timeoutMs);
    // Waits on the machine clock until the process has ended.
    bool WaitForEnd(DWORD pid, DWORD timeoutMs);

    // ---- For the platform layer ----
    struct Launch {
        std::wstring imagePath;
        std::wstring commandLine;
        std::wstring user;
        std::wstring desktop;
        bool useShowWindow = false;
        WORD showWindow = 0;
        DWORD creationFlags = 0;
        DWORD parentPid = 0;
        // The service the process runs for (the service manager starts it).
        std::wstring serviceName;
        // Called once the process has ended, with its exit code.
        std::function<void(DWORD)> onEnd;
    };
    // Starts the process; its first thread runs the program registered for the image, if any.
    std::shared_ptr<ProcessRec> Start(const Launch& launch);
    // The image that a start would run, or empty (ERROR_FILE_NOT_FOUND).
    std::wstring ResolveImage(const wchar_t* applicationName, const std::wstring& commandLine);
    bool Running(DWORD pid);
    std::shared_ptr<ProcessRec> FindProcess(DWORD pid);
    // The machine's own program (the tests' or the demo's threads belong to it).
    std::shared_ptr<ProcessRec> Self();
    // Ends a process: it is marked ending, and each of its threads unwinds at its next wait
    // (one in a wait now at once); it has ended once the last one is gone. A process that runs
    // nothing ends at once.
    void Terminate(ProcessRec& process, DWORD exitCode);

    // The platform's rules for splitting a command line into items: blanks and tabs separate
    // items outside quotes; 2n backslashes before a quote give n backslashes and the quote
    // toggles quoting; 2n+1 give n and a literal quote; other backslashes are literal; "" inside
    // quotes gives a literal quote.
    static std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

private:
    struct State {
        std::vector<std::shared_ptr<ProcessRec>> records;
        std::map<std::wstring, ProgramFn> programs;  // key: lower-case image file name
        DWORD nextPid = 0;
    };
    std::shared_ptr<ProcessRec> Make(const ProcessRecord& info, std::function<void(DWORD)> onEnd);
    std::wstring FindImage(const std::wstring& name);
    static ProcessRecord Snapshot(const ProcessRec& p);

    const Config& config_;
    Monitor<State> state_;
    std::shared_ptr<ProcessRec> self_;
};

// A handle to a process: waitable, signalled once the process has ended.
// (The handle of a process's first thread is one too.)
struct ProcessObj : KObject {
    std::shared_ptr<ProcessRec> process;
    DWORD access;
    bool thread;
    ProcessObj(std::shared_ptr<ProcessRec> p, DWORD a, bool isThread = false)
        : process(std::move(p)), access(a), thread(isThread) {}
    Waitable* AsWaitable() override { return process.get(); }
};

}  // namespace sim
