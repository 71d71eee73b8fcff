#include "dm/command.h"

#include <string>

int MapCommandResult(int code) {
    switch (code) {
        case kCmdSucceeded:
            return kStatusSuccess;
        case kCmdFailed:
        case kCmdCancelled:
        case kCmdRejected:
            return kStatusFailure;
        case kCmdNotSupported:
            return kStatusNotSupported;
        default:  // not completed, timed out, unknown
            return kStatusNoAnswer;
    }
}

// ---- CDMCmd ----

CDMCmd::CDMCmd() {
    InitializeCriticalSection(&m_lock);
    m_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CDMCmd::~CDMCmd() {
    if (m_event != nullptr) CloseHandle(m_event);
    DeleteCriticalSection(&m_lock);
}

int CDMCmd::Wait(DWORD ms, bool cancelOnTimeout, bool addExtra) {
    if (ms != 0) m_timeoutMs.store(static_cast<int>(ms), std::memory_order_release);
    std::uint64_t total = ms;
    if (addExtra && ms != 0) {
        const int extra = ExtraWaitMs();
        if (extra > 0) total += static_cast<std::uint64_t>(extra);
    }
    // INFINITE stays infinite; a sum past it is the longest finite wait.
    if (ms != INFINITE && total >= INFINITE) total = INFINITE - 1;
    if (m_event != nullptr &&
        WaitForSingleObject(m_event, static_cast<DWORD>(total)) == WAIT_OBJECT_0)
        return Result();
    if (!cancelOnTimeout) return kCmdTimedOut;
    // A completion that won the race to the time-out stands: its code, not a time-out.
    return Cancel() ? kCmdTimedOut : Result();
}

bool CDMCmd::CompleteLocked(int code, bool cancel) {
    if (m_completed.load(std::memory_order_relaxed)) return false;
    if (cancel) m_timeoutMs.store(0, std::memory_order_release);
    m_extraWaitMs.store(0, std::memory_order_release);
    m_result.store(code, std::memory_order_release);
    m_completed.store(true, std::memory_order_release);
    if (m_event != nullptr) SetEvent(m_event);
    return true;
}

bool CDMCmd::Complete(int code) {
    FieldLock lock(*this);
    return CompleteLocked(code, false);
}

bool CDMCmd::Cancel() {
    FieldLock lock(*this);
    return CompleteLocked(kCmdCancelled, true);
}

bool CDMCmd::CommitAndComplete(int code, const std::function<void()>& commit) {
    FieldLock lock(*this);
    if (m_completed.load(std::memory_order_relaxed)) return false;
    if (commit) commit();
    return CompleteLocked(code, false);
}

// ---- CDMCmdEx ----

void CDMCmdEx::SerializeCommand(DMPacket& packet) {
    packet.WriteU8(GetCategory()).WriteU16(GetSubCommand());
}

bool CDMCmdEx::MatchReplyHeader(DMPacket& reader) const {
    std::uint8_t category = 0;
    std::uint16_t subCommand = 0;
    reader.ReadU8(category).ReadU16(subCommand);
    return category == GetCategory() && subCommand == GetSubCommand();
}

// ---- CDMCmdWithStatus ----

void CDMCmdWithStatus::SerializeCommand(DMPacket& packet) {
    CDMCmdEx::SerializeCommand(packet);
    WriteParams(packet);
}

void CDMCmdWithStatus::HandleResponse(DMPacket& reader, CLog& log) {
    if (IsCompleted()) return;
    if (!MatchReplyHeader(reader)) return;
    std::uint8_t status = 0;
    reader.ReadU8(status);
    if (status == 0) {
        ReplyCommit commit = ParseReply(reader);
        CommitAndComplete(kCmdSucceeded, commit);
        return;
    }
    const std::string line = "CmdFail:cmdId=" + std::to_string(GetCategory()) +
                             ", SubCmd=" + std::to_string(GetSubCommand()) +
                             ", ErrCode=" + std::to_string(status);
    // Logged only by the reply that completes the command.
    CommitAndComplete(status == 2 ? kCmdRejected : kCmdFailed,
                      [&log, &line] { log.WriteNarrowAtLevel(1, line.c_str()); });
}

// ---- CStatusCmd ----

void CStatusCmd::HandleResponse(DMPacket& reader, CLog& log) {
    if (IsCompleted()) return;
    if (!MatchReplyHeader(reader)) return;
    DMStatusReply reply;
    for (std::uint8_t& b : reply.s) reader.ReadU8(b);
    reader.ReadU16(reply.w);
    for (std::uint8_t& b : reply.r) reader.ReadU8(b);
    CommitAndComplete(kCmdSucceeded, [this, &reply] { m_reply = reply; });
}

DMStatusReply CStatusCmd::Reply() const {
    return WithFieldsLocked([this] { return m_reply; });
}

// ---- DMCmdHolder ----

DMCmdHolder* DMCmdHolder::Create(CDMCmd* command) {
    std::unique_ptr<CDMCmd> owned(command);  // freed if the holder cannot be allocated
    auto* holder = new DMCmdHolder(nullptr);
    holder->m_command = std::move(owned);
    return holder;
}

void DMCmdHolder::Release() {
    if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

// ---- CActiveDMParser ----

const ReportTableEntry* CActiveDMParser::FindReport(std::uint32_t id) const {
    if (id == 0) return nullptr;
    for (const ReportTableEntry* e = GetReportTable(); e != nullptr && e->id != 0; ++e)
        if (e->id == id) return e;
    return nullptr;
}
