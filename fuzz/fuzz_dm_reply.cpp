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
#include "dm/phonebook.h"
#include "dm/sms_commands.h"
#include "dm/text_fields.h"
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

// A reply of the status-byte family: header, status 0, then what write adds.
template <class W>
Bytes StatusReply(bool big, uint8_t category, uint16_t sub, W write) {
    DMPacket p(big);
    p.WriteU8(category).WriteU16(sub).WriteU8(0);
    write(p);
    return Bytes(p.Data(), p.Data() + p.Size());
}

// A message body of a read reply, in UCS-2.
void MessageBody(DMPacket& p) {
    p.WriteU8(1);
    WriteTextField(p, "5550100", 32);
    p.WriteU8(0).WriteU8(4).WriteU8(0).WriteU16(99).WriteU8(13).WriteU8(0).WriteU8(25);
    p.WriteU8(61).WriteU8(61);
    WriteTextField(p, "text", 160, TextCoding::Ucs2);
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
        {"phone-book query", [] { return std::make_unique<CDMCmdQueryPB>(); },
         [](bool big) {
             return StatusReply(big, 0x6D, 4, [](DMPacket& p) {
                 p.WriteU16(1).WriteU16(250).WriteU8(20).WriteU8(14);
             });
         }},
        {"phone-book read", [] { return std::make_unique<CDMCmdReadPB>(3); },
         [](bool big) {
             return StatusReply(big, 0x6D, 5, [](DMPacket& p) {
                 p.WriteU16(3);
                 WriteTextField(p, "555", 32);
                 p.WriteU8(1);
                 WriteTextField(p, "Ann   ?", 16, TextCoding::Ucs2);
             });
         }},
        {"phone-book extended read", [] { return std::make_unique<CDMCmdReadPBEx>(3); },
         [](bool big) {
             return StatusReply(big, 0x6D, 7, [](DMPacket& p) {
                 p.WriteU16(3).WriteU8(3).WriteU8('5').WriteU8('5').WriteU8('5').WriteU8(1);
                 p.WriteU8(4).WriteU8(0).WriteU8('A').WriteU8(0).WriteU8('n');
             });
         }},
        {"message read", [] { return std::make_unique<CDMCmdReadSMS>(1, 0); },
         [](bool big) { return StatusReply(big, 0x6B, 4, MessageBody); }},
        {"message read, box-naming", [] { return std::make_unique<CDMCmdReadSMS_RC>(2, 1, 0); },
         [](bool big) {
             return StatusReply(big, 0x71, 1, [](DMPacket& p) {
                 MessageBody(p);
                 p.WriteU8(7);
             });
         }},
        {"box query", [] { return std::make_unique<CDMCmdQuerySMSBox>(); },
         [](bool big) {
             return StatusReply(big, 0x6B, 3,
                                [](DMPacket& p) { p.WriteU8(0).WriteU8(1).WriteU8(50); });
         }},
        {"box query, box-naming", [] { return std::make_unique<CDMCmdQuerySMSBox_RC>(1); },
         [](bool big) {
             return StatusReply(big, 0x71, 2,
                                [](DMPacket& p) { p.WriteU8(0).WriteU8(1).WriteU8(50); });
         }},
        {"message write", [] { return std::make_unique<CDMCmdWriteSMS>(SMSRecord{}); },
         [](bool big) { return StatusReply(big, 0x6B, 7, [](DMPacket& p) { p.WriteU8(4); }); }},
        {"message write, box-naming",
         [] { return std::make_unique<CDMCmdWriteSMS_RC>(2, SMSRecord{}); },
         [](bool big) { return StatusReply(big, 0x71, 4, [](DMPacket& p) { p.WriteU8(4); }); }},
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
