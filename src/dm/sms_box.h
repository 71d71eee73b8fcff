// The message boxes: an in-memory copy of one device message box, newest first, loaded once from
// every slot and kept current by the device's new-message reports. CEmbedSMSBox works through
// the box-selecting API (selecting its box before each device command, under the API's selection
// lock), CEmbedSMSBox_RC through the box-naming API.
//
// Locks, always taken in this order: the load lock (one load at a time), the box lock (the list,
// the capacity, the loaded flag and the sink; the application may hold it with Lock/Unlock around
// reads of the list), the API's selection lock, the engine. A load holds the box lock only to
// place each message, never across its device reads, so a long load does not stop the box's
// report handling. No callback (listeners, the load progress, the sink) runs under the box lock;
// listeners run under the listener list's own lock. Load must not be called while the caller
// holds the box lock.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "dm/embed_phonebook.h"
#include "dm/sms.h"
#include <windows.h>

// The list view of a box: its listeners, its size and its messages. (Which operations this base
// declares is our choice; the order of all of them is that of IMessageBox.)
class IMessageBoxBase {
public:
    virtual void AddListener(IRecordListener* listener) = 0;
    virtual void RemoveListener(IRecordListener* listener) = 0;
    virtual int GetCapacity() = 0;
    virtual int GetCount() = 0;
    // Null for a position outside the list. Valid while the caller holds the box lock.
    virtual SMSRecord* GetAt(int position) = 0;

protected:
    ~IMessageBoxBase() = default;
};

class IMessageBox : public IMessageBoxBase {
public:
    // False for a position outside the list or when the device refused.
    virtual bool DeleteMessage(int position) = 0;
    // True with alreadyPresent set when a message with the same time, number and text is listed.
    virtual bool AddMessage(const SMSRecord* record, bool* alreadyPresent) = 0;
    virtual bool SetStatus(int position, int status) = 0;
    virtual int GetUnreadCount() = 0;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // status: 0 loaded, 1 the box could not be queried. The progress is told of every slot with
    // the SMSRecord read (defaults when the slot could not be read).
    virtual void Load(ILoadProgress* progress, int* status) = 0;
    virtual bool IsLoaded() = 0;
    // The application's receiver of the box's events, with list positions.
    virtual void SetEventSink(ISMSEventHandler* sink) = 0;

protected:
    ~IMessageBox() = default;
};

// Both boxes; the device commands are the scheme's.
class SMSBoxBase : public IMessageBox, public ISMSEventHandler {
public:
    SMSBoxBase(DMDispatcher& dispatcher, int box);
    virtual ~SMSBoxBase();
    SMSBoxBase(const SMSBoxBase&) = delete;
    SMSBoxBase& operator=(const SMSBoxBase&) = delete;

    void AddListener(IRecordListener* listener) override;
    void RemoveListener(IRecordListener* listener) override;
    int GetCapacity() override;
    int GetCount() override;
    SMSRecord* GetAt(int position) override;
    bool DeleteMessage(int position) override;
    bool AddMessage(const SMSRecord* record, bool* alreadyPresent) override;
    bool SetStatus(int position, int status) override;
    int GetUnreadCount() override;
    void Lock() override;
    void Unlock() override;
    void Load(ILoadProgress* progress, int* status) override;
    bool IsLoaded() override;
    void SetEventSink(ISMSEventHandler* sink) override;

    // The report side (device slots); called on the parser's delivery thread.
    int OnNewSMS(int slot) override;
    void OnBoxFull() override;
    int OnCPTSMS(int slot) override;

    int Box() const { return m_box; }

protected:
    // The scheme's device commands; true on success. Each selects the box first when the scheme
    // needs it.
    virtual bool QueryBox(int* slotCount) = 0;
    // The record receives the message; its device index is left as it was.
    virtual bool ReadSlot(int slot, int mark, SMSRecord* record) = 0;
    virtual bool DeleteSlot(int slot) = 0;
    virtual bool WriteRecord(const SMSRecord& record, int* slot) = 0;

private:
    using Change = CRecordListeners::Change;
    // Under the box lock: places the record (with its device slot) in the list.
    std::pair<int, Change> PlaceLocked(const SMSRecord& record);
    void Notify(Change change, int position);
    bool ValidLocked(int position) const;
    int OnMessageReport(int slot, bool cpt);

    DMDispatcher& m_dispatcher;
    int m_box;
    CRITICAL_SECTION m_loadLock;
    mutable CRITICAL_SECTION m_boxLock;
    bool m_loaded = false;
    int m_capacity = 0;
    std::vector<std::unique_ptr<SMSRecord>> m_messages;
    ISMSEventHandler* m_sink = nullptr;
    CRecordListeners m_listeners;
};

class CEmbedSMSBox final : public SMSBoxBase {
public:
    CEmbedSMSBox(CSMSAPI& api, int box) : SMSBoxBase(api.Dispatcher(), box), m_api(api) {}

protected:
    bool QueryBox(int* slotCount) override;
    bool ReadSlot(int slot, int mark, SMSRecord* record) override;
    bool DeleteSlot(int slot) override;
    bool WriteRecord(const SMSRecord& record, int* slot) override;

private:
    CSMSAPI& m_api;
};

class CEmbedSMSBox_RC final : public SMSBoxBase {
public:
    CEmbedSMSBox_RC(CSMSAPI_RC& api, int box) : SMSBoxBase(api.Dispatcher(), box), m_api(api) {}
    // Box 2's count is the device's counter, whatever the list holds.
    int GetUnreadCount() override;

protected:
    bool QueryBox(int* slotCount) override;
    bool ReadSlot(int slot, int mark, SMSRecord* record) override;
    bool DeleteSlot(int slot) override;
    bool WriteRecord(const SMSRecord& record, int* slot) override;

private:
    ISMSAPI_RC& m_api;
};
