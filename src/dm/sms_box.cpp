#include "dm/sms_box.h"

#include <algorithm>
#include <tuple>

#include "dm/service_call.h"
#include "support/auto_lock.h"

namespace {

auto TimeOf(const SMSRecord& r) {
    return std::tie(r.year, r.month, r.day, r.hour, r.minute, r.second);
}

constexpr int kUnread = 1;

}  // namespace

SMSBoxBase::SMSBoxBase(DMDispatcher& dispatcher, int box) : m_dispatcher(dispatcher), m_box(box) {
    InitializeCriticalSection(&m_loadLock);
    InitializeCriticalSection(&m_boxLock);
}

SMSBoxBase::~SMSBoxBase() {
    DeleteCriticalSection(&m_boxLock);
    DeleteCriticalSection(&m_loadLock);
}

void SMSBoxBase::AddListener(IRecordListener* listener) {
    CAutoLock guard(m_boxLock);
    m_listeners.Add(listener);
}

void SMSBoxBase::RemoveListener(IRecordListener* listener) {
    CAutoLock guard(m_boxLock);
    m_listeners.Remove(listener);
}

void SMSBoxBase::Notify(Change change, int position) {
    m_listeners.Notify(this, change, position);
}

int SMSBoxBase::GetCapacity() {
    CAutoLock guard(m_boxLock);
    return m_capacity;
}

int SMSBoxBase::GetCount() {
    CAutoLock guard(m_boxLock);
    return static_cast<int>(m_messages.size());
}

bool SMSBoxBase::ValidLocked(int position) const {
    return position >= 0 && static_cast<std::size_t>(position) < m_messages.size();
}

SMSRecord* SMSBoxBase::GetAt(int position) {
    CAutoLock guard(m_boxLock);
    return ValidLocked(position) ? m_messages[static_cast<std::size_t>(position)].get() : nullptr;
}

std::pair<int, SMSBoxBase::Change> SMSBoxBase::PlaceLocked(const SMSRecord& record) {
    for (std::size_t i = 0; i < m_messages.size(); ++i) {
        if (m_messages[i]->deviceIndex == record.deviceIndex) {
            *m_messages[i] = record;
            return {static_cast<int>(i), Change::Changed};
        }
    }
    // Before the first strictly older message: equal times keep their order of arrival.
    const auto at = std::find_if(m_messages.begin(), m_messages.end(),
                                 [&](const auto& m) { return TimeOf(*m) < TimeOf(record); });
    const auto position = static_cast<int>(at - m_messages.begin());
    m_messages.insert(at, std::make_unique<SMSRecord>(record));
    return {position, Change::Added};
}

bool SMSBoxBase::DeleteMessage(int position) {
    DMServiceCall inside(m_dispatcher);
    {
        CAutoLock guard(m_boxLock);
        if (!ValidLocked(position)) return false;
        const auto index = static_cast<std::size_t>(position);
        if (!DeleteSlot(static_cast<int>(m_messages[index]->deviceIndex))) return false;
        m_messages.erase(m_messages.begin() + position);
    }
    Notify(Change::Removed, position);
    return true;
}

bool SMSBoxBase::AddMessage(const SMSRecord* record, bool* alreadyPresent) {
    DMServiceCall inside(m_dispatcher);
    if (alreadyPresent != nullptr) *alreadyPresent = false;
    if (record == nullptr) return false;
    std::pair<int, Change> placed;
    {
        CAutoLock guard(m_boxLock);
        const bool listed =
            std::any_of(m_messages.begin(), m_messages.end(), [record](const auto& m) {
                return TimeOf(*m) == TimeOf(*record) && m->number == record->number &&
                       m->text == record->text;
            });
        if (listed) {
            if (alreadyPresent != nullptr) *alreadyPresent = true;
            return true;
        }
        if (static_cast<int>(m_messages.size()) >= m_capacity) return false;
        SMSRecord copy = *record;
        int slot = 0;
        if (!WriteRecord(copy, &slot)) return false;
        copy.deviceIndex = static_cast<std::uint32_t>(slot);
        placed = PlaceLocked(copy);
    }
    Notify(placed.second, placed.first);
    return true;
}

bool SMSBoxBase::SetStatus(int position, int status) {
    DMServiceCall inside(m_dispatcher);
    {
        CAutoLock guard(m_boxLock);
        if (!ValidLocked(position)) return false;
        SMSRecord& listed = *m_messages[static_cast<std::size_t>(position)];
        if (listed.status == status) return true;
        SMSRecord read;
        // The re-read copy keeps the listed message's slot, so that a later delete hits it.
        read.deviceIndex = listed.deviceIndex;
        if (!ReadSlot(static_cast<int>(listed.deviceIndex), status == 0 ? 1 : 0, &read))
            return false;
        read.status = status;
        listed = read;
    }
    Notify(Change::Changed, position);
    return true;
}

int SMSBoxBase::GetUnreadCount() {
    CAutoLock guard(m_boxLock);
    return static_cast<int>(std::count_if(m_messages.begin(), m_messages.end(),
                                          [](const auto& m) { return m->status == kUnread; }));
}

void SMSBoxBase::Lock() {
    EnterCriticalSection(&m_boxLock);
}

void SMSBoxBase::Unlock() {
    LeaveCriticalSection(&m_boxLock);
}

void SMSBoxBase::Load(ILoadProgress* progress, int* status) {
    DMServiceCall inside(m_dispatcher);
    // One load at a time: a second caller waits and finds the box loaded.
    CAutoLock load(m_loadLock);
    {
        CAutoLock guard(m_boxLock);
        if (m_loaded) {
            SetDMStatus(status, kStatusSuccess);
            return;
        }
    }
    int capacity = 0;
    if (!QueryBox(&capacity)) {
        // A failed load leaves the box unloaded, so that the next Load tries again.
        CAutoLock guard(m_boxLock);
        m_loaded = false;
        SetDMStatus(status, kStatusFailure);
        return;
    }
    {
        CAutoLock guard(m_boxLock);
        m_capacity = capacity;
        m_loaded = true;
    }
    for (int i = 0; i < capacity; ++i) {
        SMSRecord record;
        // The device reads run without the box lock; only placing takes it.
        if (ReadSlot(i, 0, &record)) {
            record.deviceIndex = static_cast<std::uint32_t>(i);
            std::pair<int, Change> placed;
            {
                CAutoLock guard(m_boxLock);
                placed = PlaceLocked(record);
            }
            Notify(placed.second, placed.first);
        }
        if (progress != nullptr) progress->OnRecordLoaded(&record, capacity, i);
    }
    SetDMStatus(status, kStatusSuccess);
}

bool SMSBoxBase::IsLoaded() {
    CAutoLock guard(m_boxLock);
    return m_loaded;
}

void SMSBoxBase::SetEventSink(ISMSEventHandler* sink) {
    CAutoLock guard(m_boxLock);
    m_sink = sink;
}

int SMSBoxBase::OnMessageReport(int slot, bool cpt) {
    DMServiceCall inside(m_dispatcher);
    bool handled = false;
    int position = 0;
    bool loaded = false;
    std::pair<int, Change> placed{0, Change::None};
    {
        CAutoLock guard(m_boxLock);
        loaded = m_loaded;
        if (loaded) {
            SMSRecord record;
            if (ReadSlot(slot, 0, &record)) {
                record.status = kUnread;
                record.deviceIndex = static_cast<std::uint32_t>(slot);
                placed = PlaceLocked(record);
                position = placed.first;
                handled = true;
            }
        }
    }
    if (!loaded) {
        int status = kStatusFailure;
        Load(nullptr, &status);
        handled = status == kStatusSuccess;
        CAutoLock guard(m_boxLock);
        const auto it = std::find_if(m_messages.begin(), m_messages.end(), [slot](const auto& m) {
            return m->deviceIndex == static_cast<std::uint32_t>(slot);
        });
        position = static_cast<int>(it - m_messages.begin());
    }
    Notify(placed.second, placed.first);
    ISMSEventHandler* sink = nullptr;
    int count = 0;
    {
        CAutoLock guard(m_boxLock);
        sink = m_sink;
        count = static_cast<int>(m_messages.size());
    }
    if (sink == nullptr || !handled) return position;
    if (position >= count) return count;
    return cpt ? sink->OnCPTSMS(position) : sink->OnNewSMS(position);
}

int SMSBoxBase::OnNewSMS(int slot) {
    return OnMessageReport(slot, false);
}

int SMSBoxBase::OnCPTSMS(int slot) {
    return OnMessageReport(slot, true);
}

void SMSBoxBase::OnBoxFull() {
    ISMSEventHandler* sink = nullptr;
    {
        CAutoLock guard(m_boxLock);
        sink = m_sink;
    }
    if (sink != nullptr) sink->OnBoxFull();
}

// ---- The box-selecting scheme ----

bool CEmbedSMSBox::QueryBox(int* slotCount) {
    SMSBoxSelection selection(m_api, Box());
    if (selection.Status() != kStatusSuccess) return false;
    int status = kStatusFailure;
    m_api.QuerySMSBox(slotCount, nullptr, &status);
    return status == kStatusSuccess;
}

bool CEmbedSMSBox::ReadSlot(int slot, int mark, SMSRecord* record) {
    SMSBoxSelection selection(m_api, Box());
    if (selection.Status() != kStatusSuccess) return false;
    int status = kStatusFailure;
    m_api.ReadSMS(slot, record, mark, &status);
    return status == kStatusSuccess;
}

bool CEmbedSMSBox::DeleteSlot(int slot) {
    SMSBoxSelection selection(m_api, Box());
    if (selection.Status() != kStatusSuccess) return false;
    int status = kStatusFailure;
    m_api.DelSMS(slot, &status);
    return status == kStatusSuccess;
}

bool CEmbedSMSBox::WriteRecord(const SMSRecord& record, int* slot) {
    SMSBoxSelection selection(m_api, Box());
    if (selection.Status() != kStatusSuccess) return false;
    int status = kStatusFailure;
    *slot = m_api.WriteSMS(&record, &status);
    return status == kStatusSuccess;
}

// ---- The box-naming scheme ----

int CEmbedSMSBox_RC::GetUnreadCount() {
    return Box() == 2 ? m_api.GetBox2Counter() : SMSBoxBase::GetUnreadCount();
}

bool CEmbedSMSBox_RC::QueryBox(int* slotCount) {
    int status = kStatusFailure;
    m_api.QuerySMSBox_RC(Box(), slotCount, nullptr, &status);
    return status == kStatusSuccess;
}

bool CEmbedSMSBox_RC::ReadSlot(int slot, int mark, SMSRecord* record) {
    int status = kStatusFailure;
    m_api.ReadSMS_RC(Box(), slot, record, mark, &status);
    return status == kStatusSuccess;
}

bool CEmbedSMSBox_RC::DeleteSlot(int slot) {
    int status = kStatusFailure;
    m_api.DelSMS_RC(Box(), slot, &status);
    return status == kStatusSuccess;
}

bool CEmbedSMSBox_RC::WriteRecord(const SMSRecord& record, int* slot) {
    int status = kStatusFailure;
    *slot = m_api.WriteSMS_RC(Box(), &record, &status);
    return status == kStatusSuccess;
}
