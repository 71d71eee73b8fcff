// The machine server's state and its answers to requests, apart from sockets: clients are
// numbers, bytes go in with Receive and what the server sends comes out with TakeOutput. The
// server's loop (server.h) and the fuzz target drive it.
//
// It keeps the machine's clock, the process table of the processes that joined it, the registry,
// the named kernel objects (the machine's own event, semaphore and mutex objects, one namespace across the
// kinds, names compared exactly as they are written) and every handle a client holds to them.
//
// Virtual time: the clock moves only when every participant is idle: a program client is idle
// from its idle report (naming the earliest deadline of its own waits) until the server sends it
// something that may wake it (any answer, or the clock reaching its deadline); an idle report that
// has not yet seen the server's last such message is stale and ignored. A control client is idle
// while a wait of its own is pending, or always once it has let go of the clock (HoldClock). A process that was started but has not said hello counts as
// running; one that has gone counts as idle. The clock then jumps to the earliest deadline.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "machine/handles.h"
#include "machine/registry.h"
#include "machine/server/services.h"
#include "machine/threads.h"
#include "machine/waits.h"
#include "machine/wire.h"

namespace sim::server {

using ClientId = int;
class WindowDirectory;
class DeviceHost;
class RasHost;
class ScreenDesk;

// Starts a program's host process.
struct SpawnSpec {
    std::string executable;
    std::vector<std::string> args;  // after the executable's own name
    std::vector<std::string> env;   // "NAME=value" added to the server's environment
    std::string stdoutPath;         // "" to inherit the server's
};
class Spawner {
public:
    virtual ~Spawner() = default;
    // The new host process's id, or -1.
    virtual int Spawn(const SpawnSpec& spec) = 0;
    // Kills a host process it started.
    virtual void Kill(int hostPid) = 0;
};

class Core {
public:
    // `folder` is the machine folder (given to the programs it starts).
    Core(std::string folder, Spawner& spawner, ClockMode mode = ClockMode::Virtual,
         double speed = 1.0);
    ~Core();

    // The built program that runs for an image file name ("Installer.exe").
    void RegisterProgram(const std::wstring& imageName, const std::wstring& hostExecutable);

    ClientId Connect();
    // Bytes from a client. False when its stream broke (a frame length out of range): the caller
    // drops the client.
    bool Receive(ClientId client, const char* data, std::size_t n);
    // The client has gone (socket closed): its handles are closed, mutexes its threads owned are
    // abandoned, its waits end; a request it had cut short is dropped.
    void Disconnect(ClientId client);
    // What the server has to send to the client.
    std::string TakeOutput(ClientId client);
    std::vector<ClientId> ClientsWithOutput() const;

    // A host process the server started has ended.
    void HostProcessEnded(int hostPid, int exitCode);
    // Real time: ends the waits whose deadline has come. Virtual time: moves the clock when
    // every participant is idle.
    void Tick();
    // Real time: the host milliseconds until the next deadline (-1: none).
    int MillisecondsToNextDeadline();

    // Whether the server has served someone, has no client left and no process running.
    bool Finished() const;
    bool StopAsked() const { return stopAsked_; }
    // Host processes it started that are still running (to end them when the server stops).
    std::vector<int> LiveHostProcesses() const;
    std::uint64_t Now() const;

private:
    struct Client;
    struct Process;
    struct PendingWait;

    void Handle(Client& c, const wire::Frame& f);
    void Reply(Client& c, std::uint32_t id, std::uint32_t status, const wire::Writer& body);
    void Reply(Client& c, std::uint32_t id, std::uint32_t status) { Reply(c, id, status, {}); }
    void Send(Client& c, wire::Kind kind, std::uint32_t id, const std::string& payload, bool wakes);
    // The same by client number, for the facilities of their own (windows, services, screen);
    // nothing for a client that has gone. Both count as waking the client.
    void ReplyTo(ClientId client, std::uint32_t request, std::uint32_t status,
                 const std::string& body);
    void PushTo(ClientId client, wire::Kind kind, std::uint32_t id, const std::string& payload);

    void OnHello(Client& c, const wire::Frame& f, wire::Reader& r);
    void OnCreateNamed(Client& c, const wire::Frame& f, wire::Reader& r, bool create);
    void OnWait(Client& c, const wire::Frame& f, wire::Reader& r);
    void OnSignal(Client& c, const wire::Frame& f, wire::Reader& r);
    void OnSpawn(Client& c, const wire::Frame& f, wire::Reader& r);
    // Starts a registered program as a host process: its record, or null with the error.
    Process* SpawnProgram(const std::wstring& image, const std::wstring& commandLine,
                          const std::wstring& user, const std::wstring& desktop,
                          std::uint16_t show, bool useShow, const std::wstring& stdoutPath,
                          DWORD* error);
    void OnProcesses(Client& c, const wire::Frame& f);
    void OnWaitProcess(Client& c, const wire::Frame& f, wire::Reader& r);
    void OnTerminate(Client& c, const wire::Frame& f, wire::Reader& r);
    void OnRegistry(Client& c, const wire::Frame& f, wire::Reader& r);
    void OnDevices(Client& c, const wire::Frame& f, wire::Reader& r);
    // Sends the device tree to every program when it changed (a wake, as any message that may
    // wake a program).
    void PushDevices();
    void OnRas(Client& c, const wire::Frame& f, wire::Reader& r);

    // Waits that mix the server's objects with a program's own (kernel_waits.cpp): peeks, takes,
    // give-backs; peeks are answered from ServeWaits. A client's go with its connection, and so
    // do its opens of files (files.cpp).
    void OnKernelWait(Client& c, const wire::Frame& f, wire::Reader& r);
    void ServePeeks();
    void DropKernelState(ClientId client);
    void OnFiles(Client& c, const wire::Frame& f, wire::Reader& r);
    void DropFileOpens(ClientId client);
    static ClientId IdOf(const Client& c);
    static std::uint32_t PidOf(const Client& c);
    // Every program's console and debugger output, by process (journals.cpp).
    void OnJournal(Client& c, const wire::Frame& f, wire::Reader& r);
    // The machine's configuration set by a control client (configuration.cpp).
    void OnConfigure(Client& c, const wire::Frame& f);
    // Whether a program has joined or a process of the server's runs.
    bool ProgramsStarted() const;

    std::shared_ptr<ThreadRec> Thread(Client& c, std::uint32_t thread);
    // A client's thread has ended: the mutexes it owned are abandoned.
    void EndThread(ThreadRec& t);
    std::uint32_t AddHandle(Client& c, std::shared_ptr<KObject> obj);
    std::shared_ptr<KObject> FindHandle(Client& c, std::uint32_t handle);
    // Answers every pending wait that can now be answered, in arrival order (kernel lock held
    // inside).
    void ServeWaits();
    void EndProcess(Process& p, std::uint32_t exitCode);
    bool AllIdle() const;
    std::uint64_t NowLocked() const;

    std::string folder_;
    Spawner& spawner_;
    ClockMode mode_;
    double speed_;
    std::int64_t realStartNs_;
    std::uint64_t virtualNow_ = 0;
    std::map<ClientId, std::unique_ptr<Client>> clients_;
    ClientId nextClient_ = 1;
    bool served_ = false;
    bool stopAsked_ = false;
    std::map<std::uint32_t, std::unique_ptr<Process>> processes_;
    std::uint32_t nextPid_ = 0x800;
    std::map<std::wstring, std::wstring> programs_;  // lower-case image file name -> host path
    std::map<std::wstring, std::weak_ptr<KObject>> named_;
    Registry registry_;
    std::unique_ptr<DeviceHost> devices_;
    std::unique_ptr<RasHost> ras_;
    std::vector<std::unique_ptr<PendingWait>> waits_;  // in arrival order
    DWORD nextThreadId_ = 0x10004;
    std::unique_ptr<WindowDirectory> windows_;  // machine/server/windows.h
    std::unique_ptr<ServiceDb> services_;
    std::shared_ptr<struct KernelWaits> kernelWaits_;
    std::shared_ptr<struct ServedFileTable> files_;
    std::shared_ptr<struct Journals> journals_;
    std::string configBytes_;  // empty: none set (each program keeps its defaults)
    std::unique_ptr<ScreenDesk> screen_;        // machine/server/screen.h
};

}  // namespace sim::server
