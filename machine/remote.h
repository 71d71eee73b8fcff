// A program on a machine server: its process joins the server of a machine folder at start-up
// and from then on the machine's shared things (the clock, named kernel objects) are the
// server's. Without a link the process's machine is its own (the unit tests).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <memory>

#include "machine/handles.h"
#include "machine/threads.h"
#include "machine/wire.h"

namespace sim {

struct RemoteAnswer {
    std::uint32_t status = 0;  // 0 or the error code
    std::string body;          // after the status
};

class ServerLink;
// The process's link to its server, or null.
ServerLink* Link();

// Whether the host program is one of the system's programs (their start-up, platform/msvcrt,
// says so), whose first touch of the machine joins the machine server. False elsewhere (tests).
bool ProgramJoinsServer();
// Joins the server at a program's start (the first touch of the machine, which may come from
// the program's static initialisation): the folder is MODEM_MACHINE, else a folder under the
// user's state folder; a server is started there when none answers. The process takes the
// identity the server gave it (or, started from a shell, its own program's with the host
// arguments), its console goes to the host's standard output, its debugger output to the host's
// standard error, and its clock and registry are the server's.
// False (with a note on standard error) when no server could be reached: the program then runs
// on a machine of its own.
bool JoinServerAtStart();
// The program returns from its main with this code: the server is told.
void LeaveServer(std::uint32_t exitCode);
// Ends the host process with the exit code, telling the server first (ExitProcess).
[[noreturn]] void ExitHostProcess(std::uint32_t exitCode);

// The link once the program has joined its server, without joining (kernel lock may be held).
ServerLink* JoinedLink();
// Tells the server that a thread of the program ended (kernel lock held).
void TellThreadEndedLocked(ServerLink& link, DWORD threadId);

// A request from the calling machine thread, which waits for the answer (it counts as waiting
// meanwhile). A thread whose process is ending unwinds instead.
RemoteAnswer CallServer(ServerLink& link, wire::Kind kind, const std::string& payload);
// Tells the server what the program wrote to its console (debug false) or told a debugger, for
// its journal. Without the kernel lock's need (any thread, any time).
void JournalToServer(ServerLink& link, bool debug, const std::wstring& text);

// A request whose answer nobody waits for.
void PostToServer(ServerLink& link, wire::Kind kind, const std::string& payload);
void PostToServerLocked(ServerLink& link, wire::Kind kind, const std::string& payload);
// A request whose answer `thenLocked` gets (on the link's own thread, kernel lock held); the
// calling thread goes on meanwhile.
void CallServerThen(ServerLink& link, wire::Kind kind, const std::string& payload,
                    std::function<void(const RemoteAnswer&)> thenLocked);
// What the program does with a message of this kind that the server sends unasked (null: drop
// it). Runs on the link's receiving thread with the kernel lock held: it hands the message to a
// machine thread and makes that thread runnable before it returns, and calls no server.
void SetPushHandler(wire::Kind kind, std::function<void(const std::string& payload)> handler);

class ServicesRemote;
// The service control manager of a program on the server (machine/remote_services.cpp).
ServicesRemote* NewServedServices(ServerLink& link);

// A request whose answer a thread waits for among other things: its gate opens when the answer
// has come (kernel lock held for the gate and the answer).
struct PendingCall {
    std::uint32_t id = 0;
    Gate gate;
    RemoteAnswer answer;
    // Called with the answer instead of a waiting thread (CallServerThen).
    std::function<void(const RemoteAnswer&)> then;
};
std::shared_ptr<PendingCall> BeginCall(ServerLink& link, wire::Kind kind,
                                       const std::string& payload);
// The call's answer no longer matters: it is dropped when it comes (kernel lock held).
void ForgetCallLocked(ServerLink& link, const PendingCall& call);

// A named kernel object that lives on the server; the handle is the server's.
struct RemoteObj : KObject {
    wire::ObjectKind kind;
    std::uint32_t handle;
    std::uint32_t pid = 0;  // a process's machine id
    std::wstring user;      // a process's token's user
    RemoteObj(wire::ObjectKind k, std::uint32_t h, std::uint32_t processId = 0,
              std::wstring processUser = L"")
        : kind(k), handle(h), pid(processId), user(std::move(processUser)) {}
    void OnLastHandleClosed() override;
};

}  // namespace sim
