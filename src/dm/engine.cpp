#include "dm/engine.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

#include "app/serial_port.h"
#include "support/auto_lock.h"

namespace {

// Bytes of a request that a reply echoes: the code, and for the category requests the category
// and the sub-command.
constexpr std::size_t kCategoryHeaderSize = 4;
constexpr std::uint8_t kCategoryRequestCode = 0x4B;
// Cancelled commands whose late reply is still expected, at most.
constexpr std::size_t kMaxOwedReplies = 16;

std::vector<std::uint8_t> RequestHeader(const DMPacket& request) {
    const std::uint8_t* data = request.Data();
    std::size_t n = request.Size() == 0 ? 0 : 1;
    if (n == 1 && data[0] == kCategoryRequestCode)
        n = std::min<std::size_t>(kCategoryHeaderSize, request.Size());
    return std::vector<std::uint8_t>(data, data + n);
}

bool StartsWith(const std::vector<std::uint8_t>& payload, const std::vector<std::uint8_t>& header) {
    return !header.empty() && payload.size() >= header.size() &&
           std::equal(header.begin(), header.end(), payload.begin());
}

bool Expired(DWORD deadline, DWORD now) {
    return static_cast<int>(now - deadline) >= 0;
}

void LogFailure(CLog& log, const char* where, const char* what) {
    std::string line = std::string("DM engine: ") + where + ": " + what;
    log.WriteNarrow(line.c_str());
}

// Runs f; any exception it throws is logged under `where` and ends there. False when it threw.
template <class F>
bool Contained(CLog& log, const char* where, F&& f) {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        LogFailure(log, where, e.what());
    } catch (...) {
        LogFailure(log, where, "unknown exception");
    }
    return false;
}

}  // namespace

// ---- Worker and its queue ----

DMCmdHolder* DMWorkerQueue::TakeNext() {
    CAutoLock guard(Lock());
    DMCmdHolder* holder = PopFront();
    if (holder != nullptr) ++m_running;
    return holder;
}

void DMWorkerQueue::Finished() {
    CAutoLock guard(Lock());
    --m_running;
}

void DMWorkerQueue::OnBeforeQueue(DMCmdHolder* holder) {
    CDMCmd* command = holder->Command();
    if (command == nullptr) return;
    const std::size_t ahead = SizeLocked() + static_cast<std::size_t>(m_running);
    command->SetExtraWaitMs(static_cast<int>(std::min<std::size_t>(ahead * m_graceMs, 0x7FFFFFFF)));
}

DMWorkerThread::DMWorkerThread(DMLinkState& linkState, IDMCommandRunner& runner, DWORD queueGraceMs)
    : m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_linkState(&linkState),
      m_queue(queueGraceMs),
      m_runner(runner) {}

DMWorkerThread::~DMWorkerThread() {
    if (m_stop != nullptr) CloseHandle(m_stop);
}

void DMWorkerThread::Run() {
    HANDLE handles[] = {m_stop, m_queue.Event()};
    for (;;) {
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
        while (DMCmdHolder* holder = m_queue.TakeNext()) {
            DMCmdHolderRef ref(holder);
            CDMCmd* command = holder->Command();
            // A command that completed while queued (its caller timed out, or the engine is
            // stopping) is never sent.
            if (command != nullptr && !command->IsCompleted() && !m_queue.IsClosed())
                m_runner.RunCommand(ref.release());
            else if (command != nullptr)
                command->Cancel();
            m_queue.Finished();
            if (WaitForSingleObject(m_stop, 0) == WAIT_OBJECT_0) return;
        }
    }
}

// ---- Dispatcher ----

DMDispatcher::DMDispatcher()
    : m_released(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_callersLeft(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    InitializeCriticalSection(&m_parsersLock);
}

DMDispatcher::~DMDispatcher() {
    Destroy();
    WaitForCallers();
    DeleteCriticalSection(&m_parsersLock);
    CloseHandle(m_callersLeft);
    CloseHandle(m_released);
}

void DMDispatcher::EnterCall() {
    m_callers.fetch_add(1, std::memory_order_acq_rel);
}

void DMDispatcher::LeaveCall() {
    // Read before the count falls: from then on the dispatcher may be destroyed. Setting the
    // event of a destroyed dispatcher fails harmlessly (handles are never reused).
    HANDLE left = m_callersLeft;
    if (m_callers.fetch_sub(1, std::memory_order_acq_rel) == 1) SetEvent(left);
}

void DMDispatcher::ReleaseCallers() {
    SetEvent(m_released);
}

void DMDispatcher::WaitForCallers() {
    while (m_callers.load(std::memory_order_acquire) != 0)
        WaitForSingleObject(m_callersLeft, INFINITE);
}

void DMDispatcher::AddReportParser(CActiveDMParser* parser) {
    CAutoLock guard(m_parsersLock);
    m_parsers.push_back(parser);
}

void DMDispatcher::RemoveReportParser(CActiveDMParser* parser) {
    CAutoLock guard(m_parsersLock);
    auto it = std::find(m_parsers.begin(), m_parsers.end(), parser);
    if (it != m_parsers.end()) m_parsers.erase(it);
}

std::vector<CActiveDMParser*> DMDispatcher::ReportParsers() const {
    CAutoLock guard(m_parsersLock);
    return m_parsers;
}

bool DMDispatcher::StartWorker(DMLinkState& linkState, IDMCommandRunner& runner,
                               DWORD queueGraceMs) {
    if (m_worker == nullptr)
        m_worker = std::make_unique<DMWorkerThread>(linkState, runner, queueGraceMs);
    return m_worker->Start();
}

void DMDispatcher::CloseQueue() {
    if (m_worker != nullptr) m_worker->Queue().Close();
}

void DMDispatcher::Stop() {
    if (m_worker == nullptr) return;
    CloseQueue();
    SetEvent(m_worker->StopEvent());
    if (m_worker->Handle() != nullptr) m_worker->Wait(INFINITE);
}

void DMDispatcher::Destroy() {
    if (m_destroyed) return;
    Stop();
    m_worker.reset();  // its queue releases every holder still listed
    CAutoLock guard(m_parsersLock);
    m_parsers.clear();
    m_destroyed = true;
}

bool SubmitCommand(DMDispatcher& dispatcher, DMCmdHolder* holder) {
    if (holder == nullptr) return false;
    DMWorkerThread* worker = dispatcher.Worker();
    if (worker != nullptr && worker->LinkState()->linkReady.load() != 0 && worker->IsRunning() &&
        EnqueueCommand(worker->Queue(), holder))
        return true;
    if (CDMCmd* command = holder->Command()) command->Cancel();
    return false;
}

void RemoveReportParser(DMDispatcher& dispatcher, CActiveDMParser* parser) {
    dispatcher.RemoveReportParser(parser);
}

void StopDispatcher(DMDispatcher& dispatcher) {
    dispatcher.Stop();
}
void DestroyDispatcher(DMDispatcher& dispatcher) {
    dispatcher.Destroy();
}

// ---- Delivery ----

DMDeliveryThread::DMDeliveryThread()
    : m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    InitializeCriticalSection(&m_lock);
}

DMDeliveryThread::~DMDeliveryThread() {
    Stop();
    CloseHandle(m_stop);
    CloseHandle(m_event);
    DeleteCriticalSection(&m_lock);
}

void DMDeliveryThread::Post(std::unique_ptr<CActiveDMCmd> notification) {
    CAutoLock guard(m_lock);
    m_queue.push_back(std::move(notification));
    SetEvent(m_event);
}

void DMDeliveryThread::Stop() {
    SetEvent(m_stop);
    if (Handle() != nullptr) Wait(INFINITE);
    std::deque<std::unique_ptr<CActiveDMCmd>> left;
    {
        CAutoLock guard(m_lock);
        left.swap(m_queue);
    }
}

void DMDeliveryThread::Run() {
    HANDLE handles[] = {m_stop, m_event};
    for (;;) {
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
        for (;;) {
            if (WaitForSingleObject(m_stop, 0) == WAIT_OBJECT_0) return;
            std::unique_ptr<CActiveDMCmd> next;
            {
                CAutoLock guard(m_lock);
                if (m_queue.empty()) break;
                next = std::move(m_queue.front());
                m_queue.pop_front();
            }
            // A sink that throws loses its own notification only.
            try {
                next->Deliver();
            } catch (...) {
            }
            next.reset();
            ++m_delivered;
        }
    }
}

// ---- Engine ----

DMEngine::DMEngine(DMDispatcher& dispatcher, std::unique_ptr<IDMLink> link,
                   std::unique_ptr<CLog> log, DMEngineConfig config)
    : m_dispatcher(dispatcher),
      m_config(config),
      m_log(log ? std::move(log) : std::make_unique<CLog>()),
      m_link(std::move(link)),
      m_stopEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_inboundEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_reader(*this) {
    InitializeCriticalSection(&m_lock);
    InitializeCriticalSection(&m_inboundLock);
}

DMEngine::~DMEngine() {
    Destroy();
    CloseHandle(m_inboundEvent);
    CloseHandle(m_stopEvent);
    DeleteCriticalSection(&m_inboundLock);
    DeleteCriticalSection(&m_lock);
}

bool DMEngine::Start() {
    if (m_stopping.load() || m_link == nullptr) return false;
    if (!m_reader.Start()) return false;
    m_linkOpen = true;
    const bool up = m_link->Open(this);
    // A link that reported its state while opening (a port that failed at once) has set it.
    if (!m_stopping.load() && m_linkReports.load() == 0) m_linkState.linkReady.store(up ? 1 : 0);
    return true;
}

void DMEngine::OnLinkBytes(const std::uint8_t* data, std::size_t n) {
    CAutoLock guard(m_inboundLock);
    if (m_inbound.empty() || m_inbound.back().sends != m_sends) m_inbound.push_back({m_sends, {}});
    m_inbound.back().bytes.insert(m_inbound.back().bytes.end(), data, data + n);
    SetEvent(m_inboundEvent);
}

void DMEngine::OnLinkState(bool up) {
    ++m_linkReports;
    const bool ready = up && !m_stopping.load();
    m_linkState.linkReady.store(ready ? 1 : 0);
    if (ready) {
        ResetEvent(m_dispatcher.ReleasedEvent());
        return;
    }
    // No answer can come now: the waiting callers return (status 1), the report waits too.
    SetEvent(m_dispatcher.ReleasedEvent());
    CAutoLock guard(m_lock);
    if (m_current.holder != nullptr) m_current.holder->Command()->Cancel();
}

void DMEngine::RunCommand(DMCmdHolder* holder) {
    DMCmdHolderRef ref(holder);
    CDMCmd* command = holder->Command();
    // Whatever fails (serialising, framing, sending), the caller gets its answer now rather than
    // at its time-out.
    if (!Contained(*m_log, "command", [&] { Execute(holder); })) command->Cancel();
    CAutoLock guard(m_lock);
    if (m_current.holder != holder) return;
    // Sent, then cancelled with no answer seen: its reply may still come.
    if (m_current.sent && command->Result() == kCmdCancelled && !m_current.answered &&
        !m_current.mayBeTaken && !m_stopping.load()) {
        if (m_owed.size() == kMaxOwedReplies) m_owed.pop_front();
        m_owed.push_back({m_current.header, GetTickCount() + m_config.lateReplyWindowMs});
    }
    m_current = Current{};
    holder->Release();
}

void DMEngine::Execute(DMCmdHolder* holder) {
    CDMCmd* command = holder->Command();
    DMPacket request(m_config.bigEndian);
    request.WriteU8(command->GetCommandCode());
    command->SerializeCommand(request);
    std::vector<std::uint8_t> frame =
        EncodeDMFrame(DMFrameKind::Request, 0, request.Data(), request.Size());
    if (frame.empty()) throw std::length_error("request too large for one frame");
    {
        CAutoLock guard(m_lock);
        if (m_stopping.load() || command->IsCompleted()) {
            command->Cancel();
            return;
        }
        holder->AddRef();
        // Current before it is sent, since the answer may arrive while Send still runs; but
        // nothing that arrived before the request went out can answer it (a device that repeats
        // the previous reply would otherwise answer this command with that reply's fields).
        std::uint64_t sentAt = 0;
        {
            CAutoLock inbound(m_inboundLock);
            sentAt = ++m_sends;
        }
        m_current = Current{holder, RequestHeader(request), sentAt, true};
    }
    if (!m_link->Send(frame.data(), frame.size())) {
        CAutoLock guard(m_lock);
        m_current.sent = false;
        command->Cancel();  // the link went down
        return;
    }
    HANDLE handles[] = {command->Event(), m_stopEvent};
    if (WaitForMultipleObjects(2, handles, FALSE, m_config.maxCommandMs) != WAIT_OBJECT_0)
        command->Cancel();
}

void DMEngine::ReaderLoop() {
    HANDLE handles[] = {m_stopEvent, m_inboundEvent};
    for (;;) {
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
        std::deque<Inbound> pieces;
        {
            CAutoLock guard(m_inboundLock);
            pieces.swap(m_inbound);
        }
        for (const Inbound& piece : pieces) {
            // A frame completed by this piece arrived after `sends` requests had gone out.
            m_feedingSends = piece.sends;
            try {
                m_decoder.Feed(piece.bytes.data(), piece.bytes.size(),
                               [this](DMFrame&& frame) { HandleFrame(std::move(frame)); });
            } catch (...) {
                // Only the decoder's own allocation can fail here; the bytes are lost, the
                // reader goes on.
                ++m_droppedFrames;
            }
        }
    }
}

void DMEngine::HandleFrame(DMFrame&& frame) {
    // Every failure stays with its frame: the reader must outlive any one packet.
    const bool handled = Contained(*m_log, "frame", [&] {
        switch (frame.kind) {
            case DMFrameKind::Reply:
                HandleReply(frame.payload, false);
                break;
            case DMFrameKind::NotSupported:
                HandleReply(frame.payload, true);
                break;
            case DMFrameKind::Report:
                HandleReport(frame.reportId, frame.payload);
                break;
            case DMFrameKind::Request:
                break;  // the device sends none
        }
    });
    if (!handled) ++m_droppedFrames;
}

bool DMEngine::TakeOwedLocked(const std::vector<std::uint8_t>& payload) {
    const DWORD now = GetTickCount();
    while (!m_owed.empty() && Expired(m_owed.front().deadline, now)) m_owed.pop_front();
    for (auto it = m_owed.begin(); it != m_owed.end(); ++it) {
        if (!Expired(it->deadline, now) && StartsWith(payload, it->header)) {
            if (m_current.holder != nullptr && m_current.header == it->header)
                m_current.mayBeTaken = true;
            m_owed.erase(it);
            ++m_discardedLate;
            return true;
        }
    }
    return false;
}

void DMEngine::HandleReply(const std::vector<std::uint8_t>& payload, bool notSupported) {
    if (payload.empty()) return;
    CAutoLock guard(m_lock);
    if (TakeOwedLocked(payload)) return;
    if (m_current.holder == nullptr) return;
    CDMCmd* command = m_current.holder->Command();
    if (payload[0] != command->GetCommandCode()) return;
    if (m_feedingSends < m_current.sentAt) {
        ++m_staleReplies;  // whole before the request went out: a repeat, noise
        return;
    }
    // An answer with the request's header came: whatever becomes of it (parsed, refused as
    // unreadable, or too late for a command cancelled a moment ago), nothing is owed any more.
    const bool ownHeader = StartsWith(payload, m_current.header);
    if (ownHeader) m_current.answered = true;
    if (command->IsCompleted()) return;
    if (notSupported) {
        if (ownHeader) command->Complete(kCmdNotSupported);
        return;
    }
    DMPacket reader(m_config.bigEndian, payload.data(), payload.size());
    reader.SetPosition(1);
    command->HandleResponse(reader, *m_log);
    if (command->IsCompleted()) m_current.answered = true;
}

void DMEngine::HandleReport(std::uint32_t id, const std::vector<std::uint8_t>& payload) {
    DMPacket reader(m_config.bigEndian, payload.data(), payload.size());
    for (CActiveDMParser* parser : m_dispatcher.ReportParsers()) {
        const ReportTableEntry* table = parser->GetReportTable();
        for (const ReportTableEntry* entry = table; entry != nullptr && entry->id != 0; ++entry) {
            if (entry->id != id) continue;
            // Each factory reads the payload from its start; one that throws costs only its own
            // notification.
            const bool built = Contained(*m_log, "report", [&] {
                reader.SetPosition(0);
                std::unique_ptr<CActiveDMCmd> notification = parser->Build(*entry, reader);
                if (notification == nullptr) return;
                std::unique_ptr<DMDeliveryThread>& thread = m_delivery[parser];
                if (thread == nullptr) {
                    thread = std::make_unique<DMDeliveryThread>();
                    if (!thread->Start()) throw std::runtime_error("no delivery thread");
                }
                thread->Post(std::move(notification));
            });
            if (!built) ++m_droppedFrames;
        }
    }
}

void DMEngine::Stop() {
    if (m_stopped) return;
    m_stopped = true;
    m_stopping.store(true);
    m_linkState.linkReady.store(0);
    m_dispatcher.CloseQueue();
    SetEvent(m_stopEvent);
    {
        CAutoLock guard(m_lock);
        if (m_current.holder != nullptr) m_current.holder->Command()->Cancel();
    }
    if (m_reader.Handle() != nullptr) m_reader.Wait(INFINITE);
    for (auto& [parser, thread] : m_delivery) thread->Stop();
    if (m_linkOpen && m_link != nullptr) {
        try {
            m_link->Close();
        } catch (const CSerialException& e) {
            m_log->WriteWide(e.GetErrorMessage().c_str());
        }
        m_linkOpen = false;
    }
}

void DMEngine::Destroy() {
    if (m_destroyed) return;
    Stop();
    m_delivery.clear();
    m_link.reset();
    CAutoLock guard(m_lock);
    if (m_current.holder != nullptr) m_current.holder->Release();
    m_current = Current{};
    m_owed.clear();
    m_destroyed = true;
}

bool DMEngine::ThreadsRunning() const {
    if (m_reader.IsRunning()) return true;
    for (const auto& [parser, thread] : m_delivery)
        if (thread->IsRunning()) return true;
    return false;
}

void StopEngine(DMEngine& engine) {
    engine.Stop();
}
void DestroyEngine(DMEngine& engine) {
    engine.Destroy();
}
