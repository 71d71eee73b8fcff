// The voice call service: originate, accept and end calls, three-way calls, flash, DTMF digits
// and tones, speaker and microphone volume, mute; and the call reports (incoming, connected,
// ended, originating, waiting, flash, forwarded) handed to the application's event handler.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dm/report_sink.h"
#include "dm/service_call.h"

// ---- Reports ----

// The application's receiver of call reports; called on the engine's delivery thread. Numbers
// point at the notification's own text, valid during the call.
class IVoiceEventHandler {
public:
    virtual void OnCallOriginating(const char* number) = 0;
    virtual void OnIncomingCall(const char* number, int value) = 0;
    virtual void OnCallWaiting(const char* number, int value) = 0;
    virtual void OnCallConnected(std::uint8_t value) = 0;
    virtual void OnCallEnd() = 0;
    virtual void OnFlash() = 0;
    virtual void OnCallForward(const char* number) = 0;

protected:
    ~IVoiceEventHandler() = default;
};

enum VoiceReportId : std::uint32_t {
    kReportIncomingCall = 6,
    kReportCallConnected = 7,
    kReportIncomingCallNoNumber = 8,
    kReportCallEnd = 9,
    kReportCallOriginating = 10,
    kReportCallWaiting = 11,
    kReportFlashSignal = 12,
    kReportCallForward = 13,
};

using VoiceSlot = TReportSinkSlot<IVoiceEventHandler>;

class CCallOriginating : public TReportNotify<IVoiceEventHandler, std::string> {
public:
    CCallOriginating(VoiceSlot& slot, std::string number);
};
class CCallComming : public TReportNotify<IVoiceEventHandler, std::string, int> {
public:
    CCallComming(VoiceSlot& slot, std::string number, int value);
};
class CCallWaiting : public TReportNotify<IVoiceEventHandler, std::string, int> {
public:
    CCallWaiting(VoiceSlot& slot, std::string number, int value);
};
class CCallConnected : public TReportNotify<IVoiceEventHandler, std::uint8_t> {
public:
    CCallConnected(VoiceSlot& slot, std::uint8_t value);
};
class CCallEnd : public TReportNotify<IVoiceEventHandler, std::uint8_t> {
public:
    CCallEnd(VoiceSlot& slot, std::uint8_t value);
};
class CFlashSignal : public TReportNotify<IVoiceEventHandler> {
public:
    explicit CFlashSignal(VoiceSlot& slot);
};
class CCallForward : public TReportNotify<IVoiceEventHandler, std::string> {
public:
    CCallForward(VoiceSlot& slot, std::string number);
};

class CVoiceCmdParser : public CActiveDMParser {
public:
    const ReportTableEntry* GetReportTable() const override;
    VoiceSlot& Handler() { return m_handler; }

    std::unique_ptr<CActiveDMCmd> BuildIncoming(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildConnected(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildIncomingNoNumber(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildEnd(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildOriginating(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildWaiting(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildFlash(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildForward(DMPacket& reader);

private:
    VoiceSlot m_handler;
};

// ---- Commands ----

template <std::uint8_t Category, std::uint16_t Sub>
struct DMVoiceParam {
    static constexpr std::uint8_t kCategory = Category;
    static constexpr std::uint16_t kSubCommand = Sub;
};
struct DMCmdParam_EndCall : DMVoiceParam<kCategoryVoice, 1> {};
struct DMCmdParam_OriginCall : DMVoiceParam<kCategoryVoice, 2> {};
struct DMCmdParam_AcceptCall : DMVoiceParam<kCategoryVoice, 3> {};
struct DMCmdParam_SetSpeakerVol : DMVoiceParam<kCategoryVoice, 4> {};
struct DMCmdParam_PlayTone : DMVoiceParam<kCategoryVoice, 6> {};
struct DMCmdParam_DTMF : DMVoiceParam<kCategoryVoice, 7> {};
struct DMCmdParam_SetMicVol : DMVoiceParam<kCategoryVoice, 8> {};
struct DMCmdParam_Call3Way : DMVoiceParam<kCategoryVoice, 10> {};
struct DMCmdParam_Flash : DMVoiceParam<kCategoryVoice, 11> {};
struct DMCmdParam_SetMute : DMVoiceParam<kCategoryDevice, 4> {};
struct DMCmdParam_ReadMute : DMVoiceParam<kCategoryDevice, 5> {
    using Value = std::uint8_t;
    static Value Initial() { return 0; }
    static Value Read(DMPacket& r) {
        std::uint8_t b = 0;
        r.ReadU8(b);
        return b;
    }
};

// Phone numbers and the DTMF digit go out as text fields of 32 bytes.
inline constexpr std::uint32_t kNumberFieldWidth = 32;

template <class P>
using CDMNumberCmd = CDMTextCmd<P, kNumberFieldWidth>;

class CDMCmdOriginCall : public CDMNumberCmd<DMCmdParam_OriginCall> {
public:
    CDMCmdOriginCall(std::string number, std::uint16_t value)
        : CDMTextCmd(std::move(number)), m_value(value) {}

protected:
    void WriteParams(DMPacket& packet) override;

private:
    std::uint16_t m_value;
};
class CDMCmdCall3Way : public CDMNumberCmd<DMCmdParam_Call3Way> {
public:
    using CDMTextCmd::CDMTextCmd;
};
class CDMCmdDTMF : public CDMNumberCmd<DMCmdParam_DTMF> {
public:
    explicit CDMCmdDTMF(char digit) : CDMTextCmd(std::string(1, digit)) {}
};

class CDMCmdSetSpeakerVol : public CDMParamCmd<DMCmdParam_SetSpeakerVol> {
public:
    using CDMParamCmd::CDMParamCmd;
};
class CDMCmdSetMicVol : public CDMParamCmd<DMCmdParam_SetMicVol> {
public:
    using CDMParamCmd::CDMParamCmd;
};
class CDMCmdSetMute : public CDMParamCmd<DMCmdParam_SetMute> {
public:
    using CDMParamCmd::CDMParamCmd;
};
class CDMCmdReadMute : public CDMValueCmd<DMCmdParam_ReadMute> {};

class CDMCmdPlayTone : public CSimpleDMCmd<DMCmdParam_PlayTone> {
public:
    // duration in units of 100 ms.
    CDMCmdPlayTone(std::uint8_t play, std::uint16_t tone, std::uint8_t duration)
        : m_play(play), m_tone(tone), m_duration(duration) {}

protected:
    void WriteParams(DMPacket& packet) override;

private:
    std::uint8_t m_play;
    std::uint16_t m_tone;
    std::uint8_t m_duration;
};

// ---- The service ----

class IVoiceService {
public:
    virtual void OriginCall(const char* number, int* status) = 0;
    virtual void AcceptCall(int* status) = 0;
    virtual void EndCall(int* status) = 0;
    virtual void Call3Way(const char* number, int* status) = 0;
    virtual void Flash(int* status) = 0;
    virtual void Flash2(int* status) = 0;
    virtual void Flash3(int* status) = 0;
    virtual void Flash4(int* status) = 0;
    virtual void SendDTMF(char digit, int* status) = 0;
    virtual void PlayTone(std::uint16_t tone, std::uint32_t durationMs, int* status) = 0;
    virtual void StopTone(int* status) = 0;
    virtual void SetSpeakerVol(std::uint8_t level, int* status) = 0;
    virtual void SetMicVol(std::uint8_t level, int* status) = 0;
    virtual void SetMute(std::uint8_t mute, int* status) = 0;
    virtual bool ReadMute(int* status) = 0;
    virtual void SetEventHandler(IVoiceEventHandler* handler) = 0;

protected:
    ~IVoiceService() = default;
};

class CDMVoice final : public IVoiceService {
public:
    // Lists its report parser with the dispatcher; the destructor removes it.
    explicit CDMVoice(DMDispatcher& dispatcher);
    ~CDMVoice();
    CDMVoice(const CDMVoice&) = delete;
    CDMVoice& operator=(const CDMVoice&) = delete;

    // A number whose coded form is longer than 32 bytes is refused: status 1, nothing sent.
    void OriginCall(const char* number, int* status) override;
    void AcceptCall(int* status) override;
    void EndCall(int* status) override;
    void Call3Way(const char* number, int* status) override;
    void Flash(int* status) override;
    void Flash2(int* status) override { Flash(status); }
    void Flash3(int* status) override { Flash(status); }
    void Flash4(int* status) override { Flash(status); }
    void SendDTMF(char digit, int* status) override;
    // The duration goes out in units of 100 ms, at most 255.
    void PlayTone(std::uint16_t tone, std::uint32_t durationMs, int* status) override;
    void StopTone(int* status) override;
    // Levels above 4 (speaker) or 3 (microphone) go out as the largest level.
    void SetSpeakerVol(std::uint8_t level, int* status) override;
    void SetMicVol(std::uint8_t level, int* status) override;
    void SetMute(std::uint8_t mute, int* status) override;
    bool ReadMute(int* status) override;
    void SetEventHandler(IVoiceEventHandler* handler) override;

    CVoiceCmdParser& Parser() { return *m_parser; }

private:
    template <class C, class... A>
    DMOperation<C> Run(DWORD timeoutMs, int* status, A&&... args) {
        return RunOperation<C>(m_dispatcher, timeoutMs, true, status, std::forward<A>(args)...);
    }
    DMDispatcher& m_dispatcher;
    std::unique_ptr<CVoiceCmdParser> m_parser;
};
