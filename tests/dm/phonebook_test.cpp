// The phone-book commands and the device API: requests on the wire, reply fields, and the
// fall-back from the extended commands to the fixed ones.
#include <string>

#include "tests/common/sim_fixture.h"
#include "tests/dm/phonebook_fixture.h"

namespace dmtest {
namespace {

const std::string kZhong = "\xD6\xD0";  // a double-byte character of code page 936 (U+4E2D)

class PhonebookAPITest : public DeviceStoreTest {};
INSTANTIATE_TEST_SUITE_P(ByteOrder, PhonebookAPITest, ::testing::Values(false, true), OrderName);
using WesternPhonebookAPITest = WithCodePage<PhonebookAPITest, 1252>;
INSTANTIATE_TEST_SUITE_P(ByteOrder, WesternPhonebookAPITest, ::testing::Values(false, true),
                         OrderName);

TEST_P(PhonebookAPITest, ReadFallsBackToTheFixedCommandOnlyWhenTheExtendedIsNotSupported) {
    struct Case {
        const char* name;
        bool extended;
        bool dropExtended;  // the extended read gets no answer
        int status;
        std::size_t fixedReads;
        std::string readName;
    };
    const Case cases[] = {
        {"extended answers", true, false, kStatusSuccess, 0, "Ann   ?x"},
        {"not supported: the fixed read, cut at the padding", false, false, kStatusSuccess, 1,
         "Ann"},
        {"no answer: no fall-back", true, true, kStatusNoAnswer, 0, "unchanged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshDevice();
        StartPhonebook(c.extended, Storage(1, 9, {{3, {"Ann   ?x", "555"}}}));
        int status = -1;
        api->SelPB(0, &status);
        ASSERT_EQ(status, kStatusSuccess);
        if (c.dropExtended) peer->PushScript(PBKey(kReadEx), dmpeer::Script{.drop = true});
        PhonebookEntry entry{"unchanged", "unchanged", 0};
        api->ReadPB(3, &entry, &status);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(peer->RequestCount(PBKey(kRead)), c.fixedReads);
        EXPECT_EQ(entry.name, c.readName);
    }
}

// Expected parameters: the slot in the packet's order, then the rest.
Bytes SlotThen(bool big, std::uint16_t slot, const Bytes& rest) {
    Bytes out = big ? Bytes{static_cast<std::uint8_t>(slot >> 8), static_cast<std::uint8_t>(slot)}
                    : Bytes{static_cast<std::uint8_t>(slot), static_cast<std::uint8_t>(slot >> 8)};
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

Bytes Field(const Bytes& coded, std::size_t width) {
    Bytes out{static_cast<std::uint8_t>(coded.size())};
    out.insert(out.end(), coded.begin(), coded.end());
    out.resize(1 + width, 0);
    return out;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_P(WesternPhonebookAPITest, ModifyCodesTheNameByCommand) {
    const bool big = GetParam();
    const Bytes ucs2E9 = {0x00, 0xE9};
    Bytes ucs2Cut;  // 127 units of U+00E9: 254 bytes, whole units
    for (int i = 0; i < 127; ++i) ucs2Cut.insert(ucs2Cut.end(), ucs2E9.begin(), ucs2E9.end());
    struct Case {
        const char* name;
        bool extended;
        std::string entryName;
        dmpeer::CommandKey sentWith;
        Bytes afterSlot;
        std::string stored;  // the name as the device keeps it
    };
    const Case cases[] = {
        {"plain name, extended: coding 0", true, "Bob", PBKey(kModifyEx),
         Cat(Bytes{2, '1', '2', 0, 3}, Bytes{'B', 'o', 'b'}), "Bob"},
        {"8-bit name, extended: coding 1 and UCS-2", true, "\xE9", PBKey(kModifyEx),
         Cat(Bytes{2, '1', '2', 1, 2}, ucs2E9), "\xE9"},
        {"8-bit name, fixed: coding 0 and its bytes", false, "\xE9", PBKey(kModify),
         Cat(Cat(Field({'1', '2'}, 32), Bytes{0}), Field({0xE9}, 16)), "\xE9"},
        {"200-byte 8-bit name, extended: cut to 254 bytes of UCS-2", true, std::string(200, '\xE9'),
         PBKey(kModifyEx), Cat(Bytes{2, '1', '2', 1, 254}, ucs2Cut), std::string(127, '\xE9')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshDevice();
        StartPhonebook(c.extended, Storage(1, 9));
        int status = -1;
        api->SelPB(0, &status);
        const PhonebookEntry entry{c.entryName, "12", 0};
        api->ModifyPB(4, &entry, &status);
        EXPECT_EQ(status, kStatusSuccess);
        const std::vector<Bytes> sent = Params(c.sentWith);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], SlotThen(big, 4, c.afterSlot));
        EXPECT_EQ(phonebooks->Storage(0).slots[4].name, c.stored);
    }
}

TEST_P(PhonebookAPITest, ModifyWithTheFixedCommandSendsADoubleByteNameAsUcs2) {
    StartPhonebook(false, Storage(1, 9));
    int status = -1;
    api->SelPB(0, &status);
    const PhonebookEntry entry{kZhong, "1", 0};
    api->ModifyPB(2, &entry, &status);
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(peer->RequestCount(PBKey(kModifyEx)), 1u);  // tried first, not supported
    const std::vector<Bytes> sent = Params(PBKey(kModify));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], SlotThen(GetParam(), 2,
                                Cat(Cat(Field({'1'}, 32), Bytes{1}), Field({0x4E, 0x2D}, 16))));
}

TEST_P(PhonebookAPITest, QueryFillsTheInfoLastSlotFirst) {
    dmpeer::PhonebookStorage s = Storage(1, 250);
    s.maxNumber = 20;
    s.maxName = 14;
    StartPhonebook(true, s);
    int status = -1;
    api->SelPB(0, &status);
    PhonebookInfo info;
    api->QueryPB(&info, &status);
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ((std::vector<std::uint32_t>{info.lastSlot, info.firstSlot, info.maxNumberLength,
                                          info.maxNameLength}),
              (std::vector<std::uint32_t>{250, 1, 20, 14}));
}

TEST_P(PhonebookAPITest, EnableSendsTheInvertedFlag) {
    StartPhonebook(true);
    for (int flag : {1, 0, 7}) {
        int status = -1;
        api->EnablePB(flag, &status);
        EXPECT_EQ(status, kStatusSuccess);
        EXPECT_EQ(phonebooks->EnableByte(), flag == 0 ? 1 : 0) << flag;
    }
}

TEST_P(PhonebookAPITest, FreeEntryFreesOnlyNewEntriesThatStillCarryTheMarker) {
    StartPhonebook(true);
    PhonebookEntry* fresh = api->NewEntry();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->slot, kNewEntryMarker);
    EXPECT_TRUE(fresh->name.empty() && fresh->number.empty());

    PhonebookEntry copy = *fresh;  // carries the marker, but NewEntry never returned it
    api->FreeEntry(&copy);
    copy.name = "still mine";
    api->FreeEntry(nullptr);

    PhonebookEntry* placed = api->NewEntry();
    placed->slot = 12;
    api->FreeEntry(placed);
    placed->name = "still allocated";  // the address checker would catch a freed entry
    EXPECT_EQ(placed->name, "still allocated");

    api->FreeEntry(fresh);  // freed: the leak checker sees the rest freed with the API
}

}  // namespace
}  // namespace dmtest
