// Demo: the device command library against the simulated modem, as an application's console log:
// the modem's identity and versions, the signal, the R-UIM and its PIN, the cached phone book
// listed, added to and sorted, and short messages received and sent.
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

#include "demo/demo.h"
#include "dm/dm_service.h"
#include "dm/embed_phonebook.h"
#include "dm/sms_box.h"
#include "dm/sms_reports.h"
#include "dm/text_fields.h"
#include "dm_peer/device_handlers.h"
#include "dm_peer/device_stores.h"
#include "dm_peer/dm_peer.h"
#include "machine/modem.h"

namespace {

// The send-status word the device reports for a message the network took.
constexpr std::uint16_t kNetworkTookIt = 0x8000;

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

const char* Outcome(int status) {
    switch (status) {
        case kStatusSuccess:
            return "accepted";
        case kStatusFailure:
            return "refused";
        case kStatusNoAnswer:
            return "no answer";
        case kStatusNotSupported:
            return "not supported";
        default:
            return "failed";
    }
}

// The phone book's listener: every change it is told of, as the user's list would show it.
class BookListener : public IRecordListener {
public:
    explicit BookListener(IPhonebook& book) : m_book(book) {}
    void OnRecordAdded(void*, int position) override { Show("added", position); }
    void OnRecordRemoved(void*, int position) override {
        Say("    (book) entry %d removed\n", position);
    }
    void OnRecordChanged(void*, int position) override { Show("changed", position); }
    void OnListReordered(void*) override { Say("    (book) list reordered\n"); }

private:
    void Show(const char* what, int position) {
        const PhonebookEntry* e = m_book.GetAt(position);
        Say("    (book) %s at %d: %s\n", what, position, e ? e->name.c_str() : "?");
    }
    IPhonebook& m_book;
};

void ListBook(IPhonebook& book) {
    for (int i = 0; i < book.GetCount(); ++i) {
        const PhonebookEntry* e = book.GetAt(i);
        Say("  %d. %-8s %-14s (slot %u)\n", i + 1, e->name.c_str(), e->number.c_str(), e->slot);
    }
}

// The inbox's receiver of events: told on the library's delivery thread where a new message went.
class InboxSink : public ISMSEventHandler {
public:
    InboxSink() : m_arrived(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~InboxSink() { CloseHandle(m_arrived); }
    int OnNewSMS(int position) override {
        Say("    (inbox) new message at %d\n", position);
        SetEvent(m_arrived);
        return position;
    }
    void OnBoxFull() override { Say("    (inbox) full\n"); }
    int OnCPTSMS(int position) override { return position; }
    bool WaitForNew() { return WaitForSingleObject(m_arrived, 10000) == WAIT_OBJECT_0; }

private:
    HANDLE m_arrived;
};

SMSRecord Message(const char* number, const char* text, int hour, int minute) {
    SMSRecord r;
    r.year = 2026;
    r.month = 12;
    r.day = 9;
    r.hour = hour;
    r.minute = minute;
    r.status = 0;
    r.number = number;
    r.text = text;
    return r;
}

void ListInbox(IMessageBox& inbox) {
    inbox.Lock();
    for (int i = 0; i < inbox.GetCount(); ++i) {
        const SMSRecord* m = inbox.GetAt(i);
        Say("  %d. slot %u, from %s, %04d-%02d-%02d %02d:%02d%s: %s\n", i + 1, m->deviceIndex,
            m->number.c_str(), m->year, m->month, m->day, m->hour, m->minute,
            m->status == 1 ? ", unread" : "", m->text.c_str());
    }
    inbox.Unlock();
}

// The simulated modem: its state, its phone books and message boxes, and a PIN check that
// counts the tries left as a real card does.
struct Device {
    dmpeer::Peer peer{false};
    dmpeer::DeviceState state;
    dmpeer::PhonebookStore books{peer};
    dmpeer::SMSStore messages{peer};

    Device() {
        state.versionX = "M1.2.07";
        state.versionY = "B126";
        state.versionZ = "20261102";
        state.hwA = 0x5A3C;
        state.hwB = 0x9F01;
        state.r = {0, 3, 0};  // signal level 3: four bars; not roaming
        state.s = {0, 2, 0, 0, 0};
        state.imsi = {4, 6, 0, 0, 3, 1, 2, 3};
        dmpeer::InstallDeviceHandlers(peer, state);
        peer.SetHandler({dmpeer::kCategoryCode, kCategoryDevice, 6},
                        [this](DMPacket& request, DMPacket&) -> std::uint8_t {
                            if (ReadTextField(request, 8, false) == state.pin) {
                                state.pinCount = 3;
                                return 0;
                            }
                            if (state.pinCount > 0) --state.pinCount;
                            return 1;
                        });
        dmpeer::PhonebookStorage card;
        card.first = 1;
        card.last = 20;
        card.slots = {
            {2, {"Zoe", "+15550142"}}, {3, {"Anna", "+15550117"}}, {7, {"Mark", "5550163"}}};
        books.SetStorage(0, card);
        books.SetStorage(1, dmpeer::PhonebookStorage{});
        dmpeer::SMSBox inbox;
        inbox.slotCount = 10;
        inbox.slots[0] = Message("+15550142", "Lunch tomorrow?", 9, 15);
        messages.SetBox(0, inbox);
        for (int box : {1, 4}) messages.SetBox(box, dmpeer::SMSBox{});
    }
    // A message arrives: the device stores it in a slot of its inbox and reports the slot.
    void Receive(int slot, const SMSRecord& message) {
        dmpeer::SMSBox inbox = messages.Box(0);
        inbox.slots[slot] = message;
        messages.SetBox(0, inbox);
        dmpeer::InjectNewSMS(peer, static_cast<std::uint8_t>(slot));
    }
};

void ShowIdentity(IDMCommon& common) {
    int status = 0;
    Say("Firmware version: %s\n", common.GetVersion(&status));
    Say("Hardware version: %s\n", common.GetHWVersion(&status));
    std::uint32_t esn = 0;
    common.ReadESN(&esn, &status);
    Say("ESN: %08X\n", esn);
    std::uint8_t imsi[8] = {};
    common.ReadIMSI(imsi, &status);
    std::string digits;
    for (std::uint8_t d : imsi) digits += static_cast<char>('0' + d % 10);
    Say("IMSI: %s\n", digits.c_str());
    char schematics[33] = {};
    common.GetHardwareSchematicsVersion(schematics, &status);
    Say("Board: %04X, schematics %s; EV-DO revision %d\n", common.GetHardwareVersion(&status),
        schematics, common.QueryEVDOVersion(&status));
}

void ShowSignal(IDMCommon& common) {
    int status = 0;
    const int bars = common.QuerySignal(&status);
    Say("Signal: %d of 6 bars%s\n", bars, status == kStatusSuccess ? "" : " (no reading)");
    Say("Network type code: %d; roaming: %s\n", common.QueryCDMA(&status),
        common.QueryRoaming(&status) ? "yes" : "no");
}

bool ShowRuim(IRUIM& ruim) {
    int status = 0;
    const int state = ruim.QueryRUIMState(&status);
    Say("R-UIM: %s, state %d, type %d, inserted %u times\n",
        ruim.QueryRUIMFlag(&status) ? "present" : "absent", state, ruim.GetRuimType(&status),
        ruim.ReadUIMInsertedTimes(&status));
    Say("PIN check: %s; PIN tries left %d, PUK tries left %d\n",
        ruim.ReadPin(&status) ? "on" : "off", ruim.GetPinCount(&status), ruim.GetPUKCount(&status));
    for (const char* pin : {"0000", "1234"}) {
        ruim.InputPin(pin, &status);
        Say("Entering PIN %s: %s; tries left %d\n", pin, Outcome(status),
            ruim.GetPinCount(nullptr));
    }
    return status == kStatusSuccess;
}

bool ShowPhonebook(IPhonebook& book) {
    BookListener listener(book);
    book.AddListener(&listener);
    int status = 0;
    Say("Loading the phone book...\n");
    book.Load(nullptr, &status);
    bool ok = status == kStatusSuccess;
    Say("Phone book: %s, %d of %d slots used\n", ok ? "loaded" : Outcome(status), book.GetCount(),
        book.GetSlotCount());
    ListBook(book);
    const PhonebookEntry carol{"Carol", "+15550199", 0};
    bool present = false;
    const bool added = book.AddEntry(&carol, &present);
    Say("Adding Carol: %s\n", added ? "added" : present ? "already there" : "failed");
    ok = ok && added;
    book.SetSortKey(0);
    book.Sort();
    Say("Sorted by name:\n");
    ListBook(book);
    book.RemoveListener(&listener);
    return ok;
}

bool ShowMessages(ISMS& sms, Device& device) {
    IMessageBox& inbox = *sms.GetBox1();
    InboxSink sink;
    inbox.SetEventSink(&sink);
    int status = 0;
    inbox.Load(nullptr, &status);
    Say("Inbox: %s, %d of %d slots used\n", status == kStatusSuccess ? "loaded" : "not loaded",
        inbox.GetCount(), inbox.GetCapacity());
    ListInbox(inbox);
    Say("A message arrives in slot 3...\n");
    device.Receive(3, Message("+15550117", "Running late, see you at six", 18, 2));
    const bool arrived = sink.WaitForNew();
    inbox.SetEventSink(nullptr);
    Say("Inbox: %d messages, %d unread\n", inbox.GetCount(), inbox.GetUnreadCount());
    ListInbox(inbox);

    const SMSRecord reply = Message("+15550117", "No problem, see you then", 18, 5);
    device.messages.ReportOnSend(reply.number, kNetworkTookIt);
    Say("Sending \"%s\" to %s...\n", reply.text.c_str(), reply.number.c_str());
    const int result = sms.SendSMS(&reply, 0, &status);
    Say("Send: %s; the device's send-status report: %s (result %d)\n", Outcome(status),
        result == 0 ? "sent" : "not sent", result);
    return arrived && status == kStatusSuccess && result == 0;
}

// The modem goes and comes back: the link follows it.
bool ShowUnplugAndReplug(std::unique_ptr<CDMService>& service, sim::SimModem& modem,
                         const std::wstring& port, const DMEngineConfig& config) {
    Say("The modem is unplugged...\n");
    modem.Unplug();
    int status = 0;
    service->GetCommon()->QuerySignal(&status);
    const bool refused = status == kStatusFailure;
    Say("Link: %s; a signal query: %s\n",
        service->Engine().LinkState().linkReady.load() != 0 ? "up" : "down", Outcome(status));
    service.reset();
    modem.Replug();
    modem.EnterModemMode();
    Say("The modem is plugged in again; a new service opens %s.\n", sim::ToUtf8(port).c_str());
    service = std::make_unique<CDMService>(port, nullptr, config);
    const int bars = service->GetCommon()->QuerySignal(&status);
    Say("Signal: %d of 6 bars (%s)\n", bars, Outcome(status));
    return refused && status == kStatusSuccess;
}

}  // namespace

int RunDmDemo(sim::ClockMode clock) {
    ResetDemoMachine(L"Ulvane.exe", clock, 4.0);
    if (!InstallDrivers()) {
        Say("The driver files were not found at %s.\n", MODEM_ASSETS_DIR);
        return 1;
    }
    // The modem is up in modem mode; the command device sits behind its diagnostics port.
    sim::ModemOptions options;
    options.startInModemMode = true;
    auto modem = sim::SimModem::Plug(options);
    const std::wstring port = FindDMPortName();
    if (port.empty()) {
        Say("The modem's diagnostics port was not found.\n");
        return 1;
    }
    Device device;
    device.peer.AttachToPort(port);
    DMEngineConfig config;
    config.bigEndian = device.peer.BigEndian();
    // Declared after the device: the service stops before the device goes.
    auto service = std::make_unique<CDMService>(port, nullptr, config);
    Say("The command library is connected to the modem on %s, its diagnostics port.\n",
        sim::ToUtf8(port).c_str());

    ShowIdentity(*service->GetCommon());
    ShowSignal(*service->GetCommon());
    if (!ShowRuim(*service->GetRUIM())) return 1;
    if (!ShowPhonebook(*service->GetPhonebook()->GetPhonebook1())) return 1;
    if (!ShowMessages(*service->GetSMS(), device)) return 1;
    if (!ShowUnplugAndReplug(service, *modem, port, config)) return 1;
    Say("The command library's tour ended well.\n");
    return 0;
}
