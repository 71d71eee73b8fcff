// The command engine: the dispatcher (report parsers, command queue, worker) and the port part
// (link, reader, delivery threads, current command).
//
// A command's road: SubmitCommand queues it; the worker takes the queue in arrival order, skips
// a command that completed while queued (time-outs run from submission), makes it the current
// command under the engine lock with a reference of its own, sends it as one request frame and
// waits for the command's event. The reader decodes the device's frames: a reply whose first
// byte is the current command's code goes to its HandleResponse under the engine lock; a
// not-supported frame that echoes the current request's header completes it with code 6; a
// report is offered to every parser whose table lists its id, and each notification built goes
// to that parser's delivery thread.
//
// Late replies: the link has no sequence numbers. When a sent command is cancelled before any
// answer came, the reader discards the next reply that carries its header (code, category,
// sub-command) within lateReplyWindowMs, so that the late answer never becomes the answer of the
// next command with the same header. If it never comes, the next such command loses one reply
// (one extra time-out); that command then leaves no entry of its own.
//
// Extra wait time: when a command is queued (the queue's first hook, before SubmitCommand
// returns and so before the caller's wait begins), extraWaitMs := queueGraceMs for every command
// ahead of it, queued or being run. Operations that add the extra time then wait for their own
// time-out plus the backlog's allowance.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "app/thread.h"
#include "dm/command.h"
#include "dm/command_queue.h"
#include "dm/frame.h"
#include "dm/link.h"
#include "dm/log.h"
#include <windows.h>

struct DMEngineConfig {
    // Byte order of every packet on the link (true: most significant byte first).
    bool bigEndian = false;
    // Extra wait granted per command ahead of a newly queued one.
    DWORD queueGraceMs = 1000;
    // How long after a cancellation the cancelled command's late reply is expected.
    DWORD lateReplyWindowMs = 3000;
    // A current command that nobody completes or cancels is cancelled by the worker after this.
    DWORD maxCommandMs = 60000;
};

// Whether commands can be sent now.
struct DMLinkState {
    std::atomic<std::uint8_t> linkReady{0};
};

// Runs one command on the device: the engine.
class IDMCommandRunner {
public:
    // Takes the holder's reference.
    virtual void RunCommand(DMCmdHolder* holder) = 0;

protected:
    ~IDMCommandRunner() = default;
};

// The worker's queue: its first hook grants the extra wait.
class DMWorkerQueue : public DMCommandQueue {
public:
    explicit DMWorkerQueue(DWORD graceMs) : m_graceMs(graceMs) {}
    // The next command, counted as being run until Finished.
    DMCmdHolder* TakeNext();
    void Finished();

protected:
    void OnBeforeQueue(DMCmdHolder* holder) override;

private:
    DWORD m_graceMs;
    int m_running = 0;  // under the queue lock
};

class DMWorkerThread : public CThread {
public:
    DMWorkerThread(DMLinkState& linkState, IDMCommandRunner& runner, DWORD queueGraceMs);
    ~DMWorkerThread() override;

    HANDLE StopEvent() const { return m_stop; }
    DMLinkState* LinkState() const { return m_linkState; }
    DMWorkerQueue& Queue() { return m_queue; }

protected:
    void Run() override;

private:
    HANDLE m_stop;
    DMLinkState* m_linkState;
    DMWorkerQueue m_queue;
    IDMCommandRunner& m_runner;
};

class DMDispatcher {
public:
    DMDispatcher();
    ~DMDispatcher();
    DMDispatcher(const DMDispatcher&) = delete;
    DMDispatcher& operator=(const DMDispatcher&) = delete;

    // The report parsers (not owned). The reader walks a copy taken under the lock.
    void AddReportParser(CActiveDMParser* parser);
    // Removes the first entry equal to the parser, keeping the order of the rest.
    void RemoveReportParser(CActiveDMParser* parser);
    std::vector<CActiveDMParser*> ReportParsers() const;

    // Creates and starts the worker (once).
    bool StartWorker(DMLinkState& linkState, IDMCommandRunner& runner, DWORD queueGraceMs);
    DMWorkerThread* Worker() const { return m_worker.get(); }

    // Closes the queue: queued commands are cancelled, later submissions refused.
    void CloseQueue();
    void Stop();
    void Destroy();

    // Callers inside the service's operations. A caller enters before it takes a lock of the
    // service or waits, and leaves after its last touch of the service. The service's destruction
    // first releases the waits that are no command's (the released event), stops the engine
    // (which ends every command wait), then waits until the last caller has left.
    void EnterCall();
    // Nothing of the dispatcher is touched once the count has fallen.
    void LeaveCall();
    // Manual-reset; signalled while no answer can come (the link is down, or ReleaseCallers ran).
    // Waits of callers that no command ends include it.
    HANDLE ReleasedEvent() const { return m_released; }
    void ReleaseCallers();
    void WaitForCallers();

private:
    HANDLE m_released;
    HANDLE m_callersLeft;  // auto-reset; set when the count falls to 0
    std::atomic<long> m_callers{0};
    mutable CRITICAL_SECTION m_parsersLock;
    std::vector<CActiveDMParser*> m_parsers;
    std::unique_ptr<DMWorkerThread> m_worker;
    bool m_destroyed = false;
};

// Queues the holder's command when the link is ready and the worker runs; otherwise cancels it
// (code 4) and queues nothing. True when queued.
bool SubmitCommand(DMDispatcher& dispatcher, DMCmdHolder* holder);
void RemoveReportParser(DMDispatcher& dispatcher, CActiveDMParser* parser);

// One parser's notifications, delivered in order on a thread of their own.
class DMDeliveryThread : public CThread {
public:
    DMDeliveryThread();
    // Stops the thread; notifications still queued are destroyed undelivered.
    ~DMDeliveryThread() override;
    void Post(std::unique_ptr<CActiveDMCmd> notification);
    // Signals the stop event, waits for the thread and destroys what is still queued.
    void Stop();
    std::size_t Delivered() const { return m_delivered.load(); }

protected:
    void Run() override;

private:
    HANDLE m_stop;
    HANDLE m_event;
    CRITICAL_SECTION m_lock;
    std::deque<std::unique_ptr<CActiveDMCmd>> m_queue;
    std::atomic<std::size_t> m_delivered{0};
};

class DMEngine final : public IDMLinkReceiver, public IDMCommandRunner {
public:
    DMEngine(DMDispatcher& dispatcher, std::unique_ptr<IDMLink> link, std::unique_ptr<CLog> log,
             DMEngineConfig config);
    ~DMEngine();
    DMEngine(const DMEngine&) = delete;
    DMEngine& operator=(const DMEngine&) = delete;

    // Starts the reader, then opens the link.
    bool Start();
    CLog& Log() { return *m_log; }
    DMLinkState& LinkState() { return m_linkState; }
    const DMEngineConfig& Config() const { return m_config; }

    // Stopping: the flag first, then the queue and the current command are cancelled, the
    // reader is joined, the delivery threads stop (their queued notifications are destroyed
    // undelivered), and the link is closed. Idempotent.
    void Stop();
    // Stop, then frees the link, threads and current command. Idempotent.
    void Destroy();
    bool Stopping() const { return m_stopping.load(); }
    // The reader or a delivery thread still runs.
    bool ThreadsRunning() const;

    // Frames the reader dropped because they could not be handled (an exception while parsing).
    std::size_t DroppedFrames() const { return m_droppedFrames.load(); }
    std::size_t DiscardedLateReplies() const { return m_discardedLate.load(); }
    // Replies dropped because every byte of them arrived before the current request was sent.
    std::size_t StaleReplies() const { return m_staleReplies.load(); }

    // IDMLinkReceiver
    void OnLinkBytes(const std::uint8_t* data, std::size_t n) override;
    void OnLinkState(bool up) override;
    // IDMCommandRunner
    void RunCommand(DMCmdHolder* holder) override;

private:
    struct Current {
        DMCmdHolder* holder = nullptr;  // the engine's own reference
        std::vector<std::uint8_t> header;
        // The send count when its request went out: only frames ending in bytes that arrived
        // from then on may answer it.
        std::uint64_t sentAt = 0;
        bool sent = false;
        bool answered = false;    // a reply or not-supported frame for it came
        bool mayBeTaken = false;  // a reply with its header was discarded as an older one's
    };
    struct Owed {
        std::vector<std::uint8_t> header;
        DWORD deadline;
    };

    void ReaderLoop();
    void HandleFrame(DMFrame&& frame);
    void HandleReply(const std::vector<std::uint8_t>& payload, bool notSupported);
    void HandleReport(std::uint32_t id, const std::vector<std::uint8_t>& payload);
    // Under the engine lock: drops the owed reply that the payload answers, if any.
    bool TakeOwedLocked(const std::vector<std::uint8_t>& payload);
    void Execute(DMCmdHolder* holder);

    DMDispatcher& m_dispatcher;
    DMEngineConfig m_config;
    std::unique_ptr<CLog> m_log;
    std::unique_ptr<IDMLink> m_link;
    DMLinkState m_linkState;
    HANDLE m_stopEvent;
    CRITICAL_SECTION m_lock;  // the engine lock: current command, owed replies
    Current m_current;
    std::deque<Owed> m_owed;

    // Bytes from the link, each piece with the number of requests sent before it arrived.
    struct Inbound {
        std::uint64_t sends;
        std::vector<std::uint8_t> bytes;
    };
    CRITICAL_SECTION m_inboundLock;  // the inbound pieces and the send count
    std::deque<Inbound> m_inbound;
    std::uint64_t m_sends = 0;
    HANDLE m_inboundEvent;
    DMFrameDecoder m_decoder;          // reader only
    std::uint64_t m_feedingSends = 0;  // reader only: the send count of the piece being decoded

    DMOwnedThread<DMEngine, &DMEngine::ReaderLoop> m_reader;
    std::map<CActiveDMParser*, std::unique_ptr<DMDeliveryThread>> m_delivery;  // reader, then Stop

    std::atomic<bool> m_stopping{false};
    bool m_stopped = false;
    bool m_destroyed = false;
    bool m_linkOpen = false;
    std::atomic<std::size_t> m_droppedFrames{0};
    std::atomic<std::size_t> m_discardedLate{0};
    std::atomic<std::size_t> m_staleReplies{0};
    std::atomic<int> m_linkReports{0};  // OnLinkState calls so far
};

void StopEngine(DMEngine& engine);
void DestroyEngine(DMEngine& engine);
void StopDispatcher(DMDispatcher& dispatcher);
void DestroyDispatcher(DMDispatcher& dispatcher);
