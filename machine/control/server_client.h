// A control client of a machine server (machine/server/): tests and the demo start a server for
// a machine folder, start programs on it as host processes, wait for them, and stop it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {
struct Config;
}

namespace sim::control {

inline constexpr std::uint64_t kNoTimeout = UINT64_MAX;

class ServerClient {
public:
    // Starts `serverProgram` for the folder, with this client as its first client. Null when the
    // server could not be started or did not answer. The server is killed when the client goes
    // (unless it was stopped), or when the thread that started it ends (a crash included), so
    // that a server never outlives the test that started it.
    static std::unique_ptr<ServerClient> StartServer(const std::string& serverProgram,
                                                     const std::string& folder);
    // Connects to the server that runs for the folder. Null when none answers.
    static std::unique_ptr<ServerClient> Connect(const std::string& folder);
    ~ServerClient();
    ServerClient(const ServerClient&) = delete;
    ServerClient& operator=(const ServerClient&) = delete;

    int ServerHostPid() const { return serverPid_; }

    bool Ping();
    // The built program that runs for an image file name ("App.exe").
    bool RegisterProgram(const std::wstring& imageName, const std::string& hostExecutable);
    struct Started {
        std::uint32_t pid = 0;  // the machine's process id
        int hostPid = -1;
    };
    // Starts a process of a registered image; its standard output goes to stdoutPath ("": the
    // server's). Null when the image is not one of the registered programs.
    std::optional<Started> StartProcess(const std::wstring& imagePath,
                                        const std::wstring& commandLine,
                                        const std::string& stdoutPath = "");
    struct ProcessInfo {
        std::uint32_t pid = 0;
        int hostPid = -1;
        std::wstring image;
        std::wstring commandLine;
        std::wstring user;
        bool running = false;
        std::uint32_t exitCode = 0;
    };
    std::vector<ProcessInfo> Processes();
    // What a process wrote to its console and told a debugger (the latest, when there was much).
    struct Journal {
        std::wstring console;
        std::vector<std::wstring> debug;
    };
    std::optional<Journal> ReadJournal(std::uint32_t pid);
    // Adds a running process that runs nothing (the logged-on user's shell, "EXPLORER.EXE"); its
    // id, or 0. Terminate ends it.
    std::uint32_t AddProcess(const std::wstring& imagePath, const std::wstring& user,
                             const std::wstring& desktop = L"winsta0\\default");
    // Waits until the process has ended, at most timeoutMs of machine time: its exit code, or
    // nullopt at the time-out. While it waits, this client lets the machine's clock move.
    std::optional<std::uint32_t> WaitForExit(std::uint32_t pid, std::uint64_t timeoutMs = kNoTimeout);
    // Ends a process the server started (its host process is killed), with this exit code: at
    // once its handles are closed and the mutexes it owned abandoned.
    bool Terminate(std::uint32_t pid, std::uint32_t exitCode);
    // Whether this client keeps the machine's clock still while it is not waiting for the server
    // (it does from the start, so that what it starts in a row starts at one machine time). A
    // test that waits for something outside the server (a host process it started itself) lets
    // go first.
    bool HoldClock(bool hold);
    // The machine clock's reading.
    std::uint64_t Now();
    // Sets the machine's configuration (Windows version, code page, languages, user, folders,
    // local time, time zone, screen) for the programs that start from now on; refused once a
    // program runs, or for a configuration the machine could not be.
    bool Configure(const sim::Config& config);

    // Named events of the machine (the tests' handshakes with their programs); 0 on failure.
    std::uint32_t CreateEvent(const std::wstring& name, bool manualReset, bool initialState);
    bool SetEvent(std::uint32_t event);
    // Named semaphores of the machine; 0 on failure.
    std::uint32_t CreateSemaphore(const std::wstring& name, std::int32_t initial,
                                  std::int32_t maximum);
    bool ReleaseSemaphore(std::uint32_t semaphore, std::int32_t count);
    // WAIT_OBJECT_0 (0), WAIT_ABANDONED (0x80), WAIT_TIMEOUT (0x102), or WAIT_FAILED.
    std::uint32_t Wait(std::uint32_t handle, std::uint64_t timeoutMs = kNoTimeout);

    // Asks the server to stop (it ends the programs it started) and waits for it to exit.
    bool Stop();

    // Leaves the server without stopping it, and waits until the server started here has exited
    // by itself (it does once its last client has left and its processes have ended). Its exit
    // status, or -1 when this client did not start it.
    int LeaveAndWaitForServer();

    // Raw access for tests of bad input: sends bytes as they are; reads the status of the answer
    // to a request id (nullopt when the server closed the connection).
    bool SendBytes(const std::string& bytes);
    std::optional<std::uint32_t> ReadStatus(std::uint32_t requestId);

private:
    ServerClient(int fd, int serverPid);
    bool Hello();
    struct Answer {
        std::uint32_t status;
        std::string body;
    };
    std::optional<Answer> Call(std::uint16_t kind, const std::string& payload);

    int fd_;
    int serverPid_;  // -1 when not started here
    std::uint32_t nextId_ = 1;
    std::unique_ptr<struct FrameInput> in_;
};

}  // namespace sim::control
