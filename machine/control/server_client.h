// A control client of a machine server (machine/server/): tests and the demo start a server for
// a machine folder, start programs on it as host processes, wait for them, and stop it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

    // Named events of the machine (the tests' handshakes with their programs); 0 on failure.
    std::uint32_t CreateEvent(const std::wstring& name, bool manualReset, bool initialState);
    bool SetEvent(std::uint32_t event);
    // WAIT_OBJECT_0 (0), WAIT_ABANDONED (0x80), WAIT_TIMEOUT (0x102), or WAIT_FAILED.
    std::uint32_t Wait(std::uint32_t handle, std::uint64_t timeoutMs = kNoTimeout);

    // ---- Windows and message boxes of every process ----
    struct WindowEntry {
        std::uint64_t hwnd = 0;
        std::uint32_t pid = 0;
        std::uint32_t thread = 0;
        std::wstring className;
        std::wstring title;
        bool visible = false;
    };
    // Every program's top-level windows, topmost first.
    std::vector<WindowEntry> Windows();
    // Sets the event (of CreateEvent) once `count` top-level windows with the title (case
    // ignored) exist; a Wait on the event then waits for them.
    bool WatchWindow(const std::wstring& title, std::uint32_t event, std::uint32_t count = 1);
    // How the user answers the next box any process shows: the button's id, pressed afterMs of
    // machine time after the box came up.
    bool ScriptBox(int answer, std::uint32_t afterMs = 0);
    struct Box {
        std::uint32_t pid = 0;  // the process that showed it
        std::wstring caption;
        std::wstring text;
        std::uint32_t type = 0;
        int answer = 0;
    };
    // Every box shown by a process of the machine, the first first.
    std::vector<Box> BoxJournal();

    // ---- The screen and input of every process ----
    // Saves the composed screen (every program's visible top-level windows in the machine-wide
    // z-order over the desktop) as a PNG file at the host path.
    bool SaveScreenPng(const std::string& path);
    // 0x00RRGGBB of the composed screen at the point (0 outside it); nothing on failure.
    std::optional<std::uint32_t> ScreenPixel(int x, int y);
    enum class Button : std::uint8_t { Left = 0, Right = 1 };
    // Mouse input at a screen point: it goes to the program whose window is the topmost there
    // (while a button is held, to the one that took the press). Keys go to the program of the
    // front window. Each answers the machine's id of the process that took the input, 0 when
    // none did.
    std::uint32_t MoveMouse(int x, int y);
    std::uint32_t PressMouse(int x, int y, Button button = Button::Left);
    std::uint32_t ReleaseMouse(int x, int y, Button button = Button::Left);
    std::uint32_t Click(int x, int y, Button button = Button::Left);
    std::uint32_t DoubleClick(int x, int y);
    std::uint32_t KeyDown(std::uint32_t virtualKey);
    std::uint32_t KeyUp(std::uint32_t virtualKey);
    std::uint32_t PressKey(std::uint32_t virtualKey);

    // ---- The notification area of every process ----
    struct TrayEntry {
        std::uint32_t pid = 0;  // the owner's process
        std::uint64_t owner = 0;
        std::uint32_t id = 0;
        bool callback = false;  // the owner asked to be told of clicks
        std::wstring tip;
        bool balloon = false;
        std::wstring balloonTitle, balloonText;
    };
    // Every program's icons, in the order they were added.
    std::vector<TrayEntry> TrayIcons();
    enum class TrayClick : std::uint8_t { Left = 0, Double = 1, Right = 2 };
    // Clicks the icon: its owner gets the click's mouse messages as its callback message. False
    // for an unknown icon or one whose owner asked for no callback.
    bool ClickTrayIcon(std::uint64_t owner, std::uint32_t id, TrayClick click);

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
    std::uint32_t Inject(std::uint8_t op, Button button, int x, int y, std::uint32_t key);

    int fd_;
    int serverPid_;  // -1 when not started here
    std::uint32_t nextId_ = 1;
    std::unique_ptr<struct FrameInput> in_;
};

}  // namespace sim::control
