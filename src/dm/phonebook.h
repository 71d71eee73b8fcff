// The device's phone books: the seven phone-book commands, the synchronous phone-book API that
// sends them, and the phone-book sub-service that owns the API and the three cached books.
//
// The device keeps each book in numbered slots and acts on the storage selected last. The API
// remembers which storage it selected; a caller that needs a given storage for a series of
// commands holds a PhonebookSelection, under which no other book's selection can come between.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "dm/command.h"
#include "dm/command_params.h"
#include "dm/service_call.h"
#include "dm/engine.h"
#include "dm/record_registry.h"
#include <windows.h>

class CEmbedPhonebook;
class IPhonebook;

// The marker an entry made by NewEntry carries in its slot index until a caller sets one.
inline constexpr std::uint32_t kNewEntryMarker = 3020288;

struct PhonebookEntry {
    std::string name;
    std::string number;
    std::uint32_t slot = 0;  // the device slot it lives in
};

// Filled by QueryPB, in this order.
struct PhonebookInfo {
    std::uint32_t lastSlot = 0;
    std::uint32_t firstSlot = 0;
    std::uint32_t maxNumberLength = 0;
    std::uint32_t maxNameLength = 0;
};

// ---- Commands (category 0x6D) ----

struct DMCmdParam_EnablePB : DMCmdParamOf<kCategoryPhonebook, 1> {};
struct DMCmdParam_SelPB : DMCmdParamOf<kCategoryPhonebook, 2> {};
struct DMCmdParam_QueryPB : DMCmdParamOf<kCategoryPhonebook, 4> {};
struct DMCmdParam_ReadPB : DMCmdParamOf<kCategoryPhonebook, 5> {};
struct DMCmdParam_ModifyPB : DMCmdParamOf<kCategoryPhonebook, 6> {};
struct DMCmdParam_ReadPBEx : DMCmdParamOf<kCategoryPhonebook, 7> {};
struct DMCmdParam_ModifyPBEx : DMCmdParamOf<kCategoryPhonebook, 8> {};

// Switches the device's phone books on or off: the flag byte is 1 when the argument is 0, else 0.
class CDMCmdEnablePB : public CDMParamCmd<DMCmdParam_EnablePB> {
public:
    explicit CDMCmdEnablePB(int flag) : CDMParamCmd(flag == 0 ? 1 : 0) {}
};

// Selects the storage the following commands act on.
class CDMCmdSelPB : public CDMParamCmd<DMCmdParam_SelPB> {
public:
    using CDMParamCmd::CDMParamCmd;
};

class CDMCmdQueryPB : public CSimpleDMCmd<DMCmdParam_QueryPB> {
public:
    // The reply's values as PhonebookInfo (all 0 before a reply).
    PhonebookInfo Info() const;

protected:
    ReplyCommit ParseReply(DMPacket& reader) override;

private:
    std::uint16_t m_first = 0;
    std::uint16_t m_last = 0;
    std::uint8_t m_maxNumber = 0;
    std::uint8_t m_maxName = 0;
};

// Writes a name and a number to a slot; the name and number are the caller's.
template <class P>
class CDMCmdModifyPBOf : public CSimpleDMCmd<P> {
public:
    CDMCmdModifyPBOf(std::uint16_t slot, const PhonebookEntry& entry)
        : m_name(entry.name), m_number(entry.number), m_slot(slot) {}

protected:
    std::string m_name;
    std::string m_number;
    std::uint16_t m_slot;
};

// The fixed-width write: the number in a field of 32 bytes, the name in one of 16 (UCS-2 when it
// holds a double-byte character, with coding byte 1).
class CDMCmdModifyPB : public CDMCmdModifyPBOf<DMCmdParam_ModifyPB> {
public:
    using CDMCmdModifyPBOf::CDMCmdModifyPBOf;

protected:
    void WriteParams(DMPacket& packet) override;
};

// The write with length bytes: the number as it is, the name as UCS-2 (coding byte 1) unless it
// is plain 7-bit text; each cut to 255 bytes (whole UCS-2 units, whole characters).
class CDMCmdModifyPBEx : public CDMCmdModifyPBOf<DMCmdParam_ModifyPBEx> {
public:
    using CDMCmdModifyPBOf::CDMCmdModifyPBOf;

protected:
    void WriteParams(DMPacket& packet) override;
};

// Reads a slot's name and number.
template <class P>
class CDMCmdReadPBOf : public CSimpleDMCmd<P> {
public:
    explicit CDMCmdReadPBOf(std::uint16_t slot) : m_slot(slot) {}
    // The name and number read (empty before a reply).
    PhonebookEntry Entry() const {
        return this->WithFieldsLocked([this] { return PhonebookEntry{m_name, m_number, m_slot}; });
    }

protected:
    void WriteParams(DMPacket& packet) override { packet.WriteU16(m_slot); }
    CDMCmdWithStatus::ReplyCommit Store(std::string name, std::string number) {
        return [this, name = std::move(name), number = std::move(number)] {
            m_name = name;
            m_number = number;
        };
    }

private:
    std::string m_name;
    std::string m_number;
    std::uint16_t m_slot;
};

// The fixed-width read; a name holding three spaces and a question mark ends before them.
class CDMCmdReadPB : public CDMCmdReadPBOf<DMCmdParam_ReadPB> {
public:
    using CDMCmdReadPBOf::CDMCmdReadPBOf;

protected:
    ReplyCommit ParseReply(DMPacket& reader) override;
};

// The read with length bytes.
class CDMCmdReadPBEx : public CDMCmdReadPBOf<DMCmdParam_ReadPBEx> {
public:
    using CDMCmdReadPBOf::CDMCmdReadPBOf;

protected:
    ReplyCommit ParseReply(DMPacket& reader) override;
};

// ---- The device API ----

// Every operation that sends a command stores its service status through `status` (null: not
// stored).
class IPhonebookAPI {
public:
    virtual void EnablePB(int flag, int* status) = 0;
    virtual void SelPB(int storage, int* status) = 0;
    virtual void QueryPB(PhonebookInfo* info, int* status) = 0;
    // The extended read, and the fixed one when the device does not take the extended (status 4).
    virtual void ReadPB(int slot, PhonebookEntry* entry, int* status) = 0;
    // The extended write, and the fixed one when the device does not take the extended.
    virtual void ModifyPB(int slot, const PhonebookEntry* entry, int* status) = 0;
    // An entry with empty name and number and the marker slot index; null when out of memory.
    virtual PhonebookEntry* NewEntry() = 0;
    // Frees an entry that NewEntry returned and whose slot index still holds the marker; any
    // other pointer is left alone.
    virtual void FreeEntry(PhonebookEntry* entry) = 0;

protected:
    ~IPhonebookAPI() = default;
};

class CPhonebookAPI final : public IPhonebookAPI {
public:
    static constexpr DWORD kWaitMs = 5000;
    static constexpr DWORD kReadWaitMs = 6000;

    explicit CPhonebookAPI(DMDispatcher& dispatcher);
    // Frees the entries of NewEntry that were never freed.
    ~CPhonebookAPI();
    CPhonebookAPI(const CPhonebookAPI&) = delete;
    CPhonebookAPI& operator=(const CPhonebookAPI&) = delete;

    void EnablePB(int flag, int* status) override;
    void SelPB(int storage, int* status) override;
    void QueryPB(PhonebookInfo* info, int* status) override;
    void ReadPB(int slot, PhonebookEntry* entry, int* status) override;
    void ModifyPB(int slot, const PhonebookEntry* entry, int* status) override;
    PhonebookEntry* NewEntry() override;
    void FreeEntry(PhonebookEntry* entry) override;

    DMDispatcher& Dispatcher() { return m_dispatcher; }

private:
    friend class PhonebookSelection;
    DMDispatcher& m_dispatcher;
    CRITICAL_SECTION m_selectionLock;  // re-entrant: held by a PhonebookSelection
    CRecordRegistry<PhonebookEntry, &PhonebookEntry::slot, kNewEntryMarker> m_entries;
};

// Holds the API's selection lock for a scope and selects the storage (every time).
class PhonebookSelection {
public:
    PhonebookSelection(CPhonebookAPI& api, int storage);
    ~PhonebookSelection();
    PhonebookSelection(const PhonebookSelection&) = delete;
    PhonebookSelection& operator=(const PhonebookSelection&) = delete;
    // The status of the select.
    int Status() const { return m_status; }

private:
    CPhonebookAPI& m_api;
    DMServiceCall m_inside;  // left after the lock
    int m_status = kStatusSuccess;
};

// ---- The sub-service ----

class IPhonebookService {
public:
    virtual IPhonebook* GetPhonebook1() = 0;
    virtual IPhonebook* GetPhonebook2() = 0;
    virtual IPhonebook* GetPhonebook3() = 0;
    virtual IPhonebookAPI* GetPhonebookAPI() = 0;

protected:
    ~IPhonebookService() = default;
};

// The storages the three books select, in the device's numbering.
inline constexpr int kPhonebookStorages[3] = {0, 1, 2};

class CDMPhonebook final : public IPhonebookService {
public:
    explicit CDMPhonebook(DMDispatcher& dispatcher);
    // Destroys the three books, then the API.
    ~CDMPhonebook();
    CDMPhonebook(const CDMPhonebook&) = delete;
    CDMPhonebook& operator=(const CDMPhonebook&) = delete;

    IPhonebook* GetPhonebook1() override;
    IPhonebook* GetPhonebook2() override;
    IPhonebook* GetPhonebook3() override;
    IPhonebookAPI* GetPhonebookAPI() override;

private:
    std::unique_ptr<CPhonebookAPI> m_api;
    std::unique_ptr<CEmbedPhonebook> m_books[3];
};
