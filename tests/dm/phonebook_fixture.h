// A command service over the simulated modem with its phone-book storages and message boxes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dm/embed_phonebook.h"
#include "dm/phonebook.h"
#include "dm/service_call.h"
#include "dm_peer/device_stores.h"
#include "tests/dm/dm_test.h"
#include "tests/dm/engine_fixture.h"

namespace dmtest {

inline dmpeer::CommandKey PBKey(std::uint16_t sub) {
    return {0x4B, kCategoryPhonebook, sub};
}
enum PBSub : std::uint16_t {
    kEnable = 1,
    kSelect = 2,
    kQuery = 4,
    kRead = 5,
    kModify = 6,
    kReadEx = 7,
    kModifyEx = 8
};

class DeviceStoreTest : public EngineTest {
protected:
    // The phone books' device; storage 0 holds slots first..last with the given contacts.
    void StartPhonebook(bool extended, dmpeer::PhonebookStorage storage0 = {}) {
        phonebooks = std::make_unique<dmpeer::PhonebookStore>(*peer, extended);
        phonebooks->SetStorage(0, std::move(storage0));
        phonebooks->SetStorage(1, dmpeer::PhonebookStorage{});
        StartService();
        api = service->GetPhonebook()->GetPhonebookAPI();
    }
    IPhonebook& Book(int n = 1) {
        IPhonebookService* s = service->GetPhonebook();
        return n == 1 ? *s->GetPhonebook1() : *s->GetPhonebook2();
    }
    // The parameters (after the header) of every request of the command, in order.
    std::vector<Bytes> Params(dmpeer::CommandKey key) const {
        std::vector<Bytes> out;
        for (const Bytes& r : peer->Requests())
            if (peer->KeyOf(r) == key) out.emplace_back(r.begin() + 4, r.end());
        return out;
    }
    // A new device and no service, within one test.
    void FreshDevice() {
        service.reset();
        phonebooks.reset();
        messages.reset();
        peer = std::make_unique<dmpeer::Peer>(GetParam());
    }
    void TearDown() override {
        EngineTest::TearDown();
        phonebooks.reset();
        messages.reset();
    }

    std::unique_ptr<dmpeer::PhonebookStore> phonebooks;
    std::unique_ptr<dmpeer::SMSStore> messages;
    IPhonebookAPI* api = nullptr;
};

inline dmpeer::PhonebookStorage Storage(std::uint16_t first, std::uint16_t last,
                                        std::map<std::uint16_t, dmpeer::Contact> slots = {}) {
    dmpeer::PhonebookStorage s;
    s.first = first;
    s.last = last;
    s.slots = std::move(slots);
    return s;
}

}  // namespace dmtest
