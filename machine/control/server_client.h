// A control client of a machine server (machine/server/): tests and the demo start a server for
// a machine folder, start programs on it as host processes, wait for them, and stop it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The machine's configuration and RAS types (machine/machine.h, machine/ras.h), for those who set
// the machine up and script RAS through the server.
namespace sim {
struct Config;
struct DialScript;
struct DialRecord;
struct RasLine;
struct RasEntryRecord;
}  // namespace sim

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
    // Creates a registry key of the machine ("HKEY_LOCAL_MACHINE\\..."), as a setup package
    // would; false when it could not.
    bool CreateRegistryKey(const std::wstring& path);

    // ---- The machine's services (machine/control/server_services.cpp) ----
    struct ServiceState {
        std::uint32_t state = 0;  // SERVICE_STOPPED (1) ... SERVICE_PAUSED (7)
        std::uint32_t win32ExitCode = 0;
        std::uint32_t controlsAccepted = 0;
        std::uint32_t pid = 0;  // its process's machine id while it runs
        std::wstring binaryPath;
        std::wstring account;  // "": LocalSystem
        std::uint32_t startType = 0;
        bool markedForDelete = false;
        std::vector<std::uint32_t> history;  // its states since its last start, in order
    };
    // Null when no service has the name.
    std::optional<ServiceState> QueryService(const std::wstring& name);
    // Waits until the service is in the state (one that does not exist counts as stopped), at
    // most timeoutMs of machine time; the clock moves meanwhile. False at the time-out.
    bool WaitForServiceState(const std::wstring& name, std::uint32_t state,
                             std::uint64_t timeoutMs = kNoTimeout);
    // Starts a service as the system does: 0 once its program's dispatcher has connected, or
    // StartServiceW's error.
    std::uint32_t StartService(const std::wstring& name);
    // Sends a control as the system does (SERVICE_CONTROL_SHUTDOWN and device events too) and
    // waits until the service's handler has returned: 0, or ControlService's error.
    std::uint32_t ControlService(const std::wstring& name, std::uint32_t control,
                                 std::uint32_t eventType = 0);

    // ---- Devices (the server's device tree, which every program's mirrors) ----
    // The modem as tests plug it in-process: the product ID, the USB chip variant, and whether it
    // comes up in modem mode at once; the rest as the machine's modem has it by default.
    struct ModemPlug {
        std::uint16_t productId = 0xFFF1;
        bool usbChip = false;
        bool startInModemMode = false;
    };
    // Plugs a modem into the machine: its number for the calls below, or nullopt.
    std::optional<std::uint32_t> PlugModem(const ModemPlug& modem);
    std::optional<std::uint32_t> PlugModem() { return PlugModem(ModemPlug{}); }
    bool UnplugModem(std::uint32_t modem);
    // Plugs the same modem in again (in disk mode, or modem mode for the chip variant).
    bool ReplugModem(std::uint32_t modem);
    struct ModemState {
        bool modemMode = false;
        std::uint32_t switches = 0;       // mode switches the device began
        std::uint32_t ejectRequests = 0;
        std::uint32_t passThroughs = 0;   // SCSI pass-through requests it answered
    };
    std::optional<ModemState> GetModemState(std::uint32_t modem);
    struct DeviceNodeInfo {
        std::wstring instanceId;
        bool present = false;
        bool enabled = true;  // disabled neither everywhere nor in the current hardware profile
        std::uint32_t problem = 0;
        std::wstring portName;  // its device key's "PortName", when it has one
    };
    // The machine's nodes whose instance ID starts with the prefix (case ignored), present or not,
    // in the order they were first added.
    std::vector<DeviceNodeInfo> DeviceNodes(const std::wstring& instanceIdPrefix = L"");

    // ---- RAS (the machine's phone book, the scripts of the next dials, the journal; every
    // program's connections; their types are machine/ras.h's) ----
    // The next dial of any program follows this script (queued: each dial takes the next one).
    bool ScriptNextDial(const sim::DialScript& script);
    // Dials without a queued script follow this one.
    bool SetDefaultDialScript(const sim::DialScript& script);
    // The current connection's byte counters, in whichever program dialled it; false without a
    // connection.
    bool SetRasCounters(std::uint64_t sent, std::uint64_t received);
    // Bytes per second on connected lines, from now on (also for later connections).
    bool SetTrafficRates(std::uint64_t sentPerSecond, std::uint64_t receivedPerSecond);
    // The current connection drops (a dial in progress fails) with this error; false when it is
    // neither connected nor dialling.
    bool DropLine(std::uint32_t error = 628);
    bool SetHangUpTime(std::uint32_t ms);
    struct RasJournal {
        int dials = 0;
        int hangUps = 0;      // hang-ups that began a teardown
        int hangUpCalls = 0;  // RasHangUpW calls of any kind
        std::vector<sim::DialRecord> records;
    };
    std::optional<RasJournal> GetRasJournal();
    // The machine's connections, of every program, in the order they were dialled.
    std::vector<sim::RasLine> RasConnections();
    std::optional<sim::RasEntryRecord> RasEntry(const std::wstring& name,
                                                const std::wstring& phonebook = L"");

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
    // A device request whose answer is a status alone.
    bool DeviceCall(std::uint16_t op, std::uint32_t modem);
    // A RAS request: its answer when its status is 0.
    std::optional<Answer> RasCall(const std::string& payload);
    // A RAS request whose answer is a flag.
    bool RasFlag(const std::string& payload);
    std::uint32_t Inject(std::uint8_t op, Button button, int x, int y, std::uint32_t key);

    int fd_;
    int serverPid_;  // -1 when not started here
    std::uint32_t nextId_ = 1;
    std::unique_ptr<struct FrameInput> in_;
};

}  // namespace sim::control
