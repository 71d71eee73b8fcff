// A wait that mixes a server's objects with the process's own: the local half, against a server
// side the test plays.
#include <deque>
#include <functional>

#include "common/sim_fixture.h"
#include "common/thread_helper.h"
#include <winbase.h>
#include "machine/mixed_wait.h"
#include "machine/sync.h"

namespace {

using sim::WaitOutcome;

// Plays the server's side: peeks are answered at once when `ready`, else never; takes give the
// scripted results (WAIT_TIMEOUT once they run out).
struct FakeServer : sim::RemoteWaitSide {
    std::shared_ptr<sim::PendingCall> Peek(bool) override {
        auto call = std::make_shared<sim::PendingCall>();
        call->id = static_cast<std::uint32_t>(++peeks);
        if (ready) {
            std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
            call->answer.status = peekStatus;
            call->gate.OpenLocked();
        }
        return call;
    }
    void DropPeekLocked(sim::PendingCall&) override { ++dropped; }
    DWORD Take(bool) override {
        takeTimes.push_back(sim::Kernel::Get().Now());
        if (onTake) onTake();
        if (results.empty()) return WAIT_TIMEOUT;
        DWORD r = results.front();
        results.pop_front();
        return r;
    }
    void GiveBack() override { ++givenBack; }

    bool ready = false;
    DWORD peekStatus = 0;
    std::deque<DWORD> results;
    std::function<void()> onTake;
    int peeks = 0, dropped = 0, givenBack = 0;
    std::vector<std::uint64_t> takeTimes;
};

class MixedWaitTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        own_ = std::make_shared<sim::EventObj>(false, false);  // auto-reset
    }
    // Waits on {server's, own event, server's} (or `items`).
    sim::MixedResult Wait(bool all, DWORD wakeMask = 0, DWORD ms = INFINITE,
                          std::vector<sim::MixedItem> items = {}) {
        if (items.empty()) items = {{true, nullptr}, {false, own_.get()}, {true, nullptr}};
        auto& kernel = sim::Kernel::Get();
        std::uint64_t deadline;
        {
            std::lock_guard<std::mutex> lk(kernel.Mutex());
            deadline = kernel.DeadlineAfterLocked(ms);
        }
        return sim::MixedWait(sim::CurrentThread(), items, server_, all, wakeMask, deadline);
    }
    // A thread that sets the own event after `ms` of machine time.
    HANDLE SetOwnAfter(DWORD ms) {
        return StartThread([this, ms] {
            Sleep(ms);
            SetOwn(true);
            return DWORD{0};
        });
    }
    void SetOwn(bool state) {
        std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
        own_->SetLocked(state);
    }
    bool OwnSet() {
        std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
        return own_->SignaledFor(sim::CurrentThread(), 0);
    }

    FakeServer server_;
    std::shared_ptr<sim::EventObj> own_;
};

struct TakeCase {
    const char* name;
    DWORD peekStatus;
    std::vector<DWORD> takes;
    bool failed;
    WaitOutcome outcome;
    DWORD index;  // in the caller's order
};

class MixedTakeTest : public MixedWaitTest, public ::testing::WithParamInterface<TakeCase> {};

TEST_P(MixedTakeTest, TheServersAnswerGivesTheCallersIndex) {
    const TakeCase& c = GetParam();
    server_.ready = true;
    server_.peekStatus = c.peekStatus;
    server_.results.assign(c.takes.begin(), c.takes.end());
    sim::MixedResult r = Wait(false);
    EXPECT_EQ(r.failed, c.failed);
    if (!c.failed) {
        EXPECT_EQ(r.result.outcome, c.outcome);
        EXPECT_EQ(r.result.index, c.index);
    }
    EXPECT_EQ(server_.dropped, 0);
    EXPECT_FALSE(OwnSet());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MixedTakeTest,
    ::testing::Values(
        TakeCase{"First", 0, {WAIT_OBJECT_0}, false, WaitOutcome::Object, 0},
        TakeCase{
            "SecondOfTheServersIsThird", 0, {WAIT_OBJECT_0 + 1}, false, WaitOutcome::Object, 2},
        TakeCase{"Abandoned", 0, {WAIT_ABANDONED + 1}, false, WaitOutcome::Abandoned, 2},
        TakeCase{"IndexOutOfRange", 0, {WAIT_OBJECT_0 + 2}, true, WaitOutcome::Timeout, 0},
        TakeCase{"TakeFailed", 0, {WAIT_FAILED}, true, WaitOutcome::Timeout, 0},
        TakeCase{"PeekFailed", ERROR_INVALID_HANDLE, {}, true, WaitOutcome::Timeout, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MixedWaitTest, ItsOwnEventEndsAWaitOnTheServerWhichTakesNothingThere) {
    HANDLE setter = SetOwnAfter(5000);
    sim::MixedResult r = Wait(false);
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(r.result.outcome, WaitOutcome::Object);
    EXPECT_EQ(r.result.index, 1u);
    EXPECT_EQ(sim::Kernel::Get().Now(), 5000u);
    EXPECT_EQ(server_.dropped, 1);
    EXPECT_TRUE(server_.takeTimes.empty());
    EXPECT_FALSE(OwnSet());  // its own auto-reset event was taken
    WaitForSingleObject(setter, INFINITE);
    CloseHandle(setter);
}

TEST_F(MixedWaitTest, AServerObjectAnotherTookFirstMakesItWaitAgain) {
    server_.ready = true;
    server_.results = {WAIT_TIMEOUT};
    server_.onTake = [&] { server_.ready = false; };  // the next peek is not answered
    HANDLE setter = SetOwnAfter(3000);
    sim::MixedResult r = Wait(false);
    EXPECT_EQ(r.result.outcome, WaitOutcome::Object);
    EXPECT_EQ(r.result.index, 1u);
    EXPECT_EQ(server_.peeks, 2);
    EXPECT_EQ(server_.takeTimes.size(), 1u);
    EXPECT_EQ(server_.dropped, 1);
    WaitForSingleObject(setter, INFINITE);
    CloseHandle(setter);
}

TEST_F(MixedWaitTest, AWaitOnAllTakesTheServersObjectsOnlyOnceItsOwnAreThere) {
    server_.ready = true;
    server_.results = {WAIT_OBJECT_0};
    HANDLE setter = SetOwnAfter(4000);
    sim::MixedResult r = Wait(true);
    EXPECT_EQ(r.result.outcome, WaitOutcome::Object);
    EXPECT_EQ(r.result.index, 0u);
    ASSERT_EQ(server_.takeTimes.size(), 1u);
    EXPECT_EQ(server_.takeTimes[0], 4000u);
    EXPECT_EQ(server_.givenBack, 0);
    EXPECT_FALSE(OwnSet());
    WaitForSingleObject(setter, INFINITE);
    CloseHandle(setter);
}

TEST_F(MixedWaitTest, AWaitOnAllWhoseOwnObjectWentMeanwhileGivesTheServersBackAndWaitsAgain) {
    SetOwn(true);
    server_.ready = true;
    server_.results = {WAIT_ABANDONED, WAIT_OBJECT_0};
    HANDLE setter = nullptr;
    server_.onTake = [&] {
        if (setter != nullptr) return;
        SetOwn(false);  // another thread of the process took it between the peek and the take
        setter = SetOwnAfter(6000);
    };
    sim::MixedResult r = Wait(true);
    EXPECT_EQ(r.result.outcome, WaitOutcome::Object);  // the abandoned mutex went back
    EXPECT_EQ(server_.givenBack, 1);
    ASSERT_EQ(server_.takeTimes.size(), 2u);
    EXPECT_EQ(server_.takeTimes[1], 6000u);
    WaitForSingleObject(setter, INFINITE);
    CloseHandle(setter);
}

TEST_F(MixedWaitTest, TheMessageQueueEndsTheWaitWithTheItemCount) {
    sim::ThreadRec& self = sim::CurrentThread();
    HANDLE poster = StartThread([&self] {
        Sleep(2000);
        std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
        sim::Kernel::Get().SetQueueBitsLocked(self, sim::kQueuePosted);
        return DWORD{0};
    });
    sim::MixedResult r = Wait(false, sim::kQueuePosted);
    EXPECT_EQ(r.result.outcome, WaitOutcome::Queue);
    EXPECT_EQ(r.result.index, 3u);
    EXPECT_EQ(server_.dropped, 1);
    WaitForSingleObject(poster, INFINITE);
    CloseHandle(poster);
    std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
    sim::Kernel::Get().ClearQueueBitsLocked(self, sim::kQueuePosted);
}

}  // namespace
