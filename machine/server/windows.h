// The machine server's window directory: the top-level windows of every program process (handle,
// owning process and thread, class, title, visibility, one z-order across the processes),
// messages posted and sent to a window of another process, and the message boxes' script and
// journal shared by every process.
//
// A program tells the directory about its own top-level windows (notes, in the order they
// happen); a message for a window goes to the program that owns it as a push that may wake it. A
// sent message's sender waits for its answer, which comes when the owner has handled it, or with
// 0 once the owner's process has gone.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "machine/boxes.h"
#include "machine/handles.h"
#include "machine/wire.h"

namespace sim::server {

using ClientId = int;

class WindowDirectory {
public:
    // What the directory needs of the core.
    struct Outlet {
        // Answers a request of a client.
        std::function<void(ClientId, std::uint32_t id, std::uint32_t status,
                           const std::string& body)>
            reply;
        // Sends a client a message that may wake it.
        std::function<void(ClientId, wire::Kind, std::uint32_t id, const std::string& payload)>
            push;
        // The machine-wide id of a client's thread.
        std::function<std::uint32_t(ClientId, std::uint32_t thread)> threadId;
        // The object behind a client's handle (null when none).
        std::function<std::shared_ptr<KObject>(ClientId, std::uint32_t handle)> object;
    };
    explicit WindowDirectory(Outlet outlet);

    // Whether the kind is one of the directory's, and one without an answer.
    static bool Serves(wire::Kind kind);
    static bool IsNote(wire::Kind kind);
    // A request or note of the directory's kinds from a client that said hello; pid 0 for a
    // control client. A malformed request fails; a malformed note is dropped.
    void Handle(ClientId client, std::uint32_t pid, const wire::Frame& f);
    // The client has gone: its windows are destroyed; senders waiting on them get 0.
    void ClientGone(ClientId client);

    struct Shown {
        std::uint64_t hwnd = 0;
        ClientId client = 0;
        std::uint32_t pid = 0;
    };
    // The visible top-level windows of every program, topmost first.
    std::vector<Shown> VisibleWindows() const;

private:
    struct Entry {
        std::uint64_t hwnd = 0;
        ClientId client = 0;
        std::uint32_t pid = 0;
        std::uint32_t thread = 0;  // machine-wide
        std::wstring className, title;
        bool visible = false;
    };
    struct PendingSend {
        ClientId sender = 0;
        std::uint32_t request = 0;
        ClientId receiver = 0;
    };
    struct Watch {
        std::wstring title;  // lower case
        std::uint32_t count = 1;
        std::shared_ptr<KObject> event;
    };

    void Note(ClientId client, std::uint32_t pid, const wire::Frame& f);
    void Request(ClientId client, std::uint32_t pid, const wire::Frame& f);
    // A window of another client; null when there is none (or it is the asker's own).
    Entry* Find(std::uint64_t hwnd);
    void Place(std::uint64_t hwnd, std::uint64_t above);
    // Sets the events of the watches whose windows now exist.
    void Notice();
    void Answer(ClientId client, std::uint32_t id, std::uint32_t status,
                const wire::Writer& body = {});

    Outlet out_;
    std::vector<Entry> z_;  // topmost first
    std::map<std::uint32_t, PendingSend> sends_;
    std::uint32_t nextSend_ = 1;
    std::vector<Watch> watches_;
    MessageBoxes boxes_;
};

}  // namespace sim::server
