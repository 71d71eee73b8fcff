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
#include "dm/text_fields.h"
#include "outside/dm_peer/device_handlers.h"
#include "outside/dm_peer/device_stores.h"
#include "outside/dm_peer/dm_peer.h"

namespace {

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

}  // namespace

int RunDmDemo(sim::ClockMode clock) {
    ResetDemoMachine(L"Ulvane.exe", clock, 4.0);
    Device device;
    DMEngineConfig config;
    config.bigEndian = device.peer.BigEndian();
    // Declared after the device: the service stops before the device goes.
    auto service = std::make_unique<CDMService>(device.peer.HostLink(), nullptr, config);
    Say("The command library is connected to the modem.\n");

    ShowIdentity(*service->GetCommon());
    ShowSignal(*service->GetCommon());
    if (!ShowRuim(*service->GetRUIM())) return 1;
    if (!ShowPhonebook(*service->GetPhonebook()->GetPhonebook1())) return 1;
    Say("The command library's tour ended well.\n");
    return 0;
}
