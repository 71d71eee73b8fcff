#include "dm/dm_service.h"

#include "app/device_status.h"
#include "dm/serial_link.h"

CDMService::CDMService(std::unique_ptr<IDMLink> link, std::unique_ptr<CLog> log,
                       DMEngineConfig config)
    : m_dispatcher(std::make_unique<DMDispatcher>()),
      m_engine(std::make_unique<DMEngine>(*m_dispatcher, std::move(link), std::move(log), config)) {
    // The sub-services are built here, before the engine starts, so that every report parser is
    // listed before the first report can arrive.
    m_sms = std::make_unique<CDMSMS>(*m_dispatcher, m_sendLock, m_sendRoute);
    m_smsRC = std::make_unique<CDMSMS_RC>(*m_dispatcher, m_sendLock, m_sendRoute);
    m_common = std::make_unique<CDMCommon>(*m_dispatcher);
    m_phonebook = std::make_unique<CDMPhonebook>(*m_dispatcher);
    m_ruim = std::make_unique<CRUIM>(*m_dispatcher);
    m_engineering = std::make_unique<CEngineeringMode>(*m_dispatcher);
    m_ppp = std::make_unique<CPPPInfo>(*m_common);
    m_voice = std::make_unique<CDMVoice>(*m_dispatcher);
    m_engine->Start();
    m_dispatcher->StartWorker(m_engine->LinkState(), *m_engine, config.queueGraceMs);
}

CDMService::CDMService(const std::wstring& portName, std::unique_ptr<CLog> log,
                       DMEngineConfig config)
    : CDMService(std::make_unique<DMSerialLink>(portName), std::move(log), config) {}

CDMService::~CDMService() {
    // Every waiting caller is released (the waits that no command ends first, then the commands
    // by the engine's stop), and the sub-services outlive the last caller inside them.
    m_dispatcher->ReleaseCallers();
    StopEngine(*m_engine);
    StopDispatcher(*m_dispatcher);
    m_dispatcher->WaitForCallers();
    // The sub-services are destroyed here, in this order: voice, engineering mode, R-UIM, phone
    // book, common, SMS (second scheme), SMS (first scheme); the PPP settings need nothing.
    m_voice.reset();
    m_ppp.reset();
    m_engineering.reset();
    m_ruim.reset();
    m_phonebook.reset();
    m_common.reset();
    m_smsRC.reset();
    m_sms.reset();
    DestroyEngine(*m_engine);
    DestroyDispatcher(*m_dispatcher);
    m_engine.reset();
    m_dispatcher.reset();
}

void CDMService::SetLogLevel(std::uint8_t level) {
    CLog& log = m_engine->Log();
    CLog::Guard guard(log);
    log.SetLevel(level);
    log.SetEnabled(1);
}

std::wstring FindDMPortName() {
    IEVDOHardware* hardware = CDeviceStatus::Instance().GetHardware();
    return hardware != nullptr ? hardware->GetPortAInfo().FriendlyName : std::wstring();
}

void ReleaseDMService(IDMService* service) {
    if (service == nullptr) return;
    delete static_cast<CDMService*>(service);
}
