// Reply parsers of the commands: each command in the table is offered every prefix of a valid
// reply body, the valid body followed by the input, and the input alone, in both byte orders.
// A parser either completes its command or leaves it uncompleted; a short reply raises the
// packet's exception and never completes; the whole valid body always completes with success.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dm/command.h"
#include "dm/log.h"
#include "dm/packet.h"
#include "fuzz/machine_ready.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A command of the status-byte family with a typed reply body (a 16-bit and a 32-bit value).
struct DMCmdParam_FuzzRead {
    static constexpr uint8_t kCategory = 0x6A;
    static constexpr uint16_t kSubCommand = 20;
};
class FuzzReadCmd : public CSimpleDMCmd<DMCmdParam_FuzzRead> {
protected:
    ReplyCommit ParseReply(DMPacket& r) override {
        uint16_t a = 0;
        uint32_t b = 0;
        r.ReadU16(a).ReadU32(b);
        return [this, a, b] {
            m_a = a;
            m_b = b;
        };
    }

private:
    uint16_t m_a = 0;
    uint32_t m_b = 0;
};

struct Entry {
    const char* name;
    std::function<std::unique_ptr<CDMCmd>()> make;
    // A valid reply (after the command code byte) in the packet's order.
    std::function<Bytes(bool big)> valid;
};

Bytes Header(bool big, uint8_t category, uint16_t sub) {
    DMPacket p(big);
    p.WriteU8(category).WriteU16(sub);
    return Bytes(p.Data(), p.Data() + p.Size());
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<Entry>& Table() {
    static const std::vector<Entry> table = {
        {"status query", [] { return std::make_unique<CStatusCmd>(); },
         [](bool big) {
             return Cat(Header(big, 0x65, 0), Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
         }},
        {"status-byte command", [] { return std::make_unique<FuzzReadCmd>(); },
         [](bool big) {
             return Cat(Header(big, 0x6A, 20), Bytes{0, 1, 2, 3, 4, 5, 6});
         }},
    };
    return table;
}

// Offers the bytes; false when the packet's exception was raised.
bool Offer(CDMCmd& cmd, bool big, const Bytes& bytes, CLog& log) {
    DMPacket reader(big, bytes.data(), bytes.size());
    try {
        cmd.HandleResponse(reader, log);
        return true;
    } catch (const CDMPacketException&) {
        if (cmd.IsCompleted()) __builtin_trap();
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureMachine();
    static CLog log;
    const Bytes input(data, data + size);
    for (const Entry& e : Table()) {
        for (bool big : {false, true}) {
            const Bytes valid = e.valid(big);
            for (size_t n = 0; n < valid.size(); ++n) {
                std::unique_ptr<CDMCmd> cmd = e.make();
                if (Offer(*cmd, big, Bytes(valid.begin(), valid.begin() + n), log))
                    __builtin_trap();
            }
            std::unique_ptr<CDMCmd> whole = e.make();
            if (!Offer(*whole, big, Cat(valid, input), log) || whole->Result() != kCmdSucceeded)
                __builtin_trap();
            std::unique_ptr<CDMCmd> any = e.make();
            Offer(*any, big, input, log);
            const int code = any->Result();
            if (code != kCmdPending && code != kCmdSucceeded && code != kCmdFailed &&
                code != kCmdRejected)
                __builtin_trap();
        }
    }
    return 0;
}
