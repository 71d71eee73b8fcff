#include "dm/voice.h"

#include <algorithm>
#include <cstdint>

#include "dm/text_fields.h"

// ---- Reports ----

CCallOriginating::CCallOriginating(VoiceSlot& slot, std::string number)
    : TReportNotify(
          slot, [](IVoiceEventHandler& h, const std::string& n) { h.OnCallOriginating(n.c_str()); },
          std::move(number)) {}

CCallComming::CCallComming(VoiceSlot& slot, std::string number, int value)
    : TReportNotify(
          slot,
          [](IVoiceEventHandler& h, const std::string& n, const int& v) {
              h.OnIncomingCall(n.c_str(), v);
          },
          std::move(number), value) {}

CCallWaiting::CCallWaiting(VoiceSlot& slot, std::string number, int value)
    : TReportNotify(
          slot,
          [](IVoiceEventHandler& h, const std::string& n, const int& v) {
              h.OnCallWaiting(n.c_str(), v);
          },
          std::move(number), value) {}

CCallConnected::CCallConnected(VoiceSlot& slot, std::uint8_t value)
    : TReportNotify(
          slot, [](IVoiceEventHandler& h, const std::uint8_t& v) { h.OnCallConnected(v); }, value) {
}

CCallEnd::CCallEnd(VoiceSlot& slot, std::uint8_t value)
    : TReportNotify(
          slot, [](IVoiceEventHandler& h, const std::uint8_t&) { h.OnCallEnd(); }, value) {}

CFlashSignal::CFlashSignal(VoiceSlot& slot)
    : TReportNotify(slot, [](IVoiceEventHandler& h) { h.OnFlash(); }) {}

CCallForward::CCallForward(VoiceSlot& slot, std::string number)
    : TReportNotify(
          slot, [](IVoiceEventHandler& h, const std::string& n) { h.OnCallForward(n.c_str()); },
          std::move(number)) {}

namespace {

std::string ReadNumber(DMPacket& reader) {
    return ReadTextField(reader, kNumberFieldWidth, false);
}

std::uint8_t ReadValue(DMPacket& reader) {
    std::uint8_t v = 0;
    reader.ReadU8(v);
    return v;
}

}  // namespace

const ReportTableEntry* CVoiceCmdParser::GetReportTable() const {
    static const ReportTableEntry table[] = {
        {kReportIncomingCall, ReportFactory<&CVoiceCmdParser::BuildIncoming>()},
        {kReportCallConnected, ReportFactory<&CVoiceCmdParser::BuildConnected>()},
        {kReportIncomingCallNoNumber, ReportFactory<&CVoiceCmdParser::BuildIncomingNoNumber>()},
        {kReportCallEnd, ReportFactory<&CVoiceCmdParser::BuildEnd>()},
        {kReportCallOriginating, ReportFactory<&CVoiceCmdParser::BuildOriginating>()},
        {kReportCallWaiting, ReportFactory<&CVoiceCmdParser::BuildWaiting>()},
        {kReportFlashSignal, ReportFactory<&CVoiceCmdParser::BuildFlash>()},
        {kReportCallForward, ReportFactory<&CVoiceCmdParser::BuildForward>()},
        {0, nullptr},
    };
    return table;
}

std::unique_ptr<CActiveDMCmd> CVoiceCmdParser::BuildIncoming(DMPacket& reader) {
    std::string number = ReadNumber(reader);
    const std::uint8_t value = ReadValue(reader);
    return std::make_unique<CCallComming>(m_handler, std::move(number), value);
}

std::unique_ptr<CActiveDMCmd> CVoiceCmdParser::BuildConnected(DMPacket& reader) {
    return std::make_unique<CCallConnected>(m_handler, ReadValue(reader));
}

std::unique_ptr<CActiveDMCmd> CVoiceCmdParser::BuildIncomingNoNumber(DMPacket&) {
    return std::make_unique<CCallComming>(m_handler, std::string(), 0);
}

std::unique_ptr<CActiveDMCmd> CVoiceCmdParser::BuildEnd(DMPacket& reader) {
    return std::make_unique<CCallEnd>(m_handler, ReadValue(reader));
}

std::unique_ptr<CActiveDMCmd> CVoiceCmdParser::BuildOriginating(DMPacket& reader) {
    return std::make_unique<CCallOriginating>(m_handler, ReadNumber(reader));
}

std::unique_ptr<CActiveDMCmd> CVoiceCmdParser::BuildWaiting(DMPacket& reader) {
    std::string number = ReadNumber(reader);
    const std::uint8_t value = ReadValue(reader);
    return std::make_unique<CCallWaiting>(m_handler, std::move(number), value);
}

std::unique_ptr<CActiveDMCmd> CVoiceCmdParser::BuildFlash(DMPacket&) {
    return std::make_unique<CFlashSignal>(m_handler);
}

std::unique_ptr<CActiveDMCmd> CVoiceCmdParser::BuildForward(DMPacket& reader) {
    return std::make_unique<CCallForward>(m_handler, ReadNumber(reader));
}

// ---- Commands ----

void CDMCmdOriginCall::WriteParams(DMPacket& packet) {
    CDMTextCmd::WriteParams(packet);
    packet.WriteU16(m_value);
}

void CDMCmdPlayTone::WriteParams(DMPacket& packet) {
    packet.WriteU8(m_play).WriteU8(1).WriteU16(m_tone).WriteU8(2).WriteU8(m_duration);
}

// ---- The service ----

namespace {
constexpr DWORD kVoiceTimeoutMs = 500;
constexpr DWORD kOriginTimeoutMs = 4000;
constexpr std::uint16_t kOriginValue = 11;
}  // namespace

CDMVoice::CDMVoice(DMDispatcher& dispatcher)
    : m_dispatcher(dispatcher), m_parser(std::make_unique<CVoiceCmdParser>()) {
    m_dispatcher.AddReportParser(m_parser.get());
}

CDMVoice::~CDMVoice() {
    RemoveReportParser(m_dispatcher, m_parser.get());
}

void CDMVoice::OriginCall(const char* number, int* status) {
    std::string text = NarrowArg(number);
    if (!FitsTextField(text, kNumberFieldWidth)) {
        SetDMStatus(status, kStatusFailure);
        return;
    }
    Run<CDMCmdOriginCall>(kOriginTimeoutMs, status, std::move(text), kOriginValue);
}

void CDMVoice::AcceptCall(int* status) {
    Run<CSimpleDMCmd<DMCmdParam_AcceptCall>>(kVoiceTimeoutMs, status);
}

void CDMVoice::EndCall(int* status) {
    Run<CSimpleDMCmd<DMCmdParam_EndCall>>(kVoiceTimeoutMs, status);
}

void CDMVoice::Call3Way(const char* number, int* status) {
    std::string text = NarrowArg(number);
    if (!FitsTextField(text, kNumberFieldWidth)) {
        SetDMStatus(status, kStatusFailure);
        return;
    }
    Run<CDMCmdCall3Way>(kVoiceTimeoutMs, status, std::move(text));
}

void CDMVoice::Flash(int* status) {
    Run<CSimpleDMCmd<DMCmdParam_Flash>>(kVoiceTimeoutMs, status);
}

void CDMVoice::SendDTMF(char digit, int* status) {
    Run<CDMCmdDTMF>(kVoiceTimeoutMs, status, digit);
}

void CDMVoice::PlayTone(std::uint16_t tone, std::uint32_t durationMs, int* status) {
    const auto units = static_cast<std::uint8_t>(std::min<std::uint32_t>(durationMs / 100, 255));
    Run<CDMCmdPlayTone>(kVoiceTimeoutMs, status, std::uint8_t{1}, tone, units);
}

void CDMVoice::StopTone(int* status) {
    Run<CDMCmdPlayTone>(kVoiceTimeoutMs, status, std::uint8_t{0}, std::uint16_t{0},
                        std::uint8_t{0});
}

void CDMVoice::SetSpeakerVol(std::uint8_t level, int* status) {
    Run<CDMCmdSetSpeakerVol>(kVoiceTimeoutMs, status, std::min<std::uint8_t>(level, 4));
}

void CDMVoice::SetMicVol(std::uint8_t level, int* status) {
    Run<CDMCmdSetMicVol>(kVoiceTimeoutMs, status, std::min<std::uint8_t>(level, 3));
}

void CDMVoice::SetMute(std::uint8_t mute, int* status) {
    Run<CDMCmdSetMute>(kVoiceTimeoutMs, status, mute);
}

bool CDMVoice::ReadMute(int* status) {
    auto op = Run<CDMCmdReadMute>(kVoiceTimeoutMs, status);
    return op.Succeeded() && op->Reply() != 0;
}

void CDMVoice::SetEventHandler(IVoiceEventHandler* handler) {
    m_parser->Handler().Set(handler);
}
