// The message sub-services over the simulated modem's boxes, and recorders of box events.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "dm/sms_reports.h"
#include "tests/dm/device_fixture.h"
#include "tests/dm/phonebook_fixture.h"

namespace dmtest {

inline dmpeer::CommandKey SmsKey(std::uint16_t sub) {
    return {0x4B, kCategorySms, sub};
}
inline dmpeer::CommandKey SmsBoxKey(std::uint16_t sub) {
    return {0x4B, kCategorySmsBoxes, sub};
}
enum SmsSub : std::uint16_t {
    kSmsSelect = 2,
    kSmsQuery = 3,
    kSmsRead = 4,
    kSmsDelete = 5,
    kSmsSend = 6,
    kSmsWrite = 7
};
enum SmsBoxSub : std::uint16_t { kBoxRead = 1, kBoxQuery = 2, kBoxDelete = 3, kBoxWrite = 4 };

// A message of 2009-03-<day> <hour>:00:00.
inline SMSRecord Message(int day, int hour, const std::string& text, int status = 0,
                         const std::string& number = "5550100") {
    SMSRecord r;
    r.year = 2009;
    r.month = 3;
    r.day = day;
    r.hour = hour;
    r.minute = 0;
    r.second = 0;
    r.status = status;
    r.encoding = 2;
    r.text = text;
    r.number = number;
    return r;
}

inline dmpeer::SMSBox MessageBox(int slotCount, std::map<int, SMSRecord> slots = {}) {
    dmpeer::SMSBox box;
    box.slotCount = slotCount;
    box.slots = std::move(slots);
    return box;
}

// A box's listener and event sink: every call recorded as text ("added 0", "new 2"), with the
// thread that made it.
class BoxRecorder : public IRecordListener, public ISMSEventHandler {
public:
    explicit BoxRecorder(std::string name = "") : m_name(std::move(name)) {}
    void OnRecordAdded(void*, int p) override { Add("added", p); }
    void OnRecordRemoved(void*, int p) override { Add("removed", p); }
    void OnRecordChanged(void*, int p) override { Add("changed", p); }
    void OnListReordered(void*) override { Add("reordered", -1); }
    int OnNewSMS(int p) override {
        Add("new", p);
        return p;
    }
    void OnBoxFull() override { Add("full", -1); }
    int OnCPTSMS(int p) override {
        Add("cpt", p);
        return p;
    }
    std::vector<std::string> WaitFor(std::size_t n) { return m_calls.WaitFor(n); }
    std::vector<std::string> Calls() { return m_calls.WaitFor(0, 0); }
    DWORD LastThread() const { return m_thread.load(); }

private:
    void Add(const char* what, int p) {
        m_thread.store(GetCurrentThreadId());
        std::string call = m_name.empty() ? what : m_name + " " + what;
        if (p >= 0) call += " " + std::to_string(p);
        m_calls.Add(call);
    }
    std::string m_name;
    CallRecorder m_calls;
    std::atomic<DWORD> m_thread{0};
};

class SMSServiceTest : public DeviceStoreTest {
protected:
    // The device's boxes, then the service.
    void Start(const std::map<int, dmpeer::SMSBox>& boxes) {
        messages = std::make_unique<dmpeer::SMSStore>(*peer);
        for (const auto& [n, box] : boxes) messages->SetBox(n, box);
        StartService();
    }
    CDMSMS& Sms() { return *static_cast<CDMSMS*>(service->GetSMS()); }
    CDMSMS_RC& SmsRC() { return *static_cast<CDMSMS_RC*>(service->GetSMS_RC()); }
    // The box of a scheme: n counts from 1.
    IMessageBox& Box(bool rc, int n) {
        if (rc) {
            IMessageBox* boxes[] = {SmsRC().GetBox1(), SmsRC().GetBox2(), SmsRC().GetBox3(),
                                    SmsRC().GetBox4()};
            return *boxes[n - 1];
        }
        IMessageBox* boxes[] = {Sms().GetBox1(), Sms().GetBox2(), Sms().GetBox3()};
        return *boxes[n - 1];
    }
    int Load(IMessageBox& box) {
        int status = -1;
        box.Load(nullptr, &status);
        return status;
    }
    std::vector<std::string> Texts(IMessageBox& box) {
        std::vector<std::string> out;
        box.Lock();
        for (int i = 0; i < box.GetCount(); ++i) out.push_back(box.GetAt(i)->text);
        box.Unlock();
        return out;
    }
    std::vector<int> Slots(IMessageBox& box) {
        std::vector<int> out;
        box.Lock();
        for (int i = 0; i < box.GetCount(); ++i)
            out.push_back(static_cast<int>(box.GetAt(i)->deviceIndex));
        box.Unlock();
        return out;
    }
    std::size_t Count(dmpeer::CommandKey key) const { return peer->RequestCount(key); }
    // Puts a message into a device box's slot.
    void PutMessage(int box, int slot, const SMSRecord& message) {
        dmpeer::SMSBox b = messages->Box(box);
        b.slots[slot] = message;
        messages->SetBox(box, b);
    }
};

}  // namespace dmtest
