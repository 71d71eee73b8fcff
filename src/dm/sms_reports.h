// The message reports: a new message in a box, a full box, a CPT message and the outcome of a
// send. Two parsers, one per storage scheme, build notifications aimed at a message box's report
// side, or hand a send status straight to the send registered last. The message sub-services own
// an API, the boxes and a parser each.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "dm/command.h"
#include "dm/sms.h"
#include "dm/sms_box.h"
#include <windows.h>

enum SMSReportId : std::uint32_t {
    kReportSMSBoxFull = 3,
    kReportNewSMS = 4,
    kReportSMSSendStatus = 5,
    kReportNewSMS2 = 14,
    kReportCPTSMS = 15,
    kReportNewSMS_RC = 20,
    kReportSMSBoxFull_RC = 21,
};

// The notifications; each holds its handler (a box, which outlives the engine's delivery
// threads) and its data. Delivery does nothing when the handler is null. The two about a slot
// share their fields.
class SMSSlotNotification : public CActiveDMCmd {
public:
    SMSSlotNotification(ISMSEventHandler* handler, std::uint8_t slot)
        : m_handler(handler), m_slot(slot) {}
    ISMSEventHandler* Handler() const { return m_handler; }
    std::uint8_t Slot() const { return m_slot; }

protected:
    ISMSEventHandler* m_handler;
    std::uint8_t m_slot;
};

class CNotification_NewSMS : public SMSSlotNotification {
public:
    using SMSSlotNotification::SMSSlotNotification;
    void Deliver() override;
};

class CNotification_MsgBoxFull : public CActiveDMCmd {
public:
    explicit CNotification_MsgBoxFull(ISMSEventHandler* handler) : m_handler(handler) {}
    void Deliver() override;
    ISMSEventHandler* Handler() const { return m_handler; }

private:
    ISMSEventHandler* m_handler;
};

class CNotification_CPTSMS : public SMSSlotNotification {
public:
    using SMSSlotNotification::SMSSlotNotification;
    void Deliver() override;
};

// The send registered last, shared by the parsers of both schemes of one service, and the way a
// send-status report (which reaches every parser listing it) finds its send. The report's send is
// fixed when its first parser sees it: a send registered while the engine is still offering the
// same report to the other parser does not receive it. The sending thread replaces and releases
// the held send under the lock; a report takes its own reference.
class SMSSendRoute {
public:
    // parsers: how many listed parsers see each send-status report.
    explicit SMSSendRoute(int parsers = 1);
    // Releases the held send.
    ~SMSSendRoute();
    SMSSendRoute(const SMSSendRoute&) = delete;
    SMSSendRoute& operator=(const SMSSendRoute&) = delete;

    // Takes a reference to the holder (unless it is the one held) and releases the old one.
    void Register(DMCmdHolder* holder);
    // A reference to the held send (empty when none).
    DMCmdHolderRef Get() const;
    // Releases the held send.
    void Clear();
    // One parser's view of a send-status report: the send the report goes to.
    DMCmdHolderRef TargetOfReport();

private:
    mutable CRITICAL_SECTION m_lock;
    DMCmdHolder* m_holder = nullptr;
    int m_parsers;
    unsigned m_visits = 0;
    DMCmdHolder* m_target = nullptr;  // the current report's send, until its last parser saw it
};

// The parsers' common part: handlers (set when the service is built) and the current send of
// class SendCmd, whose status report 5 stores.
template <class SendCmd, int Handlers>
class SMSParserBase : public CActiveDMParser {
public:
    void SetHandler(int index, ISMSEventHandler* handler) { m_handlers[index] = handler; }
    ISMSEventHandler* Handler(int index) const { return m_handlers[index]; }
    // The route shared with the other scheme's parser (the parser's own one until then).
    void UseRoute(SMSSendRoute& route) { m_route = &route; }
    void RegisterSend(DMCmdHolder* holder) { m_route->Register(holder); }
    DMCmdHolderRef CurrentSend() const { return m_route->Get(); }
    void ReleaseSend() { m_route->Clear(); }

    // Report 5: the 16-bit send status, stored in the report's send when it is of SendCmd's class.
    std::unique_ptr<CActiveDMCmd> BuildSendStatus(DMPacket& reader) {
        std::uint16_t word = 0;
        reader.ReadU16(word);
        DMCmdHolderRef send = m_route->TargetOfReport();
        if (send != nullptr)
            if (auto* cmd = dynamic_cast<SendCmd*>(send->Command())) cmd->SetSendStatus(word);
        return nullptr;
    }
    std::unique_ptr<CActiveDMCmd> BuildCPT(DMPacket& reader) {
        std::uint8_t slot = 0;
        reader.ReadU8(slot);
        return std::make_unique<CNotification_CPTSMS>(m_handlers[0], slot);
    }

protected:
    ISMSEventHandler* m_handlers[Handlers] = {};
    SMSSendRoute m_ownRoute;
    SMSSendRoute* m_route = &m_ownRoute;
};

class CSMSCmdParser final : public SMSParserBase<CDMCmdSendSMS, 2> {
public:
    const ReportTableEntry* GetReportTable() const override;
    std::unique_ptr<CActiveDMCmd> BuildBoxFull(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildNewSMS(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildNewSMS2(DMPacket& reader);
};

class CSMSCmdParser_RC final : public SMSParserBase<CDMCmdSendSMS_RC, 3> {
public:
    const ReportTableEntry* GetReportTable() const override;
    std::unique_ptr<CActiveDMCmd> BuildNewSMS(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildBoxFull(DMPacket& reader);
};

// ---- The sub-services ----

class ISMS {
public:
    virtual int SendSMS(const SMSRecord* record, int validity, int* status) = 0;
    virtual IMessageBox* GetBox1() = 0;
    virtual IMessageBox* GetBox2() = 0;
    virtual IMessageBox* GetBox3() = 0;
    virtual ISMSAPI* GetSMSAPI() = 0;
    virtual void SetForceUCS2(int flag) = 0;
    virtual void BeginGroupSending(int* status) = 0;
    virtual void EndGroupSending(int* status) = 0;

protected:
    ~ISMS() = default;
};

class ISMS_RC {
public:
    virtual int SendSMS_RC(const SMSRecord* record, int validity, int* status) = 0;
    virtual IMessageBox* GetBox1() = 0;
    virtual IMessageBox* GetBox2() = 0;
    virtual IMessageBox* GetBox3() = 0;
    virtual IMessageBox* GetBox4() = 0;
    virtual void SetForceUCS2(int flag) = 0;
    virtual void BeginGroupSending(int* status) = 0;
    virtual void EndGroupSending(int* status) = 0;
    virtual ISMSAPI_RC* GetSMSAPI_RC() = 0;

protected:
    ~ISMS_RC() = default;
};

// The device boxes the sub-services show, and which box each parser handler stands for. These
// are our choice: the device fixes only the numbers.
//   Box-selecting scheme: box 1 shows device box 0 and takes reports 3, 4 and 15 (first
//   handler); box 3 shows device box 4 and takes report 14 (second handler); box 2 shows device
//   box 1 and takes no report. Boxes 1 and 3 are listed with the API for boxes 0 and 4.
inline constexpr int kSMSBoxes[3] = {0, 1, 4};
//   Box-naming scheme: box 1 shows device box 0 (first handler: report 20 with A 0, report 21
//   with A 0, report 15); box 2 device box 1 (second handler: report 20 with A not 0, report 21
//   with A not 0); box 4 device box 2 (third handler: report 20 with B 1); box 3 shows device
//   box 3 and takes no report. Boxes 1, 2 and 4 are listed with the API for boxes 0, 1 and 2.
inline constexpr int kSMSBoxes_RC[4] = {0, 1, 3, 2};

// What both sub-services share, on the interface I: the API class A, the parser P (the report
// parser the sub-service lists with the dispatcher) and Boxes boxes of class B, box i showing
// device box `devices[i]`. Parser handler i is box `handlerBoxes[i]`, which also listens to the
// API for its device box. The destructor unlists the parser and the listeners first.
template <class I, class A, class P, class B, int Boxes>
class SMSServiceBase : public I {
public:
    SMSServiceBase(const SMSServiceBase&) = delete;
    SMSServiceBase& operator=(const SMSServiceBase&) = delete;

    IMessageBox* GetBox1() override { return m_boxes[0].get(); }
    IMessageBox* GetBox2() override { return m_boxes[1].get(); }
    IMessageBox* GetBox3() override { return m_boxes[2].get(); }
    void SetForceUCS2(int flag) override { m_api->SetForceUCS2(flag); }
    void BeginGroupSending(int* status) override { m_api->BeginGroupSending(status); }
    void EndGroupSending(int* status) override { m_api->EndGroupSending(status); }

    P& Parser() { return *m_parser; }

protected:
    SMSServiceBase(DMDispatcher& dispatcher, SMSSendLock& sendLock, SMSSendRoute& route,
                   const int (&devices)[Boxes], std::initializer_list<int> handlerBoxes);
    ~SMSServiceBase();

    DMDispatcher& m_dispatcher;
    std::unique_ptr<P> m_parser;
    std::unique_ptr<A> m_api;
    std::unique_ptr<B> m_boxes[Boxes];
    std::vector<int> m_handlerBoxes;
};

class CDMSMS final : public SMSServiceBase<ISMS, CSMSAPI, CSMSCmdParser, CEmbedSMSBox, 3> {
public:
    // Lists its parser with the dispatcher; the destructor removes it.
    CDMSMS(DMDispatcher& dispatcher, SMSSendLock& sendLock, SMSSendRoute& route);

    int SendSMS(const SMSRecord* record, int validity, int* status) override;
    ISMSAPI* GetSMSAPI() override { return m_api.get(); }
};

class CDMSMS_RC final
    : public SMSServiceBase<ISMS_RC, CSMSAPI_RC, CSMSCmdParser_RC, CEmbedSMSBox_RC, 4> {
public:
    CDMSMS_RC(DMDispatcher& dispatcher, SMSSendLock& sendLock, SMSSendRoute& route);

    int SendSMS_RC(const SMSRecord* record, int validity, int* status) override;
    IMessageBox* GetBox4() override { return m_boxes[3].get(); }
    ISMSAPI_RC* GetSMSAPI_RC() override { return m_api.get(); }
};
