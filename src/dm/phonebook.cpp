#include "dm/phonebook.h"

#include <new>

#include "dm/embed_phonebook.h"
#include "dm/service_call.h"
#include "dm/text_fields.h"
#include "support/auto_lock.h"
#include "textfiles/encoding.h"

namespace {

constexpr std::uint32_t kNumberWidth = 32;
constexpr std::uint32_t kNameWidth = 16;
constexpr std::size_t kMaxLengthByte = 255;

// Reads a length byte and that many bytes.
std::vector<std::uint8_t> ReadCounted(DMPacket& reader) {
    std::uint8_t n = 0;
    reader.ReadU8(n);
    std::vector<std::uint8_t> bytes(n);
    if (n != 0) reader.ReadBytes(bytes.data(), n);
    return bytes;
}

void WriteCounted(DMPacket& packet, const std::vector<std::uint8_t>& bytes) {
    packet.WriteU8(static_cast<std::uint8_t>(bytes.size()));
    if (!bytes.empty()) packet.Append(bytes.data(), bytes.size());
}

// The fixed-width read pads names with three spaces and a question mark.
void CutAtPadding(std::string& name) {
    const std::size_t at = name.find("   ?");
    if (at != std::string::npos) name.resize(at);
}

}  // namespace

// ---- Commands ----

PhonebookInfo CDMCmdQueryPB::Info() const {
    return WithFieldsLocked([this] {
        return PhonebookInfo{m_last, m_first, m_maxNumber, m_maxName};
    });
}

CDMCmdWithStatus::ReplyCommit CDMCmdQueryPB::ParseReply(DMPacket& reader) {
    std::uint16_t first = 0, last = 0;
    std::uint8_t maxNumber = 0, maxName = 0;
    reader.ReadU16(first).ReadU16(last).ReadU8(maxNumber).ReadU8(maxName);
    return [=, this] {
        m_first = first;
        m_last = last;
        m_maxNumber = maxNumber;
        m_maxName = maxName;
    };
}

void CDMCmdModifyPB::WriteParams(DMPacket& packet) {
    packet.WriteU16(m_slot);
    WriteTextField(packet, m_number, kNumberWidth);
    packet.WriteU8(ClassifyAnsiText(m_name) == kAnsiDoubleByte ? 1 : 0);
    WriteTextField(packet, m_name, kNameWidth);
}

void CDMCmdModifyPBEx::WriteParams(DMPacket& packet) {
    const bool ucs2 = ClassifyAnsiText(m_name) != kAnsiPlain;
    packet.WriteU16(m_slot);
    WriteCounted(packet, EncodeFieldText(m_number, kMaxLengthByte, TextCoding::Bytes));
    packet.WriteU8(ucs2 ? 1 : 0);
    WriteCounted(packet, EncodeFieldText(m_name, kMaxLengthByte,
                                         ucs2 ? TextCoding::Ucs2 : TextCoding::Bytes));
}

CDMCmdWithStatus::ReplyCommit CDMCmdReadPB::ParseReply(DMPacket& reader) {
    std::uint16_t unused = 0;
    std::uint8_t coding = 0;
    reader.ReadU16(unused);
    std::string number = ReadTextField(reader, kNumberWidth, false);
    reader.ReadU8(coding);
    std::string name = ReadTextField(reader, kNameWidth, coding != 0);
    CutAtPadding(name);
    return Store(std::move(name), std::move(number));
}

CDMCmdWithStatus::ReplyCommit CDMCmdReadPBEx::ParseReply(DMPacket& reader) {
    std::uint16_t unused = 0;
    std::uint8_t coding = 0;
    reader.ReadU16(unused);
    const std::vector<std::uint8_t> numberBytes = ReadCounted(reader);
    reader.ReadU8(coding);
    const std::vector<std::uint8_t> nameBytes = ReadCounted(reader);
    std::string number(numberBytes.begin(), numberBytes.end());
    std::string name;
    BytesToAnsi(nameBytes.size(), name, nameBytes.data(), coding != 0);
    return Store(std::move(name), std::move(number));
}

// ---- CPhonebookAPI ----

CPhonebookAPI::CPhonebookAPI(DMDispatcher& dispatcher) : m_dispatcher(dispatcher) {
    InitializeCriticalSection(&m_selectionLock);
}

CPhonebookAPI::~CPhonebookAPI() {
    DeleteCriticalSection(&m_selectionLock);
}

void CPhonebookAPI::EnablePB(int flag, int* status) {
    DMCall call(new CDMCmdEnablePB(flag));
    SetDMStatus(status, call.Run(m_dispatcher, kWaitMs));
}

void CPhonebookAPI::SelPB(int storage, int* status) {
    DMServiceCall inside(m_dispatcher);
    CAutoLock guard(m_selectionLock);
    DMCall call(new CDMCmdSelPB(static_cast<std::uint8_t>(storage)));
    SetDMStatus(status, call.Run(m_dispatcher, kWaitMs));
}

void CPhonebookAPI::QueryPB(PhonebookInfo* info, int* status) {
    DMCall call(new CDMCmdQueryPB);
    const int result = call.Run(m_dispatcher, kWaitMs);
    if (result == kStatusSuccess && info != nullptr) *info = call.Command().Info();
    SetDMStatus(status, result);
}

namespace {

// The extended command, then the fixed one when the device does not take the extended.
template <class Extended, class Fixed, class Make, class OnSuccess>
int WithFallback(DMDispatcher& dispatcher, DWORD waitMs, Make make, OnSuccess onSuccess) {
    {
        DMCall<Extended> call(make.template operator()<Extended>());
        const int result = call.Run(dispatcher, waitMs);
        if (result == kStatusSuccess) onSuccess(call.Command());
        if (result != kStatusNotSupported) return result;
    }
    DMCall<Fixed> call(make.template operator()<Fixed>());
    const int result = call.Run(dispatcher, waitMs);
    if (result == kStatusSuccess) onSuccess(call.Command());
    return result;
}

}  // namespace

void CPhonebookAPI::ReadPB(int slot, PhonebookEntry* entry, int* status) {
    const auto s = static_cast<std::uint16_t>(slot);
    const int result = WithFallback<CDMCmdReadPBEx, CDMCmdReadPB>(
        m_dispatcher, kReadWaitMs, [s]<class C>() { return new C(s); },
        [entry](const auto& command) {
            if (entry == nullptr) return;
            const PhonebookEntry read = command.Entry();
            entry->name = read.name;
            entry->number = read.number;
        });
    SetDMStatus(status, result);
}

void CPhonebookAPI::ModifyPB(int slot, const PhonebookEntry* entry, int* status) {
    const PhonebookEntry empty;
    const PhonebookEntry& e = entry != nullptr ? *entry : empty;
    const auto s = static_cast<std::uint16_t>(slot);
    const int result = WithFallback<CDMCmdModifyPBEx, CDMCmdModifyPB>(
        m_dispatcher, kWaitMs, [s, &e]<class C>() { return new C(s, e); }, [](const auto&) {});
    SetDMStatus(status, result);
}

PhonebookEntry* CPhonebookAPI::NewEntry() {
    return m_entries.New();
}

void CPhonebookAPI::FreeEntry(PhonebookEntry* entry) {
    m_entries.Free(entry);
}

// ---- PhonebookSelection ----

PhonebookSelection::PhonebookSelection(CPhonebookAPI& api, int storage)
    : m_api(api), m_inside(api.m_dispatcher) {
    EnterCriticalSection(&m_api.m_selectionLock);
    // Every time: the device may have lost its selection (a replug, another program).
    m_api.SelPB(storage, &m_status);
}

PhonebookSelection::~PhonebookSelection() {
    LeaveCriticalSection(&m_api.m_selectionLock);
}

// ---- CDMPhonebook ----

CDMPhonebook::CDMPhonebook(DMDispatcher& dispatcher)
    : m_api(std::make_unique<CPhonebookAPI>(dispatcher)) {
    for (int i = 0; i < 3; ++i)
        m_books[i] = std::make_unique<CEmbedPhonebook>(*m_api, kPhonebookStorages[i]);
}

CDMPhonebook::~CDMPhonebook() {
    for (auto& book : m_books) book.reset();
    m_api.reset();
}

IPhonebook* CDMPhonebook::GetPhonebook1() {
    return m_books[0].get();
}
IPhonebook* CDMPhonebook::GetPhonebook2() {
    return m_books[1].get();
}
IPhonebook* CDMPhonebook::GetPhonebook3() {
    return m_books[2].get();
}
IPhonebookAPI* CDMPhonebook::GetPhonebookAPI() {
    return m_api.get();
}
