// The cached phone book: an in-memory copy of one device phone book. It loads every slot once,
// keeps the filled slots as a list plus a used-slot map, writes additions, changes and deletions
// to the device before changing its copy, sorts its list, and tells its listeners of every
// change.
//
// The list, the map and the flags are for one thread at a time. The listener list has a lock of
// its own (re-entrant): listeners are called under it, by index, so a listener may add or remove
// listeners, and a listener another thread removed is not called after RemoveListener returned.
// Listeners and the load progress are called outside the API's selection lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dm/phonebook.h"
#include <windows.h>

// The application's listener of a list of records (a phone book, a message box).
class IRecordListener {
public:
    virtual void OnRecordAdded(void* source, int position) = 0;
    virtual void OnRecordRemoved(void* source, int position) = 0;
    virtual void OnRecordChanged(void* source, int position) = 0;
    virtual void OnListReordered(void* source) = 0;

protected:
    ~IRecordListener() = default;
};

// The listeners of a list of records, with a lock of their own (re-entrant): listeners are
// called under it, by index, so a listener may add or remove listeners, and a listener another
// thread removed is not called after Remove returned.
class CRecordListeners {
public:
    enum class Change { None, Added, Removed, Changed, Reordered };
    CRecordListeners();
    ~CRecordListeners();
    CRecordListeners(const CRecordListeners&) = delete;
    CRecordListeners& operator=(const CRecordListeners&) = delete;

    // Appended when not present.
    void Add(IRecordListener* listener);
    // The first occurrence removed.
    void Remove(IRecordListener* listener);
    // Tells every listener of the change of `source` (None tells nobody).
    void Notify(void* source, Change change, int position);

private:
    CRITICAL_SECTION m_lock;
    std::vector<IRecordListener*> m_listeners;
};

// Called once per slot while a phone book or a message box loads: the record read (the book's
// PhonebookEntry, the box's SMSRecord), the slot count, the slot's number (counted from the
// first slot).
class ILoadProgress {
public:
    virtual void OnRecordLoaded(const void* record, int total, int slot) = 0;

protected:
    ~ILoadProgress() = default;
};

class IPhonebook {
public:
    virtual void AddListener(IRecordListener* listener) = 0;
    virtual void RemoveListener(IRecordListener* listener) = 0;
    virtual int GetSlotCount() = 0;
    virtual int GetCount() = 0;
    // Null for a position outside the list. The entry stays where it is until it is removed.
    virtual PhonebookEntry* GetAt(int position) = 0;
    // Empties the device slot of that position, then removes the entry; false for a position
    // outside the list or when the device refused.
    virtual bool DeleteEntry(int position) = 0;
    virtual bool Modify(int position, const PhonebookEntry* entry) = 0;
    virtual bool AddEntry(const PhonebookEntry* entry, bool* alreadyPresent) = 0;
    // status: 0 loaded, 1 the book's layout is unusable, else the status of switching the books
    // on.
    virtual void Load(ILoadProgress* progress, int* status) = 0;
    virtual bool IsLoaded() = 0;
    // The position of the first entry with the same name and number, or GetCount().
    virtual int Find(const PhonebookEntry* entry) = 0;
    virtual PhonebookEntry* FindByName(const std::string& name) = 0;
    virtual PhonebookEntry* FindByNumber(const std::string& number) = 0;
    virtual void ToggleSortOrder() = 0;
    // 0: names in the user's locale order; 1: numbers byte by byte; other: names byte by byte.
    virtual void SetSortKey(int key) = 0;
    virtual void Sort() = 0;
    virtual int GetMaxNameLength() = 0;
    virtual int GetMaxNumberLength() = 0;

protected:
    ~IPhonebook() = default;
};

class CEmbedPhonebook final : public IPhonebook {
public:
    CEmbedPhonebook(CPhonebookAPI& api, int storage, bool ascending = true, int sortKey = 0);
    ~CEmbedPhonebook();
    CEmbedPhonebook(const CEmbedPhonebook&) = delete;
    CEmbedPhonebook& operator=(const CEmbedPhonebook&) = delete;

    void AddListener(IRecordListener* listener) override;
    void RemoveListener(IRecordListener* listener) override;
    int GetSlotCount() override;
    int GetCount() override;
    PhonebookEntry* GetAt(int position) override;
    bool DeleteEntry(int position) override;
    bool Modify(int position, const PhonebookEntry* entry) override;
    bool AddEntry(const PhonebookEntry* entry, bool* alreadyPresent) override;
    void Load(ILoadProgress* progress, int* status) override;
    bool IsLoaded() override;
    int Find(const PhonebookEntry* entry) override;
    PhonebookEntry* FindByName(const std::string& name) override;
    PhonebookEntry* FindByNumber(const std::string& number) override;
    void ToggleSortOrder() override;
    void SetSortKey(int key) override;
    void Sort() override;
    int GetMaxNameLength() override;
    int GetMaxNumberLength() override;

private:
    using Change = CRecordListeners::Change;
    bool ReadLayout();
    // The entry cut to the book's maximum lengths (at character boundaries).
    PhonebookEntry Cut(const PhonebookEntry& entry) const;
    bool Write(std::uint32_t slot, const PhonebookEntry& entry);
    void Notify(Change change, int position);
    bool ValidPosition(int position) const;

    CPhonebookAPI& m_api;
    int m_storage;
    std::uint32_t m_endSlot = 0;
    std::uint32_t m_firstSlot = 0;
    std::uint32_t m_maxNumberLength = 0;
    std::uint32_t m_maxNameLength = 0;
    std::vector<bool> m_used;  // bit i: slot first + i holds an entry (or could not be read)
    std::vector<std::unique_ptr<PhonebookEntry>> m_entries;
    CRecordListeners m_listeners;
    bool m_loaded = false;
    bool m_ascending;
    int m_sortKey;
};
