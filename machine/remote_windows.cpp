#include "machine/remote_windows.h"

#include <mutex>
#include <vector>

#include <winbase.h>
#include "machine/boxes.h"
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/remote.h"
#include "machine/windows.h"

namespace sim {

namespace {

std::uint64_t Handle(HWND h) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(h));
}
HWND Window(std::uint64_t h) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(h));
}

// Tells the server's directory what becomes of the process's top-level windows.
class Directory : public SharedWindows {
public:
    explicit Directory(ServerLink& link) : link_(link) {}
    void Added(const WindowInfo& w) override {
        wire::Writer n;
        n.U64(Handle(w.hwnd)).U32(w.thread ? w.thread->id : 0).Text(w.className).Text(w.text);
        n.U8((w.style & WS_VISIBLE) ? 1 : 0);
        PostToServer(link_, wire::Kind::WindowAdded, n.Bytes());
    }
    void Changed(const WindowInfo& w) override {
        wire::Writer n;
        n.U64(Handle(w.hwnd)).Text(w.text).U8((w.style & WS_VISIBLE) ? 1 : 0);
        PostToServer(link_, wire::Kind::WindowChanged, n.Bytes());
    }
    void Placed(HWND hwnd, HWND above) override {
        wire::Writer n;
        n.U64(Handle(hwnd)).U64(Handle(above));
        PostToServer(link_, wire::Kind::WindowPlaced, n.Bytes());
    }
    void Removed(HWND hwnd) override {
        wire::Writer n;
        n.U64(Handle(hwnd));
        PostToServer(link_, wire::Kind::WindowRemoved, n.Bytes());
    }

private:
    ServerLink& link_;
};

// WM_COPYDATA's structure and a copy of its bytes, kept with the message.
struct CopiedData {
    COPYDATASTRUCT header{};
    std::string bytes;
};

void Done(ServerLink& link, std::uint32_t id, LRESULT result, bool locked) {
    wire::Writer w;
    w.U32(id).U64(static_cast<std::uint64_t>(result));
    if (locked)
        PostToServerLocked(link, wire::Kind::SentDone, w.Bytes());
    else
        PostToServer(link, wire::Kind::SentDone, w.Bytes());
}

void ReceiveSent(ServerLink& link, const wire::Frame& f) {
    wire::Reader r(f.payload);
    std::uint64_t hwnd = 0, wParam = 0, lParam = 0, dwData = 0;
    std::uint32_t message = 0;
    std::uint8_t copy = 0;
    std::string bytes;
    if (!r.U64(hwnd) || !r.U32(message) || !r.U64(wParam) || !r.U64(lParam) || !r.U8(copy) ||
        !r.U64(dwData) || !r.Blob(bytes))
        return Done(link, f.id, 0, false);
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = Window(hwnd);
    sent->message = message;
    sent->wParam = static_cast<WPARAM>(wParam);
    sent->lParam = static_cast<LPARAM>(lParam);
    if (copy != 0) {
        auto data = std::make_shared<CopiedData>();
        data->bytes = std::move(bytes);
        data->header.dwData = static_cast<ULONG_PTR>(dwData);
        data->header.cbData = static_cast<DWORD>(data->bytes.size());
        data->header.lpData = data->bytes.empty() ? nullptr : data->bytes.data();
        sent->lParam = reinterpret_cast<LPARAM>(&data->header);
        sent->payload = data;
    }
    const std::uint32_t id = f.id;
    ServerLink* to = &link;
    sent->onReplyLocked = [to, id](LRESULT result) { Done(*to, id, result, true); };
    auto w = machine().windows().Get(sent->hwnd);
    // A window gone meanwhile answers 0, as does a thread that has ended.
    if (!w || !machine().windows().QueueSent(*w->thread, sent)) {
        sent->onReplyLocked = nullptr;
        Done(link, id, 0, false);
    }
}

}  // namespace

void ShareWindows(ServerLink& link, std::uint32_t pid) {
    static Directory* directory = nullptr;  // lives as long as the process
    if (directory == nullptr) directory = new Directory(link);
    // Each process its own range of handles: a handle names one window on the whole machine.
    machine().windows().Share(directory, static_cast<ULONG_PTR>(pid) << 16);
    ServerLink* to = &link;
    machine().boxes().UseServer([to](const BoxRecord& box) {
        wire::Writer w;
        w.Text(box.caption).Text(box.text).U32(box.type).U64(Handle(box.owner));
        RemoteAnswer a = CallServer(*to, wire::Kind::ShowBox, w.Bytes());
        MessageBoxes::Answer answer{IDCANCEL, 0};
        std::int32_t id = 0;
        std::uint32_t after = 0;
        wire::Reader r(a.body);
        if (a.status == 0 && r.I32(id) && r.U32(after)) answer = {id, after};
        return answer;
    });
}

void HandleWindowPush(ServerLink& link, const wire::Frame& f) {
    if (f.kind == wire::Kind::SentMessage) return ReceiveSent(link, f);
    if (f.kind != wire::Kind::PostedMessage) return;
    wire::Reader r(f.payload);
    std::uint64_t hwnd = 0, wParam = 0, lParam = 0;
    std::uint32_t message = 0;
    if (!r.U64(hwnd) || !r.U32(message) || !r.U64(wParam) || !r.U64(lParam)) return;
    machine().windows().Post(Window(hwnd), message, static_cast<WPARAM>(wParam),
                             static_cast<LPARAM>(lParam));
}

std::optional<OtherWindow> WindowOfOtherProcess(HWND hwnd) {
    ServerLink* link = Link();
    if (link == nullptr || hwnd == nullptr) return std::nullopt;
    wire::Writer w;
    w.U64(Handle(hwnd));
    RemoteAnswer a = CallServer(*link, wire::Kind::WindowInfo, w.Bytes());
    if (a.status != 0) return std::nullopt;
    wire::Reader r(a.body);
    OtherWindow o;
    std::uint64_t h = 0;
    std::uint32_t pid = 0, thread = 0;
    std::uint8_t visible = 0;
    if (!r.U64(h) || !r.U32(pid) || !r.U32(thread) || !r.Text(o.className) || !r.Text(o.title) ||
        !r.U8(visible))
        return std::nullopt;
    // The process's own windows are in its own table.
    if (pid == CurrentProcess().info.pid) return std::nullopt;
    o.hwnd = Window(h);
    o.pid = pid;
    o.thread = thread;
    o.visible = visible != 0;
    return o;
}

std::optional<HWND> FindWindowOnServer(const wchar_t* className, const wchar_t* title) {
    ServerLink* link = Link();
    if (link == nullptr) return std::nullopt;
    wire::Writer w;
    w.U8(className ? 1 : 0).Text(className ? className : L"");
    w.U8(title ? 1 : 0).Text(title ? title : L"");
    RemoteAnswer a = CallServer(*link, wire::Kind::FindWindow, w.Bytes());
    std::uint64_t found = 0;
    if (a.status != 0 || !wire::Reader(a.body).U64(found)) return std::nullopt;
    return Window(found);
}

bool PostToOtherProcess(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ServerLink* link = Link();
    if (link == nullptr || hwnd == nullptr) return false;
    wire::Writer w;
    w.U64(Handle(hwnd)).U32(message).U64(static_cast<std::uint64_t>(wParam));
    w.U64(static_cast<std::uint64_t>(lParam));
    return CallServer(*link, wire::Kind::PostWindow, w.Bytes()).status == 0;
}

std::shared_ptr<SentMessage> SendToOtherProcess(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    ServerLink* link = Link();
    if (link == nullptr || !WindowOfOtherProcess(hwnd)) return nullptr;
    wire::Writer w;
    w.U64(Handle(hwnd)).U32(message).U64(static_cast<std::uint64_t>(wParam));
    w.U64(static_cast<std::uint64_t>(lParam));
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    if (message == WM_COPYDATA && lParam != 0) {
        const auto& given = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        // Bytes past what one request carries are not sent: the message fails (0).
        if (given.cbData > wire::kMaxFrame - 1024) {
            std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
            sent->ReplyLocked(0);
            return sent;
        }
        const char* bytes = static_cast<const char*>(given.lpData);
        w.U8(1).U64(static_cast<std::uint64_t>(given.dwData));
        w.Blob(bytes != nullptr ? std::string(bytes, given.cbData) : std::string());
    } else {
        w.U8(0).U64(0).Blob({});
    }
    CallServerThen(*link, wire::Kind::SendWindow, w.Bytes(), [sent](const RemoteAnswer& a) {
        std::uint64_t result = 0;
        if (a.status == 0) wire::Reader(a.body).U64(result);
        sent->ReplyLocked(static_cast<LRESULT>(result));
    });
    return sent;
}

}  // namespace sim
