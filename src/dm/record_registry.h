// The records an API made for its callers: a record is freed only when the API made it, has not
// freed it yet, and it still holds the marker it was made with (a caller that overwrote the marker
// keeps the record; the API frees it when it goes).
#pragma once

#include <cstdint>
#include <new>
#include <set>

#include <windows.h>
#include "support/auto_lock.h"

// T's field Field holds the marker.
template <class T, std::uint32_t T::*Field, std::uint32_t Marker>
class CRecordRegistry {
public:
    CRecordRegistry() { InitializeCriticalSection(&m_lock); }
    // Frees the records that were never freed.
    ~CRecordRegistry() {
        for (T* record : m_records) delete record;
        DeleteCriticalSection(&m_lock);
    }
    CRecordRegistry(const CRecordRegistry&) = delete;
    CRecordRegistry& operator=(const CRecordRegistry&) = delete;

    // A record with its defaults and the marker; null when out of memory.
    T* New() {
        auto* record = new (std::nothrow) T;
        if (record == nullptr) return nullptr;
        record->*Field = Marker;
        CAutoLock guard(m_lock);
        try {
            m_records.insert(record);
        } catch (const std::bad_alloc&) {
            delete record;
            return nullptr;
        }
        return record;
    }
    // Frees a record New returned that still holds the marker; anything else is left alone.
    void Free(T* record) {
        if (record == nullptr) return;
        {
            CAutoLock guard(m_lock);
            auto it = m_records.find(record);
            if (it == m_records.end() || record->*Field != Marker) return;
            m_records.erase(it);
        }
        delete record;
    }

private:
    CRITICAL_SECTION m_lock;
    std::set<T*> m_records;
};
