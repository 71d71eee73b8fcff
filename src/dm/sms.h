// The synchronous message APIs: CSMSAPI for the box-selecting scheme (a select, then commands on
// the box selected last) and CSMSAPI_RC for the box-naming scheme (every command names its box).
// Both send messages in two stages: the send command's own reply, then the device's send-status
// report, which the API's report parser hands to the send registered last.
//
// Sends: one send lock (shared by both schemes of one service) is held from a send's registration
// with its parser to the end of its report wait, so that a report always belongs to the one send
// in flight. Selection: a caller of the box-selecting API that needs a box for a command holds an
// SMSBoxSelection, which selects it before the command.
#pragma once

#include <atomic>
#include <cstdint>
#include <set>
#include <vector>

#include "dm/engine.h"
#include "dm/record_registry.h"
#include "dm/service_call.h"
#include "dm/sms_commands.h"
#include <windows.h>

class CSMSCmdParser;
class CSMSCmdParser_RC;

// A message box's side that takes the device's message reports (device slots).
class ISMSEventHandler {
public:
    virtual int OnNewSMS(int slot) = 0;
    virtual void OnBoxFull() = 0;
    virtual int OnCPTSMS(int slot) = 0;

protected:
    ~ISMSEventHandler() = default;
};

// A critical section held across one send (registration to the end of its report wait).
class SMSSendLock {
public:
    SMSSendLock() { InitializeCriticalSection(&m_cs); }
    ~SMSSendLock() { DeleteCriticalSection(&m_cs); }
    SMSSendLock(const SMSSendLock&) = delete;
    SMSSendLock& operator=(const SMSSendLock&) = delete;
    CRITICAL_SECTION& Get() { return m_cs; }

private:
    CRITICAL_SECTION m_cs;
};

// Every operation that sends a command stores its service status through `status` (null: not
// stored).
class ISMSAPI {
public:
    virtual void SelSMSBox(int box, int* status) = 0;
    virtual void QuerySMSBox(int* slotCount, int* secondValue, int* status) = 0;
    // The record receives every field of the message except its device index.
    virtual void ReadSMS(int slot, SMSRecord* record, int mark, int* status) = 0;
    virtual void DelSMS(int slot, int* status) = 0;
    // Returns the slot the device stored the message in (0 without a reply).
    virtual int WriteSMS(const SMSRecord* record, int* status) = 0;
    // Returns the send result: 0 sent, 2, 3, 4 for the device's refusals, 1 otherwise.
    virtual int SendSMS(const SMSRecord* record, int validity, int* status) = 0;
    // Boxes 0 and 4 have lists; other boxes are ignored. Not appended twice.
    virtual void AddListener(ISMSEventHandler* handler, int box) = 0;
    virtual void RemoveListener(ISMSEventHandler* handler) = 0;
    virtual SMSRecord* NewRecord() = 0;
    virtual void FreeRecord(SMSRecord* record) = 0;
    virtual void SetForceUCS2(int flag) = 0;
    virtual void BeginGroupSending(int* status) = 0;
    virtual void EndGroupSending(int* status) = 0;

protected:
    ~ISMSAPI() = default;
};

class ISMSAPI_RC {
public:
    virtual void QuerySMSBox_RC(int box, int* slotCount, int* secondValue, int* status) = 0;
    // Box 2's read also sets the box-2 counter from the reply's trailing byte.
    virtual void ReadSMS_RC(int box, int slot, SMSRecord* record, int mark, int* status) = 0;
    virtual void DelSMS_RC(int box, int slot, int* status) = 0;
    virtual int WriteSMS_RC(int box, const SMSRecord* record, int* status) = 0;
    virtual int SendSMS_RC(const SMSRecord* record, int validity, int* status) = 0;
    // Boxes 0, 1 and 2 have lists; other boxes are ignored.
    virtual void AddListener(ISMSEventHandler* handler, int box) = 0;
    virtual void RemoveListener(ISMSEventHandler* handler) = 0;
    virtual SMSRecord* NewRecord() = 0;
    virtual void FreeRecord(SMSRecord* record) = 0;
    virtual void SetForceUCS2(int flag) = 0;
    virtual void BeginGroupSending(int* status) = 0;
    virtual void EndGroupSending(int* status) = 0;
    virtual int GetBox2Counter() = 0;

protected:
    ~ISMSAPI_RC() = default;
};

// What both APIs share: the dispatcher, the send lock, the force flag, the record registry and
// the listener lists.
class SMSAPICore {
public:
    static constexpr DWORD kSelectWaitMs = 7000;
    static constexpr DWORD kQueryWaitMs = 30000;
    static constexpr DWORD kReadWaitMs = 7000;
    static constexpr DWORD kDeleteWaitMs = 10000;
    static constexpr DWORD kWriteWaitMs = 5000;
    static constexpr DWORD kSendWaitMs = 3000;
    static constexpr DWORD kReportWaitMs = 20000;
    static constexpr DWORD kGroupWaitMs = 1000;

    SMSAPICore(DMDispatcher& dispatcher, SMSSendLock& sendLock, std::vector<int> boxes);
    ~SMSAPICore();
    SMSAPICore(const SMSAPICore&) = delete;
    SMSAPICore& operator=(const SMSAPICore&) = delete;

    void AddListenerTo(ISMSEventHandler* handler, int box);
    void RemoveListenerFromAll(ISMSEventHandler* handler);
    // The handlers listed for a box (empty for a box without a list).
    std::vector<ISMSEventHandler*> Listeners(int box) const;
    SMSRecord* NewRecordIn() { return m_records.New(); }
    // Frees only a record that NewRecord returned and whose device index holds the marker.
    void FreeRecordIn(SMSRecord* record) { m_records.Free(record); }
    void SetForce(int flag) { m_forceUcs2.store(flag != 0, std::memory_order_release); }
    bool Force() const { return m_forceUcs2.load(std::memory_order_acquire); }

    // The two-stage send of a command of class C (built from the record, the validity choice and
    // the force flag): under the send lock, registered with the parser, submitted, its reply
    // awaited, then its report. Returns the send result.
    template <class C, class Parser>
    int Send(Parser& parser, const SMSRecord* record, int validity, int* status);
    // The group tag of class C with the flag.
    template <class C>
    void Group(int flag, int* status) {
        DMCall call(new C(flag));
        SetDMStatus(status, call.Run(m_dispatcher, kGroupWaitMs));
    }

    DMDispatcher& Dispatcher() { return m_dispatcher; }

private:
    DMDispatcher& m_dispatcher;
    SMSSendLock& m_sendLock;
    std::atomic<bool> m_forceUcs2{false};
    mutable CRITICAL_SECTION m_lock;  // the listener lists
    std::vector<std::pair<int, std::vector<ISMSEventHandler*>>> m_lists;
    CRecordRegistry<SMSRecord, &SMSRecord::deviceIndex, kNewRecordMarker> m_records;
};

// Copies a read record into the caller's, keeping the caller's device index.
void CopyReadRecord(const SMSRecord& read, SMSRecord* out);

// The operations both APIs share, on the interface I with the group tag command G.
template <class I, class G>
class SMSAPIBase : public I {
public:
    SMSAPIBase(DMDispatcher& dispatcher, SMSSendLock& sendLock, std::vector<int> boxes)
        : m_core(dispatcher, sendLock, std::move(boxes)) {}

    void AddListener(ISMSEventHandler* handler, int box) override {
        m_core.AddListenerTo(handler, box);
    }
    void RemoveListener(ISMSEventHandler* handler) override {
        m_core.RemoveListenerFromAll(handler);
    }
    SMSRecord* NewRecord() override { return m_core.NewRecordIn(); }
    void FreeRecord(SMSRecord* record) override { m_core.FreeRecordIn(record); }
    void SetForceUCS2(int flag) override { m_core.SetForce(flag); }
    void BeginGroupSending(int* status) override { m_core.template Group<G>(1, status); }
    void EndGroupSending(int* status) override { m_core.template Group<G>(0, status); }

    std::vector<ISMSEventHandler*> Listeners(int box) const { return m_core.Listeners(box); }
    DMDispatcher& Dispatcher() { return m_core.Dispatcher(); }

protected:
    SMSAPICore m_core;
};

class CSMSAPI final : public SMSAPIBase<ISMSAPI, CDMCmdGroupSendingTag> {
public:
    CSMSAPI(DMDispatcher& dispatcher, CSMSCmdParser& parser, SMSSendLock& sendLock);
    ~CSMSAPI();
    CSMSAPI(const CSMSAPI&) = delete;
    CSMSAPI& operator=(const CSMSAPI&) = delete;

    void SelSMSBox(int box, int* status) override;
    void QuerySMSBox(int* slotCount, int* secondValue, int* status) override;
    void ReadSMS(int slot, SMSRecord* record, int mark, int* status) override;
    void DelSMS(int slot, int* status) override;
    int WriteSMS(const SMSRecord* record, int* status) override;
    int SendSMS(const SMSRecord* record, int validity, int* status) override;

private:
    friend class SMSBoxSelection;
    CSMSCmdParser& m_parser;
    CRITICAL_SECTION m_selectionLock;  // re-entrant: held by an SMSBoxSelection
};

// Holds the API's selection lock for a scope and selects the box (every time).
class SMSBoxSelection {
public:
    SMSBoxSelection(CSMSAPI& api, int box);
    ~SMSBoxSelection();
    SMSBoxSelection(const SMSBoxSelection&) = delete;
    SMSBoxSelection& operator=(const SMSBoxSelection&) = delete;
    // The status of the select.
    int Status() const { return m_status; }

private:
    CSMSAPI& m_api;
    DMServiceCall m_inside;  // left after the lock
    int m_status = kStatusSuccess;
};

class CSMSAPI_RC final : public SMSAPIBase<ISMSAPI_RC, CDMCmdGroupSendingTag_RC> {
public:
    CSMSAPI_RC(DMDispatcher& dispatcher, CSMSCmdParser_RC& parser, SMSSendLock& sendLock);

    void QuerySMSBox_RC(int box, int* slotCount, int* secondValue, int* status) override;
    void ReadSMS_RC(int box, int slot, SMSRecord* record, int mark, int* status) override;
    void DelSMS_RC(int box, int slot, int* status) override;
    int WriteSMS_RC(int box, const SMSRecord* record, int* status) override;
    int SendSMS_RC(const SMSRecord* record, int validity, int* status) override;
    // One value for the whole process.
    int GetBox2Counter() override;

private:
    CSMSCmdParser_RC& m_parser;
};
