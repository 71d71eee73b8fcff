#include "dm/embed_phonebook.h"

#include <algorithm>

#include "dm/service_call.h"
#include "dm/text_fields.h"
#include "support/auto_lock.h"
#include "textfiles/encoding.h"

CRecordListeners::CRecordListeners() {
    InitializeCriticalSection(&m_lock);
}

CRecordListeners::~CRecordListeners() {
    DeleteCriticalSection(&m_lock);
}

void CRecordListeners::Add(IRecordListener* listener) {
    CAutoLock guard(m_lock);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void CRecordListeners::Remove(IRecordListener* listener) {
    CAutoLock guard(m_lock);
    auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it != m_listeners.end()) m_listeners.erase(it);
}

void CRecordListeners::Notify(void* source, Change change, int position) {
    if (change == Change::None) return;
    CAutoLock guard(m_lock);
    // By index, the count read again at each step: a listener may change the list.
    for (std::size_t i = 0; i < m_listeners.size(); ++i) {
        IRecordListener* listener = m_listeners[i];
        if (listener == nullptr) continue;
        switch (change) {
            case Change::Added:
                listener->OnRecordAdded(source, position);
                break;
            case Change::Removed:
                listener->OnRecordRemoved(source, position);
                break;
            case Change::Changed:
                listener->OnRecordChanged(source, position);
                break;
            case Change::Reordered:
                listener->OnListReordered(source);
                break;
            case Change::None:
                break;
        }
    }
}

CEmbedPhonebook::CEmbedPhonebook(CPhonebookAPI& api, int storage, bool ascending, int sortKey)
    : m_api(api), m_storage(storage), m_ascending(ascending), m_sortKey(sortKey) {}

CEmbedPhonebook::~CEmbedPhonebook() = default;

void CEmbedPhonebook::AddListener(IRecordListener* listener) {
    m_listeners.Add(listener);
}

void CEmbedPhonebook::RemoveListener(IRecordListener* listener) {
    m_listeners.Remove(listener);
}

void CEmbedPhonebook::Notify(Change change, int position) {
    m_listeners.Notify(this, change, position);
}

int CEmbedPhonebook::GetSlotCount() {
    return static_cast<int>(m_used.size());
}

int CEmbedPhonebook::GetCount() {
    return static_cast<int>(m_entries.size());
}

bool CEmbedPhonebook::ValidPosition(int position) const {
    return position >= 0 && static_cast<std::size_t>(position) < m_entries.size();
}

PhonebookEntry* CEmbedPhonebook::GetAt(int position) {
    return ValidPosition(position) ? m_entries[static_cast<std::size_t>(position)].get() : nullptr;
}

bool CEmbedPhonebook::DeleteEntry(int position) {
    const PhonebookEntry empty;
    return Modify(position, &empty);
}

PhonebookEntry CEmbedPhonebook::Cut(const PhonebookEntry& entry) const {
    PhonebookEntry cut = entry;
    if (cut.name.size() > m_maxNameLength)
        cut.name.resize(AnsiPrefixLength(cut.name, m_maxNameLength));
    if (cut.number.size() > m_maxNumberLength)
        cut.number.resize(AnsiPrefixLength(cut.number, m_maxNumberLength));
    return cut;
}

bool CEmbedPhonebook::Write(std::uint32_t slot, const PhonebookEntry& entry) {
    int status = kStatusFailure;
    m_api.ModifyPB(static_cast<int>(slot), &entry, &status);
    return status == kStatusSuccess;
}

bool CEmbedPhonebook::Modify(int position, const PhonebookEntry* entry) {
    DMServiceCall inside(m_api.Dispatcher());
    if (entry == nullptr || !ValidPosition(position)) return false;
    const auto index = static_cast<std::size_t>(position);
    const PhonebookEntry cut = Cut(*entry);
    const std::uint32_t slot = m_entries[index]->slot;
    {
        PhonebookSelection selection(m_api, m_storage);
        if (selection.Status() != kStatusSuccess || !Write(slot, cut)) return false;
    }
    if (!cut.name.empty() || !cut.number.empty()) {
        m_entries[index]->name = cut.name;
        m_entries[index]->number = cut.number;
        Notify(Change::Changed, position);
    } else {
        m_used[slot - m_firstSlot] = false;
        m_entries.erase(m_entries.begin() + position);
        Notify(Change::Removed, position);
    }
    return true;
}

bool CEmbedPhonebook::AddEntry(const PhonebookEntry* entry, bool* alreadyPresent) {
    DMServiceCall inside(m_api.Dispatcher());
    if (alreadyPresent != nullptr) *alreadyPresent = false;
    if (entry == nullptr || (entry->name.empty() && entry->number.empty())) return false;
    PhonebookEntry cut = Cut(*entry);
    if (Find(&cut) < GetCount()) {
        if (alreadyPresent != nullptr) *alreadyPresent = true;
        return true;
    }
    if (GetCount() >= GetSlotCount()) return false;
    const auto free = std::find(m_used.begin(), m_used.end(), false);
    if (free == m_used.end()) return false;  // the rest are slots that could not be read
    const auto bit = static_cast<std::uint32_t>(free - m_used.begin());
    cut.slot = m_firstSlot + bit;
    {
        PhonebookSelection selection(m_api, m_storage);
        if (selection.Status() != kStatusSuccess || !Write(cut.slot, cut)) return false;
    }
    m_used[bit] = true;
    m_entries.push_back(std::make_unique<PhonebookEntry>(std::move(cut)));
    Notify(Change::Added, GetCount() - 1);
    return true;
}

bool CEmbedPhonebook::ReadLayout() {
    PhonebookInfo info;
    int status = kStatusFailure;
    {
        PhonebookSelection selection(m_api, m_storage);
        if (selection.Status() != kStatusSuccess) return false;
        m_api.QueryPB(&info, &status);
    }
    if (status != kStatusSuccess || info.lastSlot <= info.firstSlot) return false;
    m_endSlot = info.lastSlot + 1;
    m_firstSlot = info.firstSlot;
    m_maxNumberLength = info.maxNumberLength;
    m_maxNameLength = info.maxNameLength;
    m_used.assign(m_endSlot - m_firstSlot, false);
    return true;
}

void CEmbedPhonebook::Load(ILoadProgress* progress, int* status) {
    DMServiceCall inside(m_api.Dispatcher());
    if (m_loaded) {
        SetDMStatus(status, kStatusSuccess);
        return;
    }
    int enabled = kStatusFailure;
    m_api.EnablePB(1, &enabled);
    if (enabled != kStatusSuccess) {
        SetDMStatus(status, enabled);
        return;
    }
    if (!ReadLayout()) {
        SetDMStatus(status, kStatusFailure);
        return;
    }
    const int total = GetSlotCount();
    for (int i = 0; i < total; ++i) {
        PhonebookEntry entry;
        entry.slot = m_firstSlot + static_cast<std::uint32_t>(i);
        int read = kStatusFailure;
        {
            PhonebookSelection selection(m_api, m_storage);
            read = selection.Status();
            if (read == kStatusSuccess) m_api.ReadPB(static_cast<int>(entry.slot), &entry, &read);
        }
        if (read == kStatusSuccess && (!entry.name.empty() || !entry.number.empty())) {
            m_used[static_cast<std::size_t>(i)] = true;
            m_entries.push_back(std::make_unique<PhonebookEntry>(entry));
            Notify(Change::Added, GetCount() - 1);
        } else if (read == kStatusNoAnswer) {
            // Not known to be free: no write may take the slot.
            m_used[static_cast<std::size_t>(i)] = true;
        }
        if (progress != nullptr) progress->OnRecordLoaded(&entry, total, i);
    }
    m_loaded = true;
    SetDMStatus(status, kStatusSuccess);
}

bool CEmbedPhonebook::IsLoaded() {
    return m_loaded;
}

int CEmbedPhonebook::Find(const PhonebookEntry* entry) {
    if (entry == nullptr) return GetCount();
    const auto it = std::find_if(m_entries.begin(), m_entries.end(), [entry](const auto& e) {
        return e->name == entry->name && e->number == entry->number;
    });
    return static_cast<int>(it - m_entries.begin());
}

PhonebookEntry* CEmbedPhonebook::FindByName(const std::string& name) {
    for (const auto& e : m_entries)
        if (!e->name.empty() && e->name == name) return e.get();
    return nullptr;
}

PhonebookEntry* CEmbedPhonebook::FindByNumber(const std::string& number) {
    for (const auto& e : m_entries)
        if (!e->number.empty() && e->number == number) return e.get();
    return nullptr;
}

void CEmbedPhonebook::ToggleSortOrder() {
    m_ascending = !m_ascending;
    Sort();
}

void CEmbedPhonebook::SetSortKey(int key) {
    m_sortKey = key;
}

void CEmbedPhonebook::Sort() {
    const int key = m_sortKey;
    auto compare = [key](const PhonebookEntry& a, const PhonebookEntry& b) {
        if (key == 0) return CompareAnsi(a.name, b.name);
        const int c = key == 1 ? a.number.compare(b.number) : a.name.compare(b.name);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    };
    const bool ascending = m_ascending;
    std::stable_sort(m_entries.begin(), m_entries.end(), [&](const auto& a, const auto& b) {
        const int c = compare(*a, *b);
        return ascending ? c < 0 : c > 0;
    });
    Notify(Change::Reordered, 0);
}

int CEmbedPhonebook::GetMaxNameLength() {
    return static_cast<int>(m_maxNameLength);
}

int CEmbedPhonebook::GetMaxNumberLength() {
    return static_cast<int>(m_maxNumberLength);
}
