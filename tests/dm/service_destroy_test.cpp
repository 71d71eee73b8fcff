// Destroying the service under its callers: every waiting caller returns with status 1, and the
// destruction ends only after each of them has left the service.
#include <atomic>
#include <functional>

#include "tests/dm/sms_fixture.h"

namespace dmtest {
namespace {

class ServiceDestroyTest : public SMSServiceTest {
protected:
    // A new device with a phone book and a message box, and a service on it.
    void Build() {
        FreshDevice();
        phonebooks = std::make_unique<dmpeer::PhonebookStore>(*peer, true);
        phonebooks->SetStorage(0, Storage(1, 3, {{1, {"Ann", "1"}}}));
        Start({{0, MessageBox(4)}});
    }
};
INSTANTIATE_TEST_SUITE_P(ByteOrder, ServiceDestroyTest, ::testing::Values(false, true), OrderName);

// A load's progress that takes its time over the first slot (on the machine clock).
class SlowProgress : public ILoadProgress {
public:
    SlowProgress() : entered(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~SlowProgress() { CloseHandle(entered); }
    void OnRecordLoaded(const void*, int, int slot) override {
        if (slot != 0) return;
        SetEvent(entered);
        Sleep(5000);
        finished.store(true);
    }
    HANDLE entered;
    std::atomic<bool> finished{false};
};

TEST_P(ServiceDestroyTest, EveryWaitingCallerReturnsWithStatus1AndLeavesBeforeTheDestructionEnds) {
    SlowProgress progress;
    struct Case {
        const char* name;
        std::function<int()> call;  // returns the status
        // Returns once the caller waits where the case wants it.
        std::function<void()> inPlace;
        int status;
    };
    auto sent = [this] {
        ASSERT_TRUE(peer->WaitForRequests(1, 5000));
        // The send's reply came: its caller now waits for the report.
        DMCmdHolderRef send = Sms().Parser().CurrentSend();
        ASSERT_NE(send, nullptr);
        ASSERT_EQ(WaitForSingleObject(send->Command()->Event(), 5000), WAIT_OBJECT_0);
    };
    auto requested = [this] { ASSERT_TRUE(peer->WaitForRequests(1, 5000)); };
    auto send = [this](bool rc) {
        const SMSRecord message = Message(1, 1, "hello");
        int status = -1;
        rc ? SmsRC().SendSMS_RC(&message, 0, &status) : Sms().SendSMS(&message, 0, &status);
        return status;
    };
    const Case cases[] = {
        {"a send waiting for its report", [&] { return send(false); }, sent, kStatusFailure},
        {"a box-naming send waiting for its report", [&] { return send(true); }, sent,
         kStatusFailure},
        {"a box select without an answer",
         [&] {
             peer->PushScript(SmsKey(kSmsSelect), dmpeer::Script{.drop = true});
             int status = -1;
             Sms().GetSMSAPI()->SelSMSBox(4, &status);
             return status;
         },
         requested, kStatusFailure},
        {"a phone-book select without an answer",
         [&] {
             peer->PushScript(PBKey(kSelect), dmpeer::Script{.drop = true});
             int status = -1;
             service->GetPhonebook()->GetPhonebookAPI()->SelPB(1, &status);
             return status;
         },
         requested, kStatusFailure},
        {"a phone-book load in its progress callback",
         [&] {
             int status = -1;
             service->GetPhonebook()->GetPhonebook1()->Load(&progress, &status);
             return status;
         },
         [&] { ASSERT_EQ(WaitForSingleObject(progress.entered, 5000), WAIT_OBJECT_0); },
         kStatusSuccess},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Build();
        int status = -1;
        MachineThread caller([&] { status = c.call(); });
        c.inPlace();
        const DWORD start = GetTickCount();
        service.reset();
        // The destruction waited for the load's caller to come back from its callback.
        if (c.status == kStatusSuccess) {
            EXPECT_TRUE(progress.finished.load());
        }
        caller.Join();
        EXPECT_EQ(status, c.status);
        EXPECT_LT(GetTickCount() - start, SMSAPICore::kReportWaitMs);
    }
}

}  // namespace
}  // namespace dmtest
