#include "machine/server/windows.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include <winbase.h>
#include "machine/machine.h"
#include "machine/sync.h"
#include "machine/waits.h"

namespace sim::server {

namespace {

void WriteEntry(wire::Writer& w, std::uint64_t hwnd, std::uint32_t pid, std::uint32_t thread,
                const std::wstring& className, const std::wstring& title, bool visible) {
    w.U64(hwnd).U32(pid).U32(thread).Text(className).Text(title).U8(visible ? 1 : 0);
}

}  // namespace

WindowDirectory::WindowDirectory(Outlet outlet) : out_(std::move(outlet)) {}

bool WindowDirectory::IsNote(wire::Kind kind) {
    auto k = static_cast<std::uint16_t>(kind);
    return k >= static_cast<std::uint16_t>(wire::Kind::WindowAdded) &&
           k <= static_cast<std::uint16_t>(wire::Kind::SentDone);
}

bool WindowDirectory::Serves(wire::Kind kind) {
    auto k = static_cast<std::uint16_t>(kind);
    return k >= 0x60 && k <= 0x7F;
}

void WindowDirectory::Handle(ClientId client, std::uint32_t pid, const wire::Frame& f) {
    if (IsNote(f.kind)) return Note(client, pid, f);
    Request(client, pid, f);
}

void WindowDirectory::Answer(ClientId client, std::uint32_t id, std::uint32_t status,
                             const wire::Writer& body) {
    out_.reply(client, id, status, body.Bytes());
}

WindowDirectory::Entry* WindowDirectory::Find(std::uint64_t hwnd) {
    auto it = std::find_if(z_.begin(), z_.end(), [&](const Entry& e) { return e.hwnd == hwnd; });
    return it == z_.end() ? nullptr : &*it;
}

void WindowDirectory::Place(std::uint64_t hwnd, std::uint64_t above) {
    auto it = std::find_if(z_.begin(), z_.end(), [&](const Entry& e) { return e.hwnd == hwnd; });
    if (it == z_.end()) return;
    Entry moved = std::move(*it);
    z_.erase(it);
    auto at = z_.begin();
    if (above != 0) {
        at = std::find_if(z_.begin(), z_.end(), [&](const Entry& e) { return e.hwnd == above; });
        // A window the directory does not know of: the moved one goes on top.
        at = at == z_.end() ? z_.begin() : at + 1;
    }
    z_.insert(at, std::move(moved));
}

void WindowDirectory::Notice() {
    for (auto it = watches_.begin(); it != watches_.end();) {
        auto titled = std::count_if(z_.begin(), z_.end(),
                                    [&](const Entry& e) { return Lower(e.title) == it->title; });
        if (static_cast<std::uint32_t>(titled) < it->count) {
            ++it;
            continue;
        }
        if (auto event = std::dynamic_pointer_cast<EventObj>(it->event)) {
            std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
            event->SetLocked(true);
        }
        it = watches_.erase(it);
    }
}

void WindowDirectory::Note(ClientId client, std::uint32_t pid, const wire::Frame& f) {
    wire::Reader r(f.payload);
    if (pid == 0) return;  // only a program has windows and handles messages
    if (f.kind == wire::Kind::SentDone) {
        std::uint32_t sendId = 0;
        std::uint64_t result = 0;
        if (!r.U32(sendId) || !r.U64(result) || !r.AtEnd()) return;
        auto it = sends_.find(sendId);
        // Only the receiver answers; a sender that has gone is not answered.
        if (it == sends_.end() || it->second.receiver != client) return;
        PendingSend s = it->second;
        sends_.erase(it);
        wire::Writer w;
        w.U64(result);
        return Answer(s.sender, s.request, 0, w);
    }
    std::uint64_t hwnd = 0;
    if (!r.U64(hwnd)) return;
    Entry* e = Find(hwnd);
    // A program speaks only of its own windows.
    if (e != nullptr && e->client != client) return;
    switch (f.kind) {
        case wire::Kind::WindowAdded: {
            Entry added;
            std::uint32_t thread = 0;
            std::uint8_t visible = 0;
            if (e != nullptr || hwnd == 0 || !r.U32(thread) || !r.Text(added.className) ||
                !r.Text(added.title) || !r.U8(visible) || !r.AtEnd())
                return;
            added.hwnd = hwnd;
            added.client = client;
            added.pid = pid;
            added.thread = out_.threadId(client, thread);
            added.visible = visible != 0;
            z_.insert(z_.begin(), std::move(added));
            Notice();
            return;
        }
        case wire::Kind::WindowChanged: {
            std::wstring title;
            std::uint8_t visible = 0;
            if (e == nullptr || !r.Text(title) || !r.U8(visible) || !r.AtEnd()) return;
            e->title = std::move(title);
            e->visible = visible != 0;
            Notice();
            return;
        }
        case wire::Kind::WindowPlaced: {
            std::uint64_t above = 0;
            if (e == nullptr || !r.U64(above) || !r.AtEnd()) return;
            Place(hwnd, above);
            return;
        }
        case wire::Kind::WindowRemoved:
            if (e == nullptr || !r.AtEnd()) return;
            std::erase_if(z_, [&](const Entry& x) { return x.hwnd == hwnd; });
            return;
        default:
            return;
    }
}

void WindowDirectory::Request(ClientId client, std::uint32_t pid, const wire::Frame& f) {
    wire::Reader r(f.payload);
    auto bad = [&] { Answer(client, f.id, ERROR_INVALID_PARAMETER); };
    switch (f.kind) {
        case wire::Kind::FindWindow: {
            std::uint8_t hasClass = 0, hasTitle = 0;
            std::wstring className, title;
            if (!r.U8(hasClass) || !r.Text(className) || !r.U8(hasTitle) || !r.Text(title) ||
                !r.AtEnd())
                return bad();
            // Top-level windows only, hidden ones included; the whole title and the class
            // without regard to case; the first in z-order.
            std::uint64_t found = 0;
            for (const Entry& e : z_) {
                if (hasClass && Lower(e.className) != Lower(className)) continue;
                if (hasTitle && Lower(e.title) != Lower(title)) continue;
                found = e.hwnd;
                break;
            }
            wire::Writer w;
            w.U64(found);
            return Answer(client, f.id, 0, w);
        }
        case wire::Kind::WindowInfo: {
            std::uint64_t hwnd = 0;
            if (!r.U64(hwnd) || !r.AtEnd()) return bad();
            const Entry* e = Find(hwnd);
            if (e == nullptr) return Answer(client, f.id, ERROR_INVALID_WINDOW_HANDLE);
            wire::Writer w;
            WriteEntry(w, e->hwnd, e->pid, e->thread, e->className, e->title, e->visible);
            return Answer(client, f.id, 0, w);
        }
        case wire::Kind::Windows: {
            if (!r.AtEnd()) return bad();
            wire::Writer w;
            w.U32(static_cast<std::uint32_t>(z_.size()));
            for (const Entry& e : z_)
                WriteEntry(w, e.hwnd, e.pid, e.thread, e.className, e.title, e.visible);
            return Answer(client, f.id, 0, w);
        }
        case wire::Kind::PostWindow: {
            std::uint64_t hwnd = 0, wParam = 0, lParam = 0;
            std::uint32_t message = 0;
            if (!r.U64(hwnd) || !r.U32(message) || !r.U64(wParam) || !r.U64(lParam) || !r.AtEnd())
                return bad();
            const Entry* e = Find(hwnd);
            if (e == nullptr) return Answer(client, f.id, ERROR_INVALID_WINDOW_HANDLE);
            out_.push(e->client, wire::Kind::PostedMessage, 0, f.payload);
            return Answer(client, f.id, 0);
        }
        case wire::Kind::SendWindow: {
            std::uint64_t hwnd = 0, wParam = 0, lParam = 0, dwData = 0;
            std::uint32_t message = 0;
            std::uint8_t copy = 0;
            std::string bytes;
            if (!r.U64(hwnd) || !r.U32(message) || !r.U64(wParam) || !r.U64(lParam) ||
                !r.U8(copy) || !r.U64(dwData) || !r.Blob(bytes) || !r.AtEnd())
                return bad();
            const Entry* e = Find(hwnd);
            if (e == nullptr) return Answer(client, f.id, ERROR_INVALID_WINDOW_HANDLE);
            std::uint32_t id = nextSend_++;
            if (nextSend_ == 0) nextSend_ = 1;
            sends_[id] = PendingSend{client, f.id, e->client};
            // Answered when the receiver says it is done (SentDone) or has gone.
            out_.push(e->client, wire::Kind::SentMessage, id, f.payload);
            return;
        }
        case wire::Kind::WatchWindow: {
            std::wstring title;
            std::uint32_t count = 0, handle = 0;
            if (!r.Text(title) || !r.U32(count) || !r.U32(handle) || !r.AtEnd() || count == 0)
                return bad();
            auto event = std::dynamic_pointer_cast<EventObj>(out_.object(client, handle));
            if (!event) return Answer(client, f.id, ERROR_INVALID_HANDLE);
            watches_.push_back({Lower(title), count, event});
            Notice();
            return Answer(client, f.id, 0);
        }
        case wire::Kind::ShowBox: {
            BoxRecord box;
            std::uint32_t type = 0;
            std::uint64_t owner = 0;
            if (pid == 0 || !r.Text(box.caption) || !r.Text(box.text) || !r.U32(type) ||
                !r.U64(owner) || !r.AtEnd())
                return bad();
            box.type = type;
            box.owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(owner));
            box.pid = pid;
            MessageBoxes::Answer a = boxes_.Show(box);
            wire::Writer w;
            w.I32(a.id).U32(a.afterMs);
            return Answer(client, f.id, 0, w);
        }
        case wire::Kind::ScriptBox: {
            std::int32_t answer = 0;
            std::uint32_t afterMs = 0;
            if (!r.I32(answer) || !r.U32(afterMs) || !r.AtEnd()) return bad();
            return Answer(client, f.id,
                          boxes_.Script(answer, afterMs) ? 0 : ERROR_INVALID_PARAMETER);
        }
        case wire::Kind::BoxJournal: {
            if (!r.AtEnd()) return bad();
            auto journal = boxes_.Journal();
            wire::Writer w;
            w.U32(static_cast<std::uint32_t>(journal.size()));
            for (const BoxRecord& b : journal)
                w.U32(b.pid).Text(b.caption).Text(b.text).U32(b.type).I32(b.answer);
            return Answer(client, f.id, 0, w);
        }
        default:
            return Answer(client, f.id, ERROR_INVALID_FUNCTION);
    }
}

std::vector<WindowDirectory::Shown> WindowDirectory::VisibleWindows() const {
    std::vector<Shown> out;
    for (const Entry& e : z_)
        if (e.visible) out.push_back({e.hwnd, e.client, e.pid});
    return out;
}

void WindowDirectory::ClientGone(ClientId client) {
    std::erase_if(z_, [&](const Entry& e) { return e.client == client; });
    for (auto it = sends_.begin(); it != sends_.end();) {
        if (it->second.sender == client) {
            it = sends_.erase(it);
        } else if (it->second.receiver == client) {
            // Its process has gone before handling the message: the sender is released with 0.
            wire::Writer w;
            w.U64(0);
            Answer(it->second.sender, it->second.request, 0, w);
            it = sends_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace sim::server
