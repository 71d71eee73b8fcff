#include "dm/sms.h"

#include <algorithm>
#include <new>

#include "dm/service_call.h"
#include "dm/sms_reports.h"
#include "support/auto_lock.h"

namespace {

// The box-2 counter: one value for the whole process.
std::atomic<int> g_box2Counter{0};

// Runs a box query and hands its values out on success.
template <class C>
int RunBoxQuery(DMDispatcher& dispatcher, C* command, int* slotCount, int* secondValue) {
    DMCall call(command);
    const int result = call.Run(dispatcher, SMSAPICore::kQueryWaitMs);
    if (result == kStatusSuccess) {
        const auto [count, second] = call.Command().Values();
        if (slotCount != nullptr) *slotCount = count;
        if (secondValue != nullptr) *secondValue = second;
    }
    return result;
}

}  // namespace

void CopyReadRecord(const SMSRecord& read, SMSRecord* out) {
    if (out == nullptr) return;
    const std::uint32_t index = out->deviceIndex;
    *out = read;
    out->deviceIndex = index;
}

// ---- SMSAPICore ----

SMSAPICore::SMSAPICore(DMDispatcher& dispatcher, SMSSendLock& sendLock, std::vector<int> boxes)
    : m_dispatcher(dispatcher), m_sendLock(sendLock) {
    InitializeCriticalSection(&m_lock);
    for (int box : boxes) m_lists.push_back({box, {}});
}

SMSAPICore::~SMSAPICore() {
    DeleteCriticalSection(&m_lock);
}

void SMSAPICore::AddListenerTo(ISMSEventHandler* handler, int box) {
    CAutoLock guard(m_lock);
    for (auto& [listBox, list] : m_lists)
        if (listBox == box && std::find(list.begin(), list.end(), handler) == list.end())
            list.push_back(handler);
}

void SMSAPICore::RemoveListenerFromAll(ISMSEventHandler* handler) {
    CAutoLock guard(m_lock);
    for (auto& entry : m_lists) {
        auto& list = entry.second;
        auto it = std::find(list.begin(), list.end(), handler);
        if (it != list.end()) list.erase(it);
    }
}

std::vector<ISMSEventHandler*> SMSAPICore::Listeners(int box) const {
    CAutoLock guard(m_lock);
    for (const auto& [listBox, list] : m_lists)
        if (listBox == box) return list;
    return {};
}

template <class C, class Parser>
int SMSAPICore::Send(Parser& parser, const SMSRecord* record, int validity, int* status) {
    const SMSRecord empty;
    const SMSRecord& message = record != nullptr ? *record : empty;
    if (!FitsTextField(message.number, kSMSNumberWidth)) {
        SetDMStatus(status, kStatusFailure);
        return SMSSendResult(0);
    }
    auto* command = new C(message, validity, Force());
    DMCall<C> call(command);
    DMServiceCall inside(m_dispatcher);
    // Held until the report wait ends: the report goes to the send registered last, so no other
    // send (of either scheme) may register meanwhile.
    CAutoLock guard(m_sendLock.Get());
    parser.RegisterSend(call.Holder());
    int result = call.Run(m_dispatcher, kSendWaitMs);
    if (result != kStatusSuccess)
        result = kStatusFailure;
    else
        result = MapCommandResult(
            command->WaitForSendReport(kReportWaitMs, m_dispatcher.ReleasedEvent()));
    SetDMStatus(status, result);
    return command->SendResult();
}

// ---- CSMSAPI ----

CSMSAPI::CSMSAPI(DMDispatcher& dispatcher, CSMSCmdParser& parser, SMSSendLock& sendLock)
    : SMSAPIBase(dispatcher, sendLock, {0, 4}), m_parser(parser) {
    InitializeCriticalSection(&m_selectionLock);
}

CSMSAPI::~CSMSAPI() {
    DeleteCriticalSection(&m_selectionLock);
}

void CSMSAPI::SelSMSBox(int box, int* status) {
    DMServiceCall inside(m_core.Dispatcher());
    CAutoLock guard(m_selectionLock);
    DMCall call(new CDMCmdSelSMSBox(static_cast<std::uint8_t>(box)));
    SetDMStatus(status, call.Run(m_core.Dispatcher(), SMSAPICore::kSelectWaitMs));
}

void CSMSAPI::QuerySMSBox(int* slotCount, int* secondValue, int* status) {
    SetDMStatus(status,
                RunBoxQuery(m_core.Dispatcher(), new CDMCmdQuerySMSBox, slotCount, secondValue));
}

void CSMSAPI::ReadSMS(int slot, SMSRecord* record, int mark, int* status) {
    DMCall call(new CDMCmdReadSMS(static_cast<std::uint8_t>(slot), mark != 0 ? 1 : 0));
    const int result = call.Run(m_core.Dispatcher(), SMSAPICore::kReadWaitMs);
    if (result == kStatusSuccess) CopyReadRecord(call.Command().Record(), record);
    SetDMStatus(status, result);
}

void CSMSAPI::DelSMS(int slot, int* status) {
    DMCall call(new CDMCmdDelSMS(static_cast<std::uint8_t>(slot)));
    SetDMStatus(status, call.Run(m_core.Dispatcher(), SMSAPICore::kDeleteWaitMs));
}

int CSMSAPI::WriteSMS(const SMSRecord* record, int* status) {
    const SMSRecord empty;
    DMCall call(new CDMCmdWriteSMS(record != nullptr ? *record : empty));
    const int result = call.Run(m_core.Dispatcher(), SMSAPICore::kWriteWaitMs);
    SetDMStatus(status, result);
    return result == kStatusSuccess ? call.Command().StoredSlot() : 0;
}

int CSMSAPI::SendSMS(const SMSRecord* record, int validity, int* status) {
    return m_core.Send<CDMCmdSendSMS>(m_parser, record, validity, status);
}

// ---- SMSBoxSelection ----

SMSBoxSelection::SMSBoxSelection(CSMSAPI& api, int box)
    : m_api(api), m_inside(api.m_core.Dispatcher()) {
    EnterCriticalSection(&m_api.m_selectionLock);
    // Every time: the device may have lost its selection (a replug, another program).
    m_api.SelSMSBox(box, &m_status);
}

SMSBoxSelection::~SMSBoxSelection() {
    LeaveCriticalSection(&m_api.m_selectionLock);
}

// ---- CSMSAPI_RC ----

CSMSAPI_RC::CSMSAPI_RC(DMDispatcher& dispatcher, CSMSCmdParser_RC& parser, SMSSendLock& sendLock)
    : SMSAPIBase(dispatcher, sendLock, {0, 1, 2}), m_parser(parser) {}

void CSMSAPI_RC::QuerySMSBox_RC(int box, int* slotCount, int* secondValue, int* status) {
    SetDMStatus(status, RunBoxQuery(m_core.Dispatcher(),
                                    new CDMCmdQuerySMSBox_RC(static_cast<std::uint8_t>(box)),
                                    slotCount, secondValue));
}

void CSMSAPI_RC::ReadSMS_RC(int box, int slot, SMSRecord* record, int mark, int* status) {
    DMCall call(new CDMCmdReadSMS_RC(static_cast<std::uint8_t>(box),
                                     static_cast<std::uint8_t>(slot), mark != 0 ? 1 : 0));
    const int result = call.Run(m_core.Dispatcher(), SMSAPICore::kReadWaitMs);
    if (result == kStatusSuccess) {
        CopyReadRecord(call.Command().Record(), record);
        if (box == 2) g_box2Counter.store(call.Command().Trailing(), std::memory_order_release);
    }
    SetDMStatus(status, result);
}

void CSMSAPI_RC::DelSMS_RC(int box, int slot, int* status) {
    DMCall call(
        new CDMCmdDelSMS_RC(static_cast<std::uint8_t>(box), static_cast<std::uint8_t>(slot)));
    SetDMStatus(status, call.Run(m_core.Dispatcher(), SMSAPICore::kDeleteWaitMs));
}

int CSMSAPI_RC::WriteSMS_RC(int box, const SMSRecord* record, int* status) {
    const SMSRecord empty;
    DMCall call(
        new CDMCmdWriteSMS_RC(static_cast<std::uint8_t>(box), record != nullptr ? *record : empty));
    const int result = call.Run(m_core.Dispatcher(), SMSAPICore::kWriteWaitMs);
    SetDMStatus(status, result);
    return result == kStatusSuccess ? call.Command().StoredSlot() : 0;
}

int CSMSAPI_RC::SendSMS_RC(const SMSRecord* record, int validity, int* status) {
    return m_core.Send<CDMCmdSendSMS_RC>(m_parser, record, validity, status);
}

int CSMSAPI_RC::GetBox2Counter() {
    return g_box2Counter.load(std::memory_order_acquire);
}
