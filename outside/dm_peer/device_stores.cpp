#include "dm_peer/device_stores.h"

#include <vector>

#include "dm/text_fields.h"
#include "support/auto_lock.h"
#include "textfiles/encoding.h"

namespace dmpeer {

namespace {

constexpr std::uint8_t kOk = 0;
constexpr std::uint8_t kRefused = 1;

CommandKey Key(std::uint8_t category, std::uint16_t sub) {
    return {kCategoryCode, category, sub};
}

Bytes ReadCounted(DMPacket& request) {
    std::uint8_t n = 0;
    request.ReadU8(n);
    Bytes bytes(n);
    if (n != 0) request.ReadBytes(bytes.data(), n);
    return bytes;
}

void WriteCounted(DMPacket& body, const std::vector<std::uint8_t>& bytes) {
    body.WriteU8(static_cast<std::uint8_t>(bytes.size()));
    if (!bytes.empty()) body.Append(bytes.data(), bytes.size());
}

std::string Decode(const Bytes& bytes, bool ucs2) {
    std::string text;
    BytesToAnsi(bytes.size(), text, bytes.data(), ucs2);
    return text;
}

// A length byte and width bytes, taken as they are.
Bytes ReadRawField(DMPacket& request, std::uint32_t width) {
    std::uint8_t n = 0;
    request.ReadU8(n);
    Bytes bytes(width);
    request.ReadBytes(bytes.data(), width);
    bytes.resize(std::min<std::uint32_t>(n, width));
    return bytes;
}

}  // namespace

// ---- Phone book ----

PhonebookStore::PhonebookStore(Peer& peer, bool extended) {
    InitializeCriticalSection(&m_lock);
    const std::uint8_t pb = 0x6D;
    peer.SetHandler(Key(pb, 1), [this](DMPacket& request, DMPacket&) {
        std::uint8_t flag = 0;
        request.ReadU8(flag);
        CAutoLock guard(m_lock);
        m_enableByte = flag;
        return kOk;
    });
    peer.SetHandler(Key(pb, 2), [this](DMPacket& request, DMPacket&) {
        std::uint8_t storage = 0;
        request.ReadU8(storage);
        CAutoLock guard(m_lock);
        if (m_storages.count(storage) == 0) return kRefused;
        m_selected = storage;
        return kOk;
    });
    peer.SetHandler(Key(pb, 4), [this](DMPacket&, DMPacket& body) {
        CAutoLock guard(m_lock);
        const PhonebookStorage* s = Current();
        if (s == nullptr) return kRefused;
        body.WriteU16(s->first).WriteU16(s->last).WriteU8(s->maxNumber).WriteU8(s->maxName);
        return kOk;
    });
    peer.SetHandler(Key(pb, 5), [this](DMPacket& r, DMPacket& b) { return Read(r, b, false); });
    peer.SetHandler(Key(pb, 6), [this](DMPacket& r, DMPacket&) { return Modify(r, false); });
    if (extended) {
        peer.SetHandler(Key(pb, 7), [this](DMPacket& r, DMPacket& b) { return Read(r, b, true); });
        peer.SetHandler(Key(pb, 8), [this](DMPacket& r, DMPacket&) { return Modify(r, true); });
    }
}

PhonebookStore::~PhonebookStore() {
    DeleteCriticalSection(&m_lock);
}

void PhonebookStore::SetStorage(int storage, PhonebookStorage layout) {
    CAutoLock guard(m_lock);
    m_storages[storage] = std::move(layout);
}

PhonebookStorage PhonebookStore::Storage(int storage) const {
    CAutoLock guard(m_lock);
    auto it = m_storages.find(storage);
    return it == m_storages.end() ? PhonebookStorage{} : it->second;
}

int PhonebookStore::Selected() const {
    CAutoLock guard(m_lock);
    return m_selected;
}

int PhonebookStore::EnableByte() const {
    CAutoLock guard(m_lock);
    return m_enableByte;
}

PhonebookStorage* PhonebookStore::Current() {
    auto it = m_storages.find(m_selected);
    return it == m_storages.end() ? nullptr : &it->second;
}

std::uint8_t PhonebookStore::Read(DMPacket& request, DMPacket& body, bool extended) {
    std::uint16_t slot = 0;
    request.ReadU16(slot);
    CAutoLock guard(m_lock);
    const PhonebookStorage* s = Current();
    if (s == nullptr || slot < s->first || slot > s->last) return kRefused;
    const auto it = s->slots.find(slot);
    const Contact contact = it == s->slots.end() ? Contact{} : it->second;
    body.WriteU16(slot);
    if (extended) {
        const bool ucs2 = ClassifyAnsiText(contact.name) != kAnsiPlain;
        WriteCounted(body, EncodeFieldText(contact.number, 255, TextCoding::Bytes));
        body.WriteU8(ucs2 ? 1 : 0);
        WriteCounted(
            body, EncodeFieldText(contact.name, 255, ucs2 ? TextCoding::Ucs2 : TextCoding::Bytes));
    } else {
        WriteTextField(body, contact.number, 32, TextCoding::Bytes);
        body.WriteU8(ClassifyAnsiText(contact.name) == kAnsiDoubleByte ? 1 : 0);
        WriteTextField(body, contact.name, 16);
    }
    return kOk;
}

std::uint8_t PhonebookStore::Modify(DMPacket& request, bool extended) {
    std::uint16_t slot = 0;
    std::uint8_t coding = 0;
    Contact contact;
    request.ReadU16(slot);
    if (extended) {
        contact.number = Decode(ReadCounted(request), false);
        request.ReadU8(coding);
        contact.name = Decode(ReadCounted(request), coding != 0);
    } else {
        contact.number = Decode(ReadRawField(request, 32), false);
        request.ReadU8(coding);
        contact.name = Decode(ReadRawField(request, 16), coding != 0);
    }
    CAutoLock guard(m_lock);
    PhonebookStorage* s = Current();
    if (s == nullptr || slot < s->first || slot > s->last) return kRefused;
    if (contact.name.empty() && contact.number.empty())
        s->slots.erase(slot);
    else
        s->slots[slot] = contact;
    return kOk;
}

// ---- Messages ----

SMSStore::SMSStore(Peer& peer) {
    Peer* host = &peer;
    InitializeCriticalSection(&m_lock);
    const std::uint8_t sms = 0x6B, boxes = 0x71;
    peer.SetHandler(Key(sms, 2), [this](DMPacket& request, DMPacket&) {
        std::uint8_t box = 0;
        request.ReadU8(box);
        CAutoLock guard(m_lock);
        if (Find(box) == nullptr) return kRefused;
        m_selected = box;
        return kOk;
    });
    peer.SetHandler(Key(sms, 3), [this](DMPacket&, DMPacket& body) {
        CAutoLock guard(m_lock);
        return Query(m_selected, body);
    });
    peer.SetHandler(Key(sms, 4), [this](DMPacket& request, DMPacket& body) {
        CAutoLock guard(m_lock);
        return Read(m_selected, request, body, false);
    });
    peer.SetHandler(Key(sms, 5), [this](DMPacket& request, DMPacket&) {
        CAutoLock guard(m_lock);
        return Delete(m_selected, request);
    });
    // A send is taken as it comes; its report is the test's to inject, or set by ReportOnSend.
    peer.SetHandler(Key(sms, 6), [this, host](DMPacket& request, DMPacket&) {
        const std::string number = ReadTextField(request, 32, false);
        std::optional<std::uint16_t> word;
        {
            CAutoLock guard(m_lock);
            if (auto it = m_sendReports.find(number); it != m_sendReports.end()) word = it->second;
        }
        if (word) InjectSendStatus(*host, *word);
        return kOk;
    });
    peer.SetHandler(Key(sms, 7), [this](DMPacket& request, DMPacket& body) {
        CAutoLock guard(m_lock);
        return Write(m_selected, request, body);
    });
    peer.SetHandler(Key(sms, 8), [this](DMPacket& request, DMPacket&) {
        std::uint8_t flag = 0;
        request.ReadU8(flag);
        CAutoLock guard(m_lock);
        m_groupFlag = flag;
        return kOk;
    });
    auto withBox = [this](auto op) {
        return [this, op](DMPacket& request, DMPacket& body) {
            std::uint8_t box = 0;
            request.ReadU8(box);
            CAutoLock guard(m_lock);
            return op(box, request, body);
        };
    };
    peer.SetHandler(Key(boxes, 1), withBox([this](int box, DMPacket& r, DMPacket& b) {
                        return Read(box, r, b, true);
                    }));
    peer.SetHandler(Key(boxes, 2),
                    withBox([this](int box, DMPacket&, DMPacket& b) { return Query(box, b); }));
    peer.SetHandler(Key(boxes, 3),
                    withBox([this](int box, DMPacket& r, DMPacket&) { return Delete(box, r); }));
    peer.SetHandler(Key(boxes, 4), withBox([this](int box, DMPacket& r, DMPacket& b) {
                        return Write(box, r, b);
                    }));
}

SMSStore::~SMSStore() {
    DeleteCriticalSection(&m_lock);
}

void SMSStore::SetBox(int box, SMSBox contents) {
    CAutoLock guard(m_lock);
    m_boxes[box] = std::move(contents);
}

SMSBox SMSStore::Box(int box) const {
    CAutoLock guard(m_lock);
    auto it = m_boxes.find(box);
    return it == m_boxes.end() ? SMSBox{} : it->second;
}

int SMSStore::Selected() const {
    CAutoLock guard(m_lock);
    return m_selected;
}

int SMSStore::GroupFlag() const {
    CAutoLock guard(m_lock);
    return m_groupFlag;
}

void SMSStore::ReportOnSend(const std::string& number, std::uint16_t word) {
    CAutoLock guard(m_lock);
    m_sendReports[number] = word;
}

void InjectSendStatus(Peer& peer, std::uint16_t word, DWORD delayMs) {
    DMPacket p(peer.BigEndian());
    p.WriteU16(word);
    peer.InjectReport(5, Bytes(p.Data(), p.Data() + p.Size()), delayMs);
}

void InjectNewSMS(Peer& peer, std::uint8_t slot, DWORD delayMs) {
    peer.InjectReport(4, Bytes{slot}, delayMs);
}

void InjectNewSMS_RC(Peer& peer, std::uint8_t a, std::uint8_t b, std::uint8_t slot, DWORD delayMs) {
    peer.InjectReport(20, Bytes{a, b, slot}, delayMs);
}

SMSBox* SMSStore::Find(int box) {
    auto it = m_boxes.find(box);
    return it == m_boxes.end() ? nullptr : &it->second;
}

std::uint8_t SMSStore::Query(int box, DMPacket& body) {
    const SMSBox* b = Find(box);
    if (b == nullptr) return kRefused;
    body.WriteU8(0)
        .WriteU8(static_cast<std::uint8_t>(b->secondValue))
        .WriteU8(static_cast<std::uint8_t>(b->slotCount));
    return kOk;
}

std::uint8_t SMSStore::Read(int box, DMPacket& request, DMPacket& body, bool trailing) {
    std::uint8_t slot = 0, mark = 0;
    request.ReadU8(slot).ReadU8(mark);
    const SMSBox* b = Find(box);
    if (b == nullptr) return kRefused;
    const auto it = b->slots.find(slot);
    if (it == b->slots.end()) return kRefused;
    const SMSRecord& m = it->second;
    body.WriteU8(static_cast<std::uint8_t>(m.status));
    WriteTextField(body, m.number, 32, TextCoding::Bytes);
    body.WriteU8(0)
        .WriteU8(static_cast<std::uint8_t>(m.encoding))
        .WriteU8(static_cast<std::uint8_t>(m.attribute))
        .WriteU16(static_cast<std::uint16_t>(m.year));
    for (int v : {m.month, m.day, m.hour, m.minute, m.second})
        body.WriteU8(static_cast<std::uint8_t>(v));
    WriteTextField(body, m.text, 160, m.encoding == 4 ? TextCoding::Ucs2 : TextCoding::Bytes);
    if (trailing) body.WriteU8(b->trailing);
    return kOk;
}

std::uint8_t SMSStore::Delete(int box, DMPacket& request) {
    std::uint8_t slot = 0;
    request.ReadU8(slot);
    SMSBox* b = Find(box);
    if (b == nullptr || b->slots.erase(slot) == 0) return kRefused;
    return kOk;
}

std::uint8_t SMSStore::Write(int box, DMPacket& request, DMPacket& body) {
    // The write body has the read body's layout; the byte the reads do not use is the first of
    // the coding pair, the encoding its second.
    SMSRecord m = ReadSMSBody(request);
    SMSBox* b = Find(box);
    if (b == nullptr) return kRefused;
    for (int slot = 0; slot < b->slotCount; ++slot) {
        if (b->slots.count(slot) != 0) continue;
        m.deviceIndex = static_cast<std::uint32_t>(slot);
        b->slots[slot] = m;
        body.WriteU8(static_cast<std::uint8_t>(slot));
        return kOk;
    }
    return kRefused;  // the box is full
}

}  // namespace dmpeer
