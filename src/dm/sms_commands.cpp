#include "dm/sms_commands.h"

#include <algorithm>

#include "dm/text_fields.h"
#include "textfiles/encoding.h"

namespace {

constexpr std::uint32_t kTextWidth = 160;
constexpr std::uint8_t kUcs2Encoding = 4;
constexpr std::uint16_t kSentWord = 0x8000;

// The message body of a read reply. keepEncoding: the record takes the device's encoding byte.
SMSRecord ReadMessageBody(DMPacket& reader, bool keepEncoding) {
    SMSRecord record = ReadSMSBody(reader);
    record.status = std::min(record.status, 3);
    if (!keepEncoding) record.encoding = kUcs2Encoding;
    NormalizeSMSDate(record);
    return record;
}

void WriteCodingPair(DMPacket& packet, std::pair<std::uint8_t, std::uint8_t> pair) {
    packet.WriteU8(pair.first).WriteU8(pair.second);
}

void WriteMessageBody(DMPacket& packet, const SMSRecord& r) {
    packet.WriteU8(static_cast<std::uint8_t>(r.status));
    WriteTextField(packet, r.number, kSMSNumberWidth);
    WriteCodingPair(packet, SMSCodingPair(r.text));
    packet.WriteU8(static_cast<std::uint8_t>(r.attribute))
        .WriteU16(static_cast<std::uint16_t>(r.year));
    for (int v : {r.month, r.day, r.hour, r.minute, r.second})
        packet.WriteU8(static_cast<std::uint8_t>(v));
    WriteTextField(packet, r.text, kTextWidth);
}

}  // namespace

SMSRecord ReadSMSBody(DMPacket& reader) {
    SMSRecord record;
    std::uint8_t status = 0, unused = 0, encoding = 0, attribute = 0;
    std::uint16_t year = 0;
    std::uint8_t date[5] = {};
    reader.ReadU8(status);
    record.number = ReadTextField(reader, kSMSNumberWidth, false);
    reader.ReadU8(unused).ReadU8(encoding).ReadU8(attribute).ReadU16(year);
    for (std::uint8_t& b : date) reader.ReadU8(b);
    record.text = ReadTextField(reader, kTextWidth, encoding == kUcs2Encoding);
    record.status = status;
    record.encoding = encoding;
    record.attribute = attribute;
    record.year = year;
    record.month = date[0];
    record.day = date[1];
    record.hour = date[2];
    record.minute = date[3];
    record.second = date[4];
    return record;
}

void NormalizeSMSDate(SMSRecord& r) {
    // 70 joins the 1900s with 71 to 99: a two-digit year counts from 1970.
    if (r.year >= 70 && r.year <= 99) r.year += 1900;
    if (r.year < 70) r.year += 2000;
    r.month = std::clamp(r.month, 1, 12);
    r.day = std::clamp(r.day, 1, 31);
    r.hour = std::clamp(r.hour, 0, 23);
    r.minute = std::clamp(r.minute, 0, 59);
    r.second = std::clamp(r.second, 0, 59);
}

std::pair<std::uint8_t, std::uint8_t> SMSCodingPair(const std::string& text) {
    switch (ClassifyAnsiText(text)) {
        case kAnsiDoubleByte:
            return {0, 4};
        case kAnsiPlain:
            return {1, 2};
        default:
            return {3, 0};
    }
}

std::uint8_t SMSValidityCode(int choice) {
    // Relative validity periods: one day, two days, one week, 30 days, 52 weeks.
    switch (choice) {
        case 1:
            return 168;
        case 2:
            return 173;
        case 3:
            return 196;
        case 4:
            return 244;
        default:
            return 167;
    }
}

int SMSSendResult(std::uint16_t word) {
    switch (word) {
        case kSentWord:
            return 0;
        case 201:
            return 2;
        case 261:
            return 3;
        case 264:
            return 4;
        default:
            return 1;
    }
}

std::function<void()> SMSBoxQueryReply::ParseBoxReply(DMPacket& reader) {
    std::uint8_t unused = 0, second = 0, slotCount = 0;
    reader.ReadU8(unused).ReadU8(second).ReadU8(slotCount);
    return [this, second, slotCount] {
        m_second = second;
        m_slotCount = slotCount;
    };
}

void CDMCmdWriteSMS::WriteParams(DMPacket& packet) {
    WriteMessageBody(packet, m_record);
}

void CDMCmdWriteSMS_RC::WriteParams(DMPacket& packet) {
    packet.WriteU8(m_box);
    WriteMessageBody(packet, m_record);
}

CDMCmdWithStatus::ReplyCommit CDMCmdReadSMS::ParseReply(DMPacket& reader) {
    SMSRecord record = ReadMessageBody(reader, false);
    return [this, record = std::move(record)] { m_record = record; };
}

CDMCmdWithStatus::ReplyCommit CDMCmdReadSMS_RC::ParseReply(DMPacket& reader) {
    SMSRecord record = ReadMessageBody(reader, true);
    std::uint8_t trailing = 0;
    reader.ReadU8(trailing);
    return [this, record = std::move(record), trailing] {
        m_record = record;
        m_trailing = trailing;
    };
}

// ---- Sending ----

SMSSendState::SMSSendState(const SMSRecord& record, int validity, bool forceUcs2)
    : m_record(record),
      m_validity(validity),
      m_forceUcs2(forceUcs2),
      m_sendEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

SMSSendState::~SMSSendState() {
    if (m_sendEvent != nullptr) CloseHandle(m_sendEvent);
}

void SMSSendState::SetSendStatus(std::uint16_t word) {
    m_word.store(word, std::memory_order_release);
    if (m_sendEvent != nullptr) SetEvent(m_sendEvent);
}

int SMSSendState::WaitForSendReport(DWORD ms, HANDLE released) {
    if (m_sendEvent == nullptr) return kCmdTimedOut;
    HANDLE handles[] = {m_sendEvent, released};
    const DWORD n = released != nullptr ? 2 : 1;
    switch (WaitForMultipleObjects(n, handles, FALSE, ms)) {
        case WAIT_OBJECT_0:
            return SendStatusWord() == kSentWord ? kCmdSucceeded : kCmdFailed;
        case WAIT_OBJECT_0 + 1:
            return kCmdCancelled;
        default:
            return kCmdTimedOut;
    }
}

void SMSSendState::WriteSendBody(DMPacket& packet) const {
    WriteTextField(packet, m_record.number, kSMSNumberWidth);
    if (m_forceUcs2) {
        WriteCodingPair(packet, {0, 4});
        packet.WriteU8(static_cast<std::uint8_t>(m_record.attribute));
        WriteTextField(packet, m_record.text, kTextWidth, TextCoding::Ucs2);
    } else {
        WriteCodingPair(packet, SMSCodingPair(m_record.text));
        packet.WriteU8(static_cast<std::uint8_t>(m_record.attribute));
        WriteTextField(packet, m_record.text, kTextWidth);
    }
    packet.WriteU8(SMSValidityCode(m_validity));
}
