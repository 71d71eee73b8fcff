// The device command service: the one object through which an application reaches the modem's
// command set. It owns the command engine and, as they are built, the sub-services that carry
// their commands over it.
#pragma once

#include <cstdint>
#include <memory>

#include "dm/device_info.h"
#include "dm/engine.h"
#include "dm/engineering.h"
#include "dm/link.h"
#include "dm/log.h"
#include "dm/phonebook.h"
#include "dm/ppp_info.h"
#include "dm/ruim.h"
#include "dm/sms_reports.h"
#include "dm/voice.h"

// The application's interface. Getters of the sub-services join it as each sub-service is
// built; SetLogLevel is the last slot. There is no virtual destructor: ReleaseDMService frees the
// object.
class IDMService {
public:
    virtual IDMCommon* GetCommon() = 0;
    virtual IVoiceService* GetVoice() = 0;
    virtual ISMS* GetSMS() = 0;
    virtual ISMS_RC* GetSMS_RC() = 0;
    virtual IPhonebookService* GetPhonebook() = 0;
    virtual IRUIM* GetRUIM() = 0;
    virtual IEngineeringMode* GetEngineeringMode() = 0;
    virtual IPPPInfo* GetPPPInfo() = 0;
    virtual void SetLogLevel(std::uint8_t level) = 0;

protected:
    ~IDMService() = default;
};

class CDMService final : public IDMService {
public:
    // Builds the dispatcher and the engine, registers the sub-services' report parsers, starts
    // the engine's reader and opens the link, then starts the worker. `log` may be null (a log
    // without library).
    CDMService(std::unique_ptr<IDMLink> link, std::unique_ptr<CLog> log,
               DMEngineConfig config = {});
    // The same over the serial link to the COM port of that name ("COM4").
    CDMService(const std::wstring& portName, std::unique_ptr<CLog> log, DMEngineConfig config = {});
    // Stops the engine (every waiting caller returns, with status 1), stops the dispatcher,
    // waits until every caller has left the sub-services, destroys them, then the engine and the
    // dispatcher.
    ~CDMService();
    CDMService(const CDMService&) = delete;
    CDMService& operator=(const CDMService&) = delete;

    // SetLevel(level) on the engine's log, then SetEnabled(1), under the log lock.
    IDMCommon* GetCommon() override { return m_common.get(); }
    IVoiceService* GetVoice() override { return m_voice.get(); }
    ISMS* GetSMS() override { return m_sms.get(); }
    ISMS_RC* GetSMS_RC() override { return m_smsRC.get(); }
    IPhonebookService* GetPhonebook() override { return m_phonebook.get(); }
    IRUIM* GetRUIM() override { return m_ruim.get(); }
    IEngineeringMode* GetEngineeringMode() override { return m_engineering.get(); }
    IPPPInfo* GetPPPInfo() override { return m_ppp.get(); }
    void SetLogLevel(std::uint8_t level) override;

    DMDispatcher& Dispatcher() { return *m_dispatcher; }
    DMEngine& Engine() { return *m_engine; }

private:
    std::unique_ptr<DMDispatcher> m_dispatcher;
    std::unique_ptr<DMEngine> m_engine;
    // Sub-services, in this order, each added by the issue that builds it (each is handed the
    // dispatcher; those with report parsers register them in the dispatcher's list here):
    //   SMS (first scheme), SMS (second scheme), common device information, phone book, R-UIM,
    //   engineering mode, PPP settings, voice.
    // Held by a send of either scheme from its registration to the end of its report wait.
    SMSSendLock m_sendLock;
    // The send registered last, for the send-status report that both schemes' parsers see.
    SMSSendRoute m_sendRoute{2};
    std::unique_ptr<CDMSMS> m_sms;
    std::unique_ptr<CDMSMS_RC> m_smsRC;
    std::unique_ptr<CDMCommon> m_common;
    std::unique_ptr<CDMPhonebook> m_phonebook;
    std::unique_ptr<CRUIM> m_ruim;
    std::unique_ptr<CEngineeringMode> m_engineering;
    std::unique_ptr<CPPPInfo> m_ppp;
    std::unique_ptr<CDMVoice> m_voice;
};

// The COM port of the device's command channel: the modem's diagnostics port, which the device
// status object's port lookup finds as port A. Empty when there is none.
std::wstring FindDMPortName();

// Destroys and frees the service; null does nothing.
void ReleaseDMService(IDMService* service);
