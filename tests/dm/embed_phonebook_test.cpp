// The cached phone book over the simulated modem: loading, adding, changing, deleting, sorting
// and its listeners.
#include <string>
#include <vector>

#include "tests/dm/phonebook_fixture.h"

namespace dmtest {
namespace {

// Records every notification as text.
class Recorder : public IRecordListener {
public:
    void OnRecordAdded(void*, int position) override { Log("added " + std::to_string(position)); }
    void OnRecordRemoved(void*, int position) override {
        Log("removed " + std::to_string(position));
    }
    void OnRecordChanged(void*, int position) override {
        Log("changed " + std::to_string(position));
    }
    void OnListReordered(void*) override { Log("reordered"); }
    virtual void Log(const std::string& line) { calls.push_back(line); }
    std::vector<std::string> calls;
};

class Progress : public ILoadProgress {
public:
    void OnRecordLoaded(const void* record, int total, int slot) override {
        const auto* entry = static_cast<const PhonebookEntry*>(record);
        calls.push_back(entry->name + "/" + std::to_string(total) + "/" + std::to_string(slot));
    }
    std::vector<std::string> calls;
};

class EmbedPhonebookTest : public DeviceStoreTest {
protected:
    // Loads book 1 over storage 0; returns the load status.
    int Load(dmpeer::PhonebookStorage storage, ILoadProgress* progress = nullptr) {
        StartPhonebook(true, std::move(storage));
        int status = -1;
        Book().Load(progress, &status);
        return status;
    }
    std::vector<std::string> Names() {
        std::vector<std::string> out;
        for (int i = 0; i < Book().GetCount(); ++i) out.push_back(Book().GetAt(i)->name);
        return out;
    }
    std::size_t Writes() const { return peer->RequestCount(PBKey(kModifyEx)); }
};
INSTANTIATE_TEST_SUITE_P(ByteOrder, EmbedPhonebookTest, ::testing::Values(false, true), OrderName);

TEST_P(EmbedPhonebookTest, LoadNeedsALastSlotAboveTheFirst) {
    struct Case {
        std::uint16_t first, last;
        int status;
        int slots;
    };
    for (const Case& c : {Case{1, 1, kStatusFailure, 0}, Case{1, 200, kStatusSuccess, 200},
                          Case{5, 2, kStatusFailure, 0}}) {
        SCOPED_TRACE(std::to_string(c.first) + ".." + std::to_string(c.last));
        FreshDevice();
        EXPECT_EQ(Load(Storage(c.first, c.last)), c.status);
        EXPECT_EQ(Book().GetSlotCount(), c.slots);
        EXPECT_EQ(Book().IsLoaded(), c.status == kStatusSuccess);
    }
}

TEST_P(EmbedPhonebookTest, LoadListsFilledSlotsAndReportsEverySlot) {
    Recorder listener;
    Progress progress;
    StartPhonebook(true, Storage(3, 6, {{4, {"Ann", "1"}}, {6, {"", "2"}}}));
    Book().AddListener(&listener);
    int status = -1;
    Book().Load(&progress, &status);
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"/4/0", "Ann/4/1", "/4/2", "/4/3"}));
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"added 0", "added 1"}));
    ASSERT_EQ(Book().GetCount(), 2);
    EXPECT_EQ(Book().GetAt(0)->slot, 4u);
    EXPECT_EQ(Book().GetAt(1)->slot, 6u);
    EXPECT_EQ(phonebooks->EnableByte(), 0);  // switched on
    const std::size_t requests = peer->Requests().size();
    Book().Load(nullptr, &status);  // loaded already: nothing is sent
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(peer->Requests().size(), requests);
    Book().RemoveListener(&listener);
}

TEST_P(EmbedPhonebookTest, ASlotWithoutAnswerDuringLoadIsNeverTakenByAnAdd) {
    // Slots 1 to 4 answer, slot 5 does not; its contact must survive the next add.
    for (int i = 0; i < 4; ++i) peer->PushScript(PBKey(kReadEx), dmpeer::Script{});
    peer->PushScript(PBKey(kReadEx), dmpeer::Script{.drop = true});
    ASSERT_EQ(Load(Storage(1, 8, {{1, {"A", "1"}}, {5, {"E", "5"}}})), kStatusSuccess);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
    const PhonebookEntry added{"New", "9", 0};
    bool present = true;
    EXPECT_TRUE(Book().AddEntry(&added, &present));
    EXPECT_FALSE(present);
    const dmpeer::PhonebookStorage device = phonebooks->Storage(0);
    EXPECT_EQ(device.slots.at(5).name, "E");
    EXPECT_EQ(device.slots.at(2).name, "New");
    EXPECT_EQ(Book().GetAt(1)->slot, 2u);
}

TEST_P(EmbedPhonebookTest, AddEntryRefusesOrSkipsWithoutWriting) {
    struct Case {
        const char* name;
        PhonebookEntry entry;
        bool full;
        bool result;
        bool present;
    };
    const Case cases[] = {
        {"already present", {"Ann" + std::string(11, 'x'), "1", 0}, false, true, true},
        {"empty name and number", {"", "", 0}, false, false, false},
        {"the book is full", {"Bob", "2", 0}, true, false, false},
        {"over-long copy of a listed entry",
         {"Ann" + std::string(30, 'x'), "1", 0},
         false,
         true,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshDevice();
        dmpeer::PhonebookStorage s = Storage(1, 2, {{1, {"Ann" + std::string(11, 'x'), "1"}}});
        if (c.full) s.slots[2] = {"Cid", "3"};
        ASSERT_EQ(Load(s), kStatusSuccess);
        const std::size_t requests = peer->Requests().size();
        bool present = !c.present;
        EXPECT_EQ(Book().AddEntry(&c.entry, &present), c.result);
        EXPECT_EQ(present, c.present);
        EXPECT_EQ(peer->Requests().size(), requests);
    }
}

TEST_P(EmbedPhonebookTest, WritesAreCutToTheBooksMaximumLengths) {
    ASSERT_EQ(Load(Storage(1, 5)), kStatusSuccess);
    const PhonebookEntry longer{std::string(30, 'n'), std::string(25, '7'), 0};
    ASSERT_TRUE(Book().AddEntry(&longer, nullptr));
    EXPECT_EQ(Book().GetAt(0)->name, std::string(14, 'n'));
    EXPECT_EQ(Book().GetAt(0)->number, std::string(20, '7'));
    EXPECT_EQ(phonebooks->Storage(0).slots.at(1).name, std::string(14, 'n'));
    // Adding it again finds the cut copy and writes nothing.
    bool present = false;
    EXPECT_TRUE(Book().AddEntry(&longer, &present));
    EXPECT_TRUE(present);
    EXPECT_EQ(Writes(), 1u);
}

TEST_P(EmbedPhonebookTest, DeleteThenAddReusesTheLowestSlot) {
    Recorder listener;
    ASSERT_EQ(Load(Storage(1, 4, {{1, {"A", "1"}}, {2, {"B", "2"}}, {3, {"C", "3"}}})),
              kStatusSuccess);
    Book().AddListener(&listener);
    ASSERT_TRUE(Book().DeleteEntry(0));
    EXPECT_EQ(phonebooks->Storage(0).slots.count(1), 0u);
    const PhonebookEntry added{"D", "4", 0};
    ASSERT_TRUE(Book().AddEntry(&added, nullptr));
    EXPECT_EQ(Book().GetAt(2)->slot, 1u);
    EXPECT_EQ(phonebooks->Storage(0).slots.at(1).name, "D");
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"removed 0", "added 2"}));
    Book().RemoveListener(&listener);
}

TEST_P(EmbedPhonebookTest, ModifyReplacesTheEntryInItsSlot) {
    Recorder listener;
    ASSERT_EQ(Load(Storage(1, 4, {{3, {"A", "1"}}})), kStatusSuccess);
    Book().AddListener(&listener);
    const PhonebookEntry changed{"Z", "9", 0};
    ASSERT_TRUE(Book().Modify(0, &changed));
    EXPECT_EQ(Book().GetAt(0)->name, "Z");
    EXPECT_EQ(Book().GetAt(0)->slot, 3u);
    EXPECT_EQ(phonebooks->Storage(0).slots.at(3).number, "9");
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"changed 0"}));
    Book().RemoveListener(&listener);
}

TEST_P(EmbedPhonebookTest, PositionsOutsideTheListAreRefused) {
    ASSERT_EQ(Load(Storage(1, 4, {{1, {"A", "1"}}})), kStatusSuccess);
    const PhonebookEntry e{"Z", "9", 0};
    const std::size_t requests = peer->Requests().size();
    for (int position : {-1, 1, 5}) {
        EXPECT_EQ(Book().GetAt(position), nullptr);
        EXPECT_FALSE(Book().Modify(position, &e));
        EXPECT_FALSE(Book().DeleteEntry(position));
    }
    EXPECT_EQ(peer->Requests().size(), requests);
}

TEST_P(EmbedPhonebookTest, AGetAtPointerSurvivesLaterAdds) {
    ASSERT_EQ(Load(Storage(1, 40, {{1, {"First", "1"}}})), kStatusSuccess);
    PhonebookEntry* first = Book().GetAt(0);
    for (int i = 0; i < 30; ++i) {
        const PhonebookEntry e{"N" + std::to_string(i), std::to_string(i), 0};
        ASSERT_TRUE(Book().AddEntry(&e, nullptr));
    }
    EXPECT_EQ(Book().GetAt(0), first);
    EXPECT_EQ(first->name, "First");
}

TEST_P(EmbedPhonebookTest, ToggleSortOrderIsStableBothWaysAndNotifiesOnce) {
    Recorder listener;
    // Equal names in slot order b1, b2; a sorts before b.
    ASSERT_EQ(Load(Storage(1, 4, {{1, {"b", "1"}}, {2, {"a", "3"}}, {3, {"b", "2"}}})),
              kStatusSuccess);
    Book().AddListener(&listener);
    Book().SetSortKey(2);  // names byte by byte
    auto order = [this] {
        std::string out;
        for (int i = 0; i < Book().GetCount(); ++i) out += Book().GetAt(i)->number;
        return out;
    };
    Book().ToggleSortOrder();  // ascending (the default) becomes descending
    EXPECT_EQ(order(), "123");
    Book().ToggleSortOrder();
    EXPECT_EQ(order(), "312");
    Book().SetSortKey(1);  // numbers
    Book().Sort();
    EXPECT_EQ(order(), "123");
    EXPECT_EQ(listener.calls, (std::vector<std::string>(3, "reordered")));
    Book().RemoveListener(&listener);
}

TEST_P(EmbedPhonebookTest, FindsNeedNonEmptyFields) {
    ASSERT_EQ(Load(Storage(1, 4, {{1, {"", "5"}}, {2, {"Bo", ""}}})), kStatusSuccess);
    EXPECT_EQ(Book().FindByName(""), nullptr);
    EXPECT_EQ(Book().FindByNumber(""), nullptr);
    EXPECT_EQ(Book().FindByName("Bo"), Book().GetAt(1));
    EXPECT_EQ(Book().FindByNumber("5"), Book().GetAt(0));
    const PhonebookEntry probe{"Bo", "", 0};
    EXPECT_EQ(Book().Find(&probe), 1);
    const PhonebookEntry absent{"Bo", "5", 0};
    EXPECT_EQ(Book().Find(&absent), 2);
}

// A listener that removes itself and adds another while it is told of a change.
class SelfRemover : public Recorder {
public:
    SelfRemover(IPhonebook& book, IRecordListener& next) : m_book(book), m_next(next) {}
    void Log(const std::string& line) override {
        Recorder::Log(line);
        m_book.RemoveListener(this);
        m_book.AddListener(&m_next);
    }

private:
    IPhonebook& m_book;
    IRecordListener& m_next;
};

TEST_P(EmbedPhonebookTest, AListenerMayChangeTheListenersWhileBeingCalled) {
    ASSERT_EQ(Load(Storage(1, 4)), kStatusSuccess);
    Recorder later;
    SelfRemover remover(Book(), later);
    Book().AddListener(&remover);
    const PhonebookEntry e{"A", "1", 0};
    ASSERT_TRUE(Book().AddEntry(&e, nullptr));
    ASSERT_TRUE(Book().DeleteEntry(0));
    EXPECT_EQ(remover.calls, (std::vector<std::string>{"added 0"}));
    // It took the remover's place during the first round, at the index already passed.
    EXPECT_EQ(later.calls, (std::vector<std::string>{"removed 0"}));
    Book().RemoveListener(&later);
}

TEST_P(EmbedPhonebookTest, TwoBooksSelectTheirOwnStorageBeforeEachCommand) {
    StartPhonebook(true, Storage(1, 4));
    phonebooks->SetStorage(1, Storage(1, 4));
    int status = -1;
    Book(1).Load(nullptr, &status);
    ASSERT_EQ(status, kStatusSuccess);
    Book(2).Load(nullptr, &status);
    ASSERT_EQ(status, kStatusSuccess);
    const std::size_t selects = Params(PBKey(kSelect)).size();
    const PhonebookEntry one{"One", "1", 0}, two{"Two", "2", 0};
    ASSERT_TRUE(Book(1).AddEntry(&one, nullptr));  // storage 1 was selected last
    // Selected again although the device should be on storage 0 still: it may have lost it.
    ASSERT_TRUE(Book(1).AddEntry(&two, nullptr));
    EXPECT_EQ(Params(PBKey(kSelect)).size(), selects + 2);
    EXPECT_EQ(phonebooks->Storage(0).slots.size(), 2u);
    EXPECT_TRUE(phonebooks->Storage(1).slots.empty());
}

}  // namespace
}  // namespace dmtest

namespace dmtest {
namespace {

// Adds an entry to another book from a thread of its own and waits for it (on the machine
// clock) while it is being told of a change.
class CrossBookWaiter : public Recorder {
public:
    explicit CrossBookWaiter(IPhonebook& other) : m_other(other) {}
    void Log(const std::string& line) override {
        Recorder::Log(line);
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        MachineThread thread([&] {
            const PhonebookEntry e{"Other", "2", 0};
            added = m_other.AddEntry(&e, nullptr);
            SetEvent(done);
        });
        finished = WaitForSingleObject(done, 60000) == WAIT_OBJECT_0;
        thread.Join();
        CloseHandle(done);
    }
    bool added = false;
    bool finished = false;

private:
    IPhonebook& m_other;
};

TEST_P(EmbedPhonebookTest, AListenerMayWaitForAnotherBooksCommands) {
    StartPhonebook(true, Storage(1, 4));
    phonebooks->SetStorage(1, Storage(1, 4));
    int status = -1;
    Book(1).Load(nullptr, &status);
    Book(2).Load(nullptr, &status);
    CrossBookWaiter waiter(Book(2));
    Book(1).AddListener(&waiter);
    const PhonebookEntry e{"One", "1", 0};
    ASSERT_TRUE(Book(1).AddEntry(&e, nullptr));
    EXPECT_TRUE(waiter.finished);
    EXPECT_TRUE(waiter.added);
    EXPECT_EQ(phonebooks->Storage(1).slots.at(1).name, "Other");
    Book(1).RemoveListener(&waiter);
}

TEST_P(EmbedPhonebookTest, BooksUsedFromTwoThreadsKeepTheirStorages) {
    StartPhonebook(true, Storage(1, 20));
    phonebooks->SetStorage(1, Storage(1, 20));
    int status = -1;
    Book(1).Load(nullptr, &status);
    Book(2).Load(nullptr, &status);
    auto fill = [](IPhonebook& book, const std::string& prefix) {
        return [&book, prefix] {
            for (int i = 0; i < 8; ++i) {
                const PhonebookEntry e{prefix + std::to_string(i), std::to_string(i), 0};
                book.AddEntry(&e, nullptr);
            }
        };
    };
    {
        MachineThread a(fill(Book(1), "a"));
        MachineThread b(fill(Book(2), "b"));
    }
    for (int storage : {0, 1}) {
        const dmpeer::PhonebookStorage s = phonebooks->Storage(storage);
        EXPECT_EQ(s.slots.size(), 8u);
        for (const auto& [slot, contact] : s.slots)
            EXPECT_EQ(contact.name[0], storage == 0 ? 'a' : 'b') << slot;
    }
    EXPECT_EQ(Book(1).GetCount(), 8);
    EXPECT_EQ(Book(2).GetCount(), 8);
}

}  // namespace
}  // namespace dmtest
