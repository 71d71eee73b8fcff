// The simulated modem's phone-book storages and message boxes: handler sets a test installs on a
// Peer. Every table is guarded by the store's lock (handlers run on the host's sending thread).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "dm/sms_commands.h"
#include "dm_peer/dm_peer.h"

namespace dmpeer {

struct Contact {
    std::string name;  // narrow text, as the device would show it
    std::string number;
};

struct PhonebookStorage {
    std::uint16_t first = 1;
    std::uint16_t last = 10;
    std::uint8_t maxNumber = 20;
    std::uint8_t maxName = 14;
    std::map<std::uint16_t, Contact> slots;  // filled slots only
};

// Phone-book commands (category 0x6D). Without the extended commands their requests are
// answered not-supported.
class PhonebookStore {
public:
    PhonebookStore(Peer& peer, bool extended = true);
    ~PhonebookStore();
    PhonebookStore(const PhonebookStore&) = delete;
    PhonebookStore& operator=(const PhonebookStore&) = delete;

    void SetStorage(int storage, PhonebookStorage layout);
    PhonebookStorage Storage(int storage) const;
    // -1 before the first select.
    int Selected() const;
    // The flag byte of the last enable request (-1: none).
    int EnableByte() const;

private:
    std::uint8_t Read(DMPacket& request, DMPacket& body, bool extended);
    std::uint8_t Modify(DMPacket& request, bool extended);
    PhonebookStorage* Current();

    mutable CRITICAL_SECTION m_lock;
    std::map<int, PhonebookStorage> m_storages;
    int m_selected = -1;
    int m_enableByte = -1;
};

struct SMSBox {
    int slotCount = 10;
    int secondValue = 0;
    std::uint8_t trailing = 0;  // after each read of the box-naming scheme
    // Filled slots; a record's encoding is the device's coding byte (4: UCS-2 text). Date fields
    // and the status are sent as they are, cut to bytes.
    std::map<int, SMSRecord> slots;
};

// Message commands of both schemes (categories 0x6B and 0x71), on one set of boxes.
class SMSStore {
public:
    explicit SMSStore(Peer& peer);
    ~SMSStore();
    SMSStore(const SMSStore&) = delete;
    SMSStore& operator=(const SMSStore&) = delete;

    void SetBox(int box, SMSBox contents);
    SMSBox Box(int box) const;
    // -1 before the first select.
    int Selected() const;
    // The flag byte of the last group tag (-1: none).
    int GroupFlag() const;
    // A send to this number is answered with a send-status report carrying the word, sent before
    // the send's reply (the device reports at once). Other sends get no report.
    void ReportOnSend(const std::string& number, std::uint16_t word);

private:
    SMSBox* Find(int box);
    std::uint8_t Query(int box, DMPacket& body);
    std::uint8_t Read(int box, DMPacket& request, DMPacket& body, bool trailing);
    std::uint8_t Delete(int box, DMPacket& request);
    std::uint8_t Write(int box, DMPacket& request, DMPacket& body);

    mutable CRITICAL_SECTION m_lock;
    std::map<int, SMSBox> m_boxes;
    int m_selected = -1;
    int m_groupFlag = -1;
    std::map<std::string, std::uint16_t> m_sendReports;
};

// The message reports a test sends to the host.
// Report 5: a send's status word (16 bits, in the peer's byte order).
void InjectSendStatus(Peer& peer, std::uint16_t word, DWORD delayMs = 0);
// Report 4 (box-selecting scheme): a new message in a slot.
void InjectNewSMS(Peer& peer, std::uint8_t slot, DWORD delayMs = 0);
// Report 20 (box-naming scheme): a new message, with the report's two box bytes.
void InjectNewSMS_RC(Peer& peer, std::uint8_t a, std::uint8_t b, std::uint8_t slot,
                     DWORD delayMs = 0);

}  // namespace dmpeer
