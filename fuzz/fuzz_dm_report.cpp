// Report parsers: every report of the common, the call and the message parsers is built from the
// input, in both byte orders. A factory either builds a notification (delivered to a sink that
// checks its text) or raises the packet's exception; nothing else may happen. The send-status
// report builds nothing: it stores its word in the registered send.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "dm/device_info.h"
#include "dm/packet.h"
#include "dm/sms_reports.h"
#include "dm/voice.h"
#include "fuzz/machine_ready.h"

namespace {

void CheckText(const char* text) {
    if (text == nullptr || std::strlen(text) > 64) __builtin_trap();
}

class Sink : public ICommonReportSink, public IVoiceEventHandler, public ISMSEventHandler {
public:
    int OnNewSMS(int slot) override { return CheckSlot(slot); }
    void OnBoxFull() override {}
    int OnCPTSMS(int slot) override { return CheckSlot(slot); }
    static int CheckSlot(int slot) {
        if (slot < 0 || slot > 255) __builtin_trap();
        return slot;
    }
    void OnModuleChange(std::uint32_t v) override {
        if (v > 255) __builtin_trap();
    }
    void OnFlashReport(const std::string& t, std::uint32_t v) override {
        if (t.size() > 64 || v > 255) __builtin_trap();
    }
    void OnPlusCodeNotSupported() override {}
    void OnCallOriginating(const char* n) override { CheckText(n); }
    void OnIncomingCall(const char* n, int) override { CheckText(n); }
    void OnCallWaiting(const char* n, int) override { CheckText(n); }
    void OnCallConnected(std::uint8_t) override {}
    void OnCallEnd() override {}
    void OnFlash() override {}
    void OnCallForward(const char* n) override { CheckText(n); }
};

void Run(CActiveDMParser& parser, bool big, const std::uint8_t* data, std::size_t size) {
    for (const ReportTableEntry* e = parser.GetReportTable(); e->id != 0; ++e) {
        DMPacket reader(big, data, size);
        try {
            std::unique_ptr<CActiveDMCmd> n = parser.Build(*e, reader);
            if (n == nullptr) {
                if (e->id != kReportSMSSendStatus) __builtin_trap();
                continue;
            }
            n->Deliver();
        } catch (const CDMPacketException&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureMachine();
    static Sink sink;
    static CCommonPaser common;
    static CVoiceCmdParser voice;
    static CSMSCmdParser sms;
    static CSMSCmdParser_RC smsRC;
    static const bool once = [] {
        common.Sink().Set(&sink);
        voice.Handler().Set(&sink);
        sms.SetHandler(0, &sink);
        sms.SetHandler(1, &sink);
        for (int i = 0; i < 3; ++i) smsRC.SetHandler(i, &sink);
        // A send of each scheme for the send-status report (its word is stored, nothing else).
        DMCmdHolderRef send(DMCmdHolder::Create(new CDMCmdSendSMS(SMSRecord{}, 0, false)));
        DMCmdHolderRef sendRC(DMCmdHolder::Create(new CDMCmdSendSMS_RC(SMSRecord{}, 0, false)));
        sms.RegisterSend(send.get());
        smsRC.RegisterSend(sendRC.get());
        return true;
    }();
    (void)once;
    for (bool big : {false, true}) {
        Run(common, big, data, size);
        Run(voice, big, data, size);
        Run(sms, big, data, size);
        Run(smsRC, big, data, size);
    }
    return 0;
}
