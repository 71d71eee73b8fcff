// The machine's process table: the running program itself, the system's processes, those a test
// adds (for instance the logged-on user's shell, "EXPLORER.EXE"), and those the programs start.
// Each record keeps what the start asked for: image, command line and its items as the platform
// splits them, the token's user, desktop, show flag and creation flags.
//
// A started process runs what was registered for its image's file name, on a machine thread of
// its own, and ends when that returns; with nothing registered it runs until a test ends it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/handles.h"
#include "platform/wintypes.h"

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
    DWORD exitCode = 259;  // STILL_ACTIVE
};

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
        // Runs first on the new process's thread (the service manager marks it there).
        std::function<void()> onThreadStart;
        // Called once the process has ended, with its exit code.
        std::function<void(DWORD)> onEnd;
    };
    DWORD Start(const Launch& launch);
    // The image that a start would run, or empty (ERROR_FILE_NOT_FOUND).
    std::wstring ResolveImage(const wchar_t* applicationName, const std::wstring& commandLine);
    bool Running(DWORD pid);

    // The platform's rules for splitting a command line into items: blanks and tabs separate
    // items outside quotes; 2n backslashes before a quote give n backslashes and the quote
    // toggles quoting; 2n+1 give n and a literal quote; other backslashes are literal; "" inside
    // quotes gives a literal quote.
    static std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

private:
    void EndLocked(ProcessRecord& r, DWORD exitCode);
    std::wstring FindImage(const std::wstring& name);

    const Config& config_;
    std::mutex mu_;
    std::vector<ProcessRecord> records_;
    std::map<DWORD, std::function<void(DWORD)>> onEnd_;
    std::map<std::wstring, ProgramFn> programs_;  // key: lower-case image file name
    DWORD nextPid_;
    std::wstring ownUser_;
};

// A handle to a process: waitable, signalled once the process has ended.
// (The handle of a process's first thread is one too.)
struct ProcessObj : KObject {
    ProcessTable* table;
    DWORD pid;
    DWORD access;
    bool thread;
    ProcessObj(ProcessTable* t, DWORD p, DWORD a, bool isThread = false)
        : table(t), pid(p), access(a), thread(isThread) {}
    bool Waitable() const override { return true; }
    bool Signaled(DWORD) const override;
};

}  // namespace sim
