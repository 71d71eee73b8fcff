#include "dm/sms_reports.h"

#include "dm/report_sink.h"
#include "support/auto_lock.h"

// ---- Notifications ----

void CNotification_NewSMS::Deliver() {
    if (m_handler != nullptr) m_handler->OnNewSMS(m_slot);
}

void CNotification_MsgBoxFull::Deliver() {
    if (m_handler != nullptr) m_handler->OnBoxFull();
}

void CNotification_CPTSMS::Deliver() {
    if (m_handler != nullptr) m_handler->OnCPTSMS(m_slot);
}

// ---- The send route ----

SMSSendRoute::SMSSendRoute(int parsers) : m_parsers(parsers > 0 ? parsers : 1) {
    InitializeCriticalSection(&m_lock);
}

SMSSendRoute::~SMSSendRoute() {
    Clear();
    if (m_target != nullptr) m_target->Release();
    DeleteCriticalSection(&m_lock);
}

void SMSSendRoute::Register(DMCmdHolder* holder) {
    DMCmdHolder* old = nullptr;
    {
        CAutoLock guard(m_lock);
        if (holder == m_holder) return;
        if (holder != nullptr) holder->AddRef();
        old = m_holder;
        m_holder = holder;
    }
    if (old != nullptr) old->Release();
}

DMCmdHolderRef SMSSendRoute::Get() const {
    CAutoLock guard(m_lock);
    if (m_holder != nullptr) m_holder->AddRef();
    return DMCmdHolderRef(m_holder);
}

void SMSSendRoute::Clear() {
    Register(nullptr);
}

DMCmdHolderRef SMSSendRoute::TargetOfReport() {
    DMCmdHolder* target = nullptr;
    DMCmdHolder* finished = nullptr;  // the route's reference, dropped after the last parser
    {
        CAutoLock guard(m_lock);
        // The parsers see each report one after the other on the engine's reader thread: the
        // first fixes the report's send.
        if (m_visits % static_cast<unsigned>(m_parsers) == 0) {
            m_target = m_holder;
            if (m_target != nullptr) m_target->AddRef();
        }
        target = m_target;
        if (target != nullptr) target->AddRef();
        if (++m_visits % static_cast<unsigned>(m_parsers) == 0) {
            finished = m_target;
            m_target = nullptr;
        }
    }
    if (finished != nullptr) finished->Release();
    return DMCmdHolderRef(target);
}

// ---- Parsers ----

const ReportTableEntry* CSMSCmdParser::GetReportTable() const {
    static const ReportTableEntry table[] = {
        {kReportSMSBoxFull, ReportFactory<&CSMSCmdParser::BuildBoxFull>()},
        {kReportNewSMS, ReportFactory<&CSMSCmdParser::BuildNewSMS>()},
        {kReportSMSSendStatus, ReportFactory<&CSMSCmdParser::BuildSendStatus>()},
        {kReportNewSMS2, ReportFactory<&CSMSCmdParser::BuildNewSMS2>()},
        {kReportCPTSMS, ReportFactory<&CSMSCmdParser::BuildCPT>()},
        {0, nullptr},
    };
    return table;
}

std::unique_ptr<CActiveDMCmd> CSMSCmdParser::BuildBoxFull(DMPacket&) {
    return std::make_unique<CNotification_MsgBoxFull>(m_handlers[0]);
}

std::unique_ptr<CActiveDMCmd> CSMSCmdParser::BuildNewSMS(DMPacket& reader) {
    std::uint8_t slot = 0;
    reader.ReadU8(slot);
    return std::make_unique<CNotification_NewSMS>(m_handlers[0], slot);
}

std::unique_ptr<CActiveDMCmd> CSMSCmdParser::BuildNewSMS2(DMPacket& reader) {
    std::uint8_t slot = 0;
    reader.ReadU8(slot);
    return std::make_unique<CNotification_NewSMS>(m_handlers[1], slot);
}

const ReportTableEntry* CSMSCmdParser_RC::GetReportTable() const {
    static const ReportTableEntry table[] = {
        {kReportSMSSendStatus, ReportFactory<&CSMSCmdParser_RC::BuildSendStatus>()},
        {kReportCPTSMS, ReportFactory<&CSMSCmdParser_RC::BuildCPT>()},
        {kReportNewSMS_RC, ReportFactory<&CSMSCmdParser_RC::BuildNewSMS>()},
        {kReportSMSBoxFull_RC, ReportFactory<&CSMSCmdParser_RC::BuildBoxFull>()},
        {0, nullptr},
    };
    return table;
}

std::unique_ptr<CActiveDMCmd> CSMSCmdParser_RC::BuildNewSMS(DMPacket& reader) {
    std::uint8_t a = 0, b = 0, slot = 0;
    reader.ReadU8(a).ReadU8(b).ReadU8(slot);
    ISMSEventHandler* handler = b == 1 ? m_handlers[2] : (a == 0 ? m_handlers[0] : m_handlers[1]);
    return std::make_unique<CNotification_NewSMS>(handler, slot);
}

std::unique_ptr<CActiveDMCmd> CSMSCmdParser_RC::BuildBoxFull(DMPacket& reader) {
    std::uint8_t a = 0;
    reader.ReadU8(a);
    return std::make_unique<CNotification_MsgBoxFull>(a != 0 ? m_handlers[1] : m_handlers[0]);
}

// ---- The sub-services ----

template <class I, class A, class P, class B, int Boxes>
SMSServiceBase<I, A, P, B, Boxes>::SMSServiceBase(DMDispatcher& dispatcher, SMSSendLock& sendLock,
                                                  SMSSendRoute& route, const int (&devices)[Boxes],
                                                  std::initializer_list<int> handlerBoxes)
    : m_dispatcher(dispatcher), m_parser(std::make_unique<P>()), m_handlerBoxes(handlerBoxes) {
    m_parser->UseRoute(route);
    m_api = std::make_unique<A>(dispatcher, *m_parser, sendLock);
    for (int i = 0; i < Boxes; ++i) m_boxes[i] = std::make_unique<B>(*m_api, devices[i]);
    for (std::size_t h = 0; h < m_handlerBoxes.size(); ++h)
        m_parser->SetHandler(static_cast<int>(h), m_boxes[m_handlerBoxes[h]].get());
    for (int i : m_handlerBoxes) m_api->AddListener(m_boxes[i].get(), devices[i]);
    m_dispatcher.AddReportParser(m_parser.get());
}

template <class I, class A, class P, class B, int Boxes>
SMSServiceBase<I, A, P, B, Boxes>::~SMSServiceBase() {
    for (int i : m_handlerBoxes) m_api->RemoveListener(m_boxes[i].get());
    RemoveReportParser(m_dispatcher, m_parser.get());
    for (auto& box : m_boxes) box.reset();
    m_api.reset();
    m_parser->ReleaseSend();
    m_parser.reset();
}

template class SMSServiceBase<ISMS, CSMSAPI, CSMSCmdParser, CEmbedSMSBox, 3>;
template class SMSServiceBase<ISMS_RC, CSMSAPI_RC, CSMSCmdParser_RC, CEmbedSMSBox_RC, 4>;

// Our choice of wiring: see kSMSBoxes and kSMSBoxes_RC.
CDMSMS::CDMSMS(DMDispatcher& dispatcher, SMSSendLock& sendLock, SMSSendRoute& route)
    : SMSServiceBase(dispatcher, sendLock, route, kSMSBoxes, {0, 2}) {}

int CDMSMS::SendSMS(const SMSRecord* record, int validity, int* status) {
    return m_api->SendSMS(record, validity, status);
}

CDMSMS_RC::CDMSMS_RC(DMDispatcher& dispatcher, SMSSendLock& sendLock, SMSSendRoute& route)
    : SMSServiceBase(dispatcher, sendLock, route, kSMSBoxes_RC, {0, 1, 3}) {}

int CDMSMS_RC::SendSMS_RC(const SMSRecord* record, int validity, int* status) {
    return m_api->SendSMS_RC(record, validity, status);
}
