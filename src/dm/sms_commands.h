// Short messages: the message record and the commands of the two storage schemes. In the
// box-selecting scheme one command selects a box and the following ones act on it; in the
// box-naming scheme (classes ending in _RC) every command names its box. The send and group
// commands of both schemes are the same on the wire; they are told apart by which report parser
// answers them.
#pragma once

#include <atomic>
#include <functional>
#include <cstdint>
#include <string>
#include <utility>

#include "dm/command.h"
#include "dm/command_params.h"
#include "dm/service_call.h"
#include <windows.h>

// The marker a record made for a caller carries in its device index until a read fills it.
inline constexpr std::uint32_t kNewRecordMarker = 882301;

struct SMSRecord {
    int year = 2000;  // four digits after a read
    int month = 1;
    int day = 1;
    int hour = 12;
    int minute = 1;
    int second = 1;
    int attribute = 0;  // carried with the message as the device gives it
    int status = 3;     // 0 to 3; 1: unread
    int encoding = 4;   // 4: the text travels as big-endian UCS-2
    std::string text;
    std::string number;             // the other party's
    std::uint32_t deviceIndex = 0;  // the message's slot in its device box
};

// Clamps a read date into range. Two-digit years: 70 to 99 are the 1900s, below 70 the 2000s.
void NormalizeSMSDate(SMSRecord& record);
// The coding pair written before a message's attribute: (0, 4) for a text with a double-byte
// character, (1, 2) for plain 7-bit text, (3, 0) for other 8-bit text.
std::pair<std::uint8_t, std::uint8_t> SMSCodingPair(const std::string& text);
// The width of a message's number field; a send whose number does not fit is refused.
inline constexpr std::uint32_t kSMSNumberWidth = 32;

// The relative validity-period code of a validity choice: 1 two days, 2 one week, 3 30 days,
// 4 52 weeks; any other choice one day.
std::uint8_t SMSValidityCode(int choice);
// The fields of a message body as they are on the wire: status; number (a field of 32 bytes);
// a byte the record does not keep; the encoding; the attribute; the 16-bit year; month, day,
// hour, minute, second; the text (a field of 160 bytes, UCS-2 when the encoding is 4). Nothing is
// clamped. Read replies carry this body; write requests carry the same layout.
SMSRecord ReadSMSBody(DMPacket& reader);
// The send result of a send-status word: 0 sent, 2, 3, 4 for the device's known refusals, 1 for
// anything else (no report included).
int SMSSendResult(std::uint16_t word);

// ---- Parameter types ----

struct DMCmdParam_SelSMSBox : DMCmdParamOf<kCategorySms, 2> {};
struct DMCmdParam_QuerySMSBox : DMCmdParamOf<kCategorySms, 3> {};
struct DMCmdParam_ReadSMS : DMCmdParamOf<kCategorySms, 4> {};
struct DMCmdParam_DelSMS : DMCmdParamOf<kCategorySms, 5> {};
struct DMCmdParam_SendSMS : DMCmdParamOf<kCategorySms, 6> {};
struct DMCmdParam_SendSMS_RC : DMCmdParamOf<kCategorySms, 6> {};
struct DMCmdParam_WriteSMS : DMCmdParamOf<kCategorySms, 7> {};
struct DMCmdParam_GroupSendingTag : DMCmdParamOf<kCategorySms, 8> {};
struct DMCmdParam_GroupSendingTag_RC : DMCmdParamOf<kCategorySms, 8> {};
struct DMCmdParam_ReadSMS_RC : DMCmdParamOf<kCategorySmsBoxes, 1> {};
struct DMCmdParam_QuerySMSBox_RC : DMCmdParamOf<kCategorySmsBoxes, 2> {};
struct DMCmdParam_DelSMS_RC : DMCmdParamOf<kCategorySmsBoxes, 3> {};
struct DMCmdParam_WriteSMS_RC : DMCmdParamOf<kCategorySmsBoxes, 4> {};

// ---- Commands ----

class CDMCmdSelSMSBox : public CDMParamCmd<DMCmdParam_SelSMSBox> {
public:
    using CDMParamCmd::CDMParamCmd;
};

// A box's slot count and second value.
class SMSBoxQueryReply {
public:
    int SlotCount() const { return m_slotCount; }
    int SecondValue() const { return m_second; }

protected:
    // Reads the reply: a byte not used, the second value, the slot count.
    std::function<void()> ParseBoxReply(DMPacket& reader);

private:
    int m_slotCount = 0;
    int m_second = 0;
};

class CDMCmdQuerySMSBox : public CSimpleDMCmd<DMCmdParam_QuerySMSBox>, public SMSBoxQueryReply {
public:
    // The reply values, copied under the command's lock.
    std::pair<int, int> Values() const {
        return WithFieldsLocked([this] { return std::pair{SlotCount(), SecondValue()}; });
    }

protected:
    ReplyCommit ParseReply(DMPacket& reader) override { return ParseBoxReply(reader); }
};

class CDMCmdQuerySMSBox_RC : public CDMParamCmd<DMCmdParam_QuerySMSBox_RC>,
                             public SMSBoxQueryReply {
public:
    using CDMParamCmd::CDMParamCmd;
    std::pair<int, int> Values() const {
        return WithFieldsLocked([this] { return std::pair{SlotCount(), SecondValue()}; });
    }

protected:
    ReplyCommit ParseReply(DMPacket& reader) override { return ParseBoxReply(reader); }
};

class CDMCmdDelSMS : public CDMParamCmd<DMCmdParam_DelSMS> {
public:
    using CDMParamCmd::CDMParamCmd;
};

class CDMCmdDelSMS_RC : public CSimpleDMCmd<DMCmdParam_DelSMS_RC> {
public:
    CDMCmdDelSMS_RC(std::uint8_t box, std::uint8_t slot) : m_box(box), m_slot(slot) {}

protected:
    void WriteParams(DMPacket& packet) override { packet.WriteU8(m_box).WriteU8(m_slot); }

private:
    std::uint8_t m_box;
    std::uint8_t m_slot;
};

// Stores a copy of the record; the reply names the slot the device stored it in.
template <class P>
class CDMCmdWriteSMSOf : public CSimpleDMCmd<P> {
public:
    explicit CDMCmdWriteSMSOf(const SMSRecord& record) : m_record(record) {}
    // 0 before a reply.
    int StoredSlot() const {
        return this->WithFieldsLocked([this] { return m_storedSlot; });
    }

protected:
    CDMCmdWithStatus::ReplyCommit ParseReply(DMPacket& reader) override {
        std::uint8_t slot = 0;
        reader.ReadU8(slot);
        return [this, slot] { m_storedSlot = slot; };
    }

    SMSRecord m_record;

private:
    int m_storedSlot = 0;
};

class CDMCmdWriteSMS : public CDMCmdWriteSMSOf<DMCmdParam_WriteSMS> {
public:
    using CDMCmdWriteSMSOf::CDMCmdWriteSMSOf;

protected:
    void WriteParams(DMPacket& packet) override;
};

class CDMCmdWriteSMS_RC : public CDMCmdWriteSMSOf<DMCmdParam_WriteSMS_RC> {
public:
    CDMCmdWriteSMS_RC(std::uint8_t box, const SMSRecord& record)
        : CDMCmdWriteSMSOf(record), m_box(box) {}

protected:
    void WriteParams(DMPacket& packet) override;

private:
    std::uint8_t m_box;
};

// Reads one message into a record with the defaults (its device index stays 0).
template <class P>
class CDMCmdReadSMSOf : public CSimpleDMCmd<P> {
public:
    SMSRecord Record() const {
        return this->WithFieldsLocked([this] { return m_record; });
    }

protected:
    SMSRecord m_record;
};

// The read of the box-selecting scheme: the device's encoding only decodes the text; the record
// keeps encoding 4.
class CDMCmdReadSMS : public CDMCmdReadSMSOf<DMCmdParam_ReadSMS> {
public:
    CDMCmdReadSMS(std::uint8_t slot, std::uint8_t mark) : m_slot(slot), m_mark(mark) {}

protected:
    void WriteParams(DMPacket& packet) override { packet.WriteU8(m_slot).WriteU8(m_mark); }
    ReplyCommit ParseReply(DMPacket& reader) override;

private:
    std::uint8_t m_slot;
    std::uint8_t m_mark;
};

// The read of the box-naming scheme: the record keeps the device's encoding; a trailing byte
// follows the message.
class CDMCmdReadSMS_RC : public CDMCmdReadSMSOf<DMCmdParam_ReadSMS_RC> {
public:
    CDMCmdReadSMS_RC(std::uint8_t box, std::uint8_t slot, std::uint8_t mark)
        : m_box(box), m_slot(slot), m_mark(mark) {}
    // 0 before a reply.
    int Trailing() const {
        return WithFieldsLocked([this] { return m_trailing; });
    }

protected:
    void WriteParams(DMPacket& packet) override {
        packet.WriteU8(m_box).WriteU8(m_slot).WriteU8(m_mark);
    }
    ReplyCommit ParseReply(DMPacket& reader) override;

private:
    std::uint8_t m_box;
    std::uint8_t m_slot;
    std::uint8_t m_mark;
    int m_trailing = 0;
};

// The send body shared by both schemes, and the wait for the device's send-status report.
class SMSSendState {
public:
    SMSSendState(const SMSRecord& record, int validity, bool forceUcs2);
    // Closes the send event.
    ~SMSSendState();
    SMSSendState(const SMSSendState&) = delete;
    SMSSendState& operator=(const SMSSendState&) = delete;

    // The send-status report: stores the word, then signals the send event.
    void SetSendStatus(std::uint16_t word);
    // Waits for the report up to ms: kCmdSucceeded when it said sent, kCmdFailed when it said
    // anything else, kCmdTimedOut when none came, kCmdCancelled when `released` (the service's
    // destruction) ended the wait first.
    int WaitForSendReport(DWORD ms, HANDLE released);
    std::uint16_t SendStatusWord() const { return m_word.load(std::memory_order_acquire); }
    // The send result of the stored word (1 while no report came).
    int SendResult() const { return SMSSendResult(SendStatusWord()); }
    HANDLE SendEvent() const { return m_sendEvent; }

protected:
    void WriteSendBody(DMPacket& packet) const;

private:
    SMSRecord m_record;
    int m_validity;
    bool m_forceUcs2;
    HANDLE m_sendEvent;
    std::atomic<std::uint16_t> m_word{0};
};

template <class P>
class CDMCmdSendSMSOf : public CSimpleDMCmd<P>, public SMSSendState {
public:
    CDMCmdSendSMSOf(const SMSRecord& record, int validity, bool forceUcs2)
        : SMSSendState(record, validity, forceUcs2) {}

protected:
    void WriteParams(DMPacket& packet) override { WriteSendBody(packet); }
};

class CDMCmdSendSMS final : public CDMCmdSendSMSOf<DMCmdParam_SendSMS> {
public:
    using CDMCmdSendSMSOf::CDMCmdSendSMSOf;
};

class CDMCmdSendSMS_RC final : public CDMCmdSendSMSOf<DMCmdParam_SendSMS_RC> {
public:
    using CDMCmdSendSMSOf::CDMCmdSendSMSOf;
};

// Marks the start (flag 1) or the end (0) of a group of sends.
template <class P>
class CDMCmdGroupSendingTagOf : public CDMParamCmd<P> {
public:
    explicit CDMCmdGroupSendingTagOf(int flag) : CDMParamCmd<P>(flag != 0 ? 1 : 0) {}
};

class CDMCmdGroupSendingTag final : public CDMCmdGroupSendingTagOf<DMCmdParam_GroupSendingTag> {
public:
    using CDMCmdGroupSendingTagOf::CDMCmdGroupSendingTagOf;
};

class CDMCmdGroupSendingTag_RC final
    : public CDMCmdGroupSendingTagOf<DMCmdParam_GroupSendingTag_RC> {
public:
    using CDMCmdGroupSendingTagOf::CDMCmdGroupSendingTagOf;
};
