// The device command base: every request to the modem is a command object that writes its
// request, recognises and parses its reply, and carries the event its caller waits on.
//
// A command completes once: the first of Complete, Cancel or a parsed reply wins, and every later
// one does nothing. A reply is parsed into locals; its fields are stored and the command
// completed together under the command's lock, so a caller that copies the fields out under the
// same lock (WithFieldsLocked) sees either none of a reply or all of it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "dm/log.h"
#include "dm/packet.h"
#include <windows.h>

// Completion codes of a command.
enum DMCommandResult : int {
    kCmdPending = 0,       // not completed (also: no command object)
    kCmdSucceeded = 1,     // reply with status byte 0, body parsed
    kCmdFailed = 2,        // reply with a status byte other than 0 and 2
    kCmdTimedOut = 3,      // returned by Wait, never stored
    kCmdCancelled = 4,     // time-out, engine stopping, or not submitted
    kCmdRejected = 5,      // reply with status byte 2
    kCmdNotSupported = 6,  // the engine found the device does not support the request
};

// Service status, the outcome every device operation hands its caller.
enum DMServiceStatus : int {
    kStatusSuccess = 0,
    kStatusFailure = 1,       // failure or refusal
    kStatusNoAnswer = 2,      // no answer in time
    kStatusNotSupported = 4,  // not supported
};

// The service status for a completion code.
int MapCommandResult(int code);

// Request categories (the byte after the command code of a request and of its reply).
enum DMCategory : std::uint8_t {
    kCategoryStatus = 0x65,
    kCategoryDevice = 0x6A,
    kCategorySms = 0x6B,
    kCategoryVoice = 0x6C,
    kCategoryPhonebook = 0x6D,
    kCategoryEngineering = 0x6E,
    kCategorySmsBoxes = 0x71,
};

class CDMCmd {
public:
    CDMCmd();
    // Closes the event.
    virtual ~CDMCmd();
    CDMCmd(const CDMCmd&) = delete;
    CDMCmd& operator=(const CDMCmd&) = delete;

    // The first byte of the request.
    virtual std::uint8_t GetCommandCode() const = 0;
    // Writes the request after its first byte.
    virtual void SerializeCommand(DMPacket& packet) = 0;
    // Offered every reply while the command is current; the reader stands after the reply's
    // first byte. A reply for another command leaves the command as it is. A CDMPacketException
    // from a short reply leaves the command uncompleted and its fields untouched.
    virtual void HandleResponse(DMPacket& reader, CLog& log) = 0;

    // Waits up to ms (plus the extra time when addExtra is set and ms is not 0; 0 polls). Returns
    // the completion code, or kCmdTimedOut. On a time-out with cancelOnTimeout the command is
    // cancelled; if it completed in the meantime its stored code is returned instead.
    int Wait(DWORD ms, bool cancelOnTimeout, bool addExtra);
    // Stores the code and signals the event; true when this call completed the command, false
    // (nothing changed) when it had completed already.
    bool Complete(int code);
    // Completes with kCmdCancelled and clears the time-out; false when already completed.
    bool Cancel();

    bool IsCompleted() const { return m_completed.load(std::memory_order_acquire); }
    int Result() const { return m_result.load(std::memory_order_acquire); }
    // Extra time a wait adds when asked to; set by the engine before the caller's wait begins.
    void SetExtraWaitMs(int ms) { m_extraWaitMs.store(ms, std::memory_order_release); }
    int ExtraWaitMs() const { return m_extraWaitMs.load(std::memory_order_acquire); }
    // The last non-zero time-out given to Wait (0 after Cancel).
    int TimeoutMs() const { return m_timeoutMs.load(std::memory_order_acquire); }
    HANDLE Event() const { return m_event; }

    // Runs f under the command's lock: how a service copies reply fields out.
    template <class F>
    decltype(auto) WithFieldsLocked(F&& f) const {
        FieldLock lock(*this);
        return std::forward<F>(f)();
    }

protected:
    // Stores the parsed fields (commit may be empty) and completes with code, together under the
    // command's lock; nothing happens when the command has completed already. Returns whether it
    // completed the command.
    bool CommitAndComplete(int code, const std::function<void()>& commit);

private:
    class FieldLock {
    public:
        explicit FieldLock(const CDMCmd& cmd) : m_cmd(cmd) { EnterCriticalSection(&m_cmd.m_lock); }
        ~FieldLock() { LeaveCriticalSection(&m_cmd.m_lock); }
        FieldLock(const FieldLock&) = delete;
        FieldLock& operator=(const FieldLock&) = delete;

    private:
        const CDMCmd& m_cmd;
    };
    bool CompleteLocked(int code, bool cancel);

    HANDLE m_event = nullptr;
    std::atomic<int> m_result{kCmdPending};
    std::atomic<int> m_extraWaitMs{0};
    std::atomic<int> m_timeoutMs{0};
    std::atomic<bool> m_completed{false};
    mutable CRITICAL_SECTION m_lock;
};

// Requests of the category scheme: command code 0x4B, then the category byte and the 16-bit
// sub-command.
class CDMCmdEx : public CDMCmd {
public:
    std::uint8_t GetCommandCode() const override { return 0x4B; }
    // Writes the category and the sub-command.
    void SerializeCommand(DMPacket& packet) override;
    virtual std::uint8_t GetCategory() const = 0;
    virtual std::uint16_t GetSubCommand() const = 0;

    // Reads a reply's category and sub-command; true when both are this command's.
    bool MatchReplyHeader(DMPacket& reader) const;
};

// Requests whose reply carries a status byte after the header.
class CDMCmdWithStatus : public CDMCmdEx {
public:
    // The header, then WriteParams.
    void SerializeCommand(DMPacket& packet) override;
    // Header check, status byte; status 0 parses the body (ParseReply) and completes with 1;
    // any other status logs "CmdFail:cmdId=<category>, SubCmd=<sub>, ErrCode=<status>" at level
    // 1 and completes with 5 (status 2) or 2 (others). A completed command ignores the reply.
    void HandleResponse(DMPacket& reader, CLog& log) override;

protected:
    // Stores parsed reply fields in the command; runs under the command's lock.
    using ReplyCommit = std::function<void()>;
    // The request parameters after the header; none by default.
    virtual void WriteParams(DMPacket& packet) {}
    // Reads the reply body after the status byte into locals and returns the step that stores
    // them (empty: nothing to store). It must not touch the command's fields itself.
    virtual ReplyCommit ParseReply(DMPacket& reader) { return {}; }
};

// A command whose header comes from its parameter type P:
//   struct DMCmdParam_X { static constexpr std::uint8_t kCategory = ...;
//                         static constexpr std::uint16_t kSubCommand = ...; };
template <class P>
class CSimpleDMCmd : public CDMCmdWithStatus {
public:
    std::uint8_t GetCategory() const override { return P::kCategory; }
    std::uint16_t GetSubCommand() const override { return P::kSubCommand; }
};

// The status reply: after the header, five bytes, one 16-bit value, three bytes; no status byte.
struct DMStatusReply {
    std::uint8_t s[5] = {};
    std::uint16_t w = 0;
    std::uint8_t r[3] = {};
};

// The status query (category 0x65, sub-command 0, no parameters).
class CStatusCmd : public CDMCmdEx {
public:
    std::uint8_t GetCategory() const override { return kCategoryStatus; }
    std::uint16_t GetSubCommand() const override { return 0; }
    void HandleResponse(DMPacket& reader, CLog& log) override;
    // A copy of the reply fields taken under the command's lock (all 0 until a reply is parsed).
    DMStatusReply Reply() const;

private:
    DMStatusReply m_reply;
};

// The status query as the signal, network-type and roaming operations send it.
class CDMCmdQuerySignal : public CStatusCmd {};
class CDMCmdQueryCDMA : public CStatusCmd {};
class CDMCmdQueryRoaming : public CStatusCmd {};

// The holder through which a caller and the engine share one command. It starts with one
// reference (the creator's); the last Release deletes the command and the holder.
class DMCmdHolder {
public:
    // Takes the command (may be null).
    static DMCmdHolder* Create(CDMCmd* command);
    void AddRef() { m_refCount.fetch_add(1, std::memory_order_relaxed); }
    void Release();
    CDMCmd* Command() const { return m_command.get(); }
    int RefCount() const { return m_refCount.load(std::memory_order_acquire); }

private:
    explicit DMCmdHolder(CDMCmd* command) : m_command(command) {}
    ~DMCmdHolder() = default;

    std::atomic<int> m_refCount{1};
    std::unique_ptr<CDMCmd> m_command;
};

// One reference to a holder, released when it goes.
struct DMCmdHolderRelease {
    void operator()(DMCmdHolder* holder) const {
        if (holder != nullptr) holder->Release();
    }
};
using DMCmdHolderRef = std::unique_ptr<DMCmdHolder, DMCmdHolderRelease>;

// A notification built from an unsolicited report; it holds the application's sink (not owned)
// and the report's data.
class CActiveDMCmd {
public:
    virtual ~CActiveDMCmd() = default;
    // Hands the data to the sink.
    virtual void Deliver() = 0;
};

class CActiveDMParser;

// One report a parser handles: its id and the parser's operation that builds the notification
// from the reader positioned at the report payload (null: nothing to deliver). A table ends with
// an entry of id 0.
struct ReportTableEntry {
    using Factory = std::unique_ptr<CActiveDMCmd> (CActiveDMParser::*)(DMPacket& reader);
    std::uint32_t id;
    Factory factory;
};

// Slot 0 is the table; the destructor follows it.
class CActiveDMParser {
public:
    virtual const ReportTableEntry* GetReportTable() const = 0;
    virtual ~CActiveDMParser() = default;

    // The table's entry for the id, or null.
    const ReportTableEntry* FindReport(std::uint32_t id) const;
    // Runs the entry's factory on this parser.
    std::unique_ptr<CActiveDMCmd> Build(const ReportTableEntry& entry, DMPacket& reader) {
        return (this->*entry.factory)(reader);
    }
};
