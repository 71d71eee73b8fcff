// Reply parsers of the commands: a command of the table (every one for the empty input) is offered
// prefixes of a valid reply body (all of them for the empty input), the valid body followed by the
// input, and the input alone, in both byte orders. A parser either completes its command or leaves
// it uncompleted; a short reply raises the packet's exception and never completes; the whole valid
// body always completes with success.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dm/command.h"
#include "dm/device_info.h"
#include "dm/engineering.h"
#include "dm/log.h"
#include "dm/packet.h"
#include "dm/phonebook.h"
#include "dm/sms_commands.h"
#include "dm/text_fields.h"
#include "dm/ruim.h"
#include "dm/voice.h"
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

// A status-byte command C of the device services with the reply body `body` (status 0 first).
template <class C>
Entry Reply(const char* name, uint8_t category, uint16_t sub, std::function<Bytes(bool)> body) {
    return {name, [] { return std::make_unique<C>(); },
            [=](bool big) { return Cat(Cat(Header(big, category, sub), Bytes{0}), body(big)); }};
}

std::function<Bytes(bool)> Fixed(Bytes b) {
    return [b](bool) { return b; };
}

// A MIN range reply of two entries whose count is written in the packet's order.
Bytes MinRange(bool big) {
    DMPacket p(big);
    p.WriteU8(0).WriteU16(2);
    return Cat(Bytes(p.Data(), p.Data() + p.Size()), Bytes(32, 7));
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
        {"box select", [] { return std::make_unique<CDMCmdSelSMSBox>(4); },
         [](bool big) { return StatusReply(big, 0x6B, 2, [](DMPacket&) {}); }},
        {"message delete", [] { return std::make_unique<CDMCmdDelSMS>(3); },
         [](bool big) { return StatusReply(big, 0x6B, 5, [](DMPacket&) {}); }},
        {"message delete, box-naming", [] { return std::make_unique<CDMCmdDelSMS_RC>(1, 3); },
         [](bool big) { return StatusReply(big, 0x71, 3, [](DMPacket&) {}); }},
        {"message send", [] { return std::make_unique<CDMCmdSendSMS>(SMSRecord{}, 1, false); },
         [](bool big) { return StatusReply(big, 0x6B, 6, [](DMPacket&) {}); }},
        {"message send, box-naming",
         [] { return std::make_unique<CDMCmdSendSMS_RC>(SMSRecord{}, 2, true); },
         [](bool big) { return StatusReply(big, 0x6B, 6, [](DMPacket&) {}); }},
        {"group tag", [] { return std::make_unique<CDMCmdGroupSendingTag>(1); },
         [](bool big) { return StatusReply(big, 0x6B, 8, [](DMPacket&) {}); }},
        Reply<CDMCmdQueryDormant>("dormant", 0x6A, 8, Fixed({1})),
        Reply<CDMCmdQueryTime>("time", 0x6A, 1, Fixed({0x07, 0xD6, 1, 2, 3, 4, 5})),
        Reply<CDMCmdQueryVersionEx>("version ex", 0x6A, 25, Fixed(Bytes(51, 'v'))),
        Reply<CDMCmdQueryHWVersion>("hardware version", 0x6A, 26, Fixed({1, 0, 2, 0})),
        Reply<CDMCmdReadESNEx>("esn", 0x6A, 26, Fixed({1, 2, 3, 4})),
        Reply<CDMCmdReadBaud>("baud", 0x6A, 2, Fixed({0, 1, 0xC2, 0})),
        Reply<CDMCmdQueryService>("service", 0x6A, 17, Fixed({1, 2, 3, 4})),
        Reply<CDMCmdReadMode>("mode", 0x6A, 22, Fixed({1})),
        Reply<CDMCmdReadIMSI>("imsi", 0x6A, 27, Fixed(Bytes(8, 3))),
        Reply<CDMCmdReadMINRange>("min range", 0x6A, 40, MinRange),
        Reply<CDMCmdReadPPPInfo>("ppp", 0x6A, 31, Fixed(Bytes(2 * 128, 0))),
        Reply<CDMCmdCheckMCCMNC>("mcc mnc", 0x6A, 33, Fixed({1})),
        Reply<CDMCmdGetHardwareVersion>("hardware number", 0x6A, 35, Fixed({1, 2})),
        Reply<CDMCmdGetHardwareSchematicsVersion>("schematics", 0x6A, 36, Fixed(Bytes(33, 40))),
        Reply<CDMCmdInitRUIM>("init ruim", 0x6A, 37, Fixed({1})),
        Reply<CDMCmdQueryEVDOVersion>("evdo", 0x6A, 44, Fixed({1})),
        Reply<CDMCmdReadRUIM>("ruim", 0x6A, 16, Fixed({1, 5})),
        Reply<CDMCmdReadPin>("pin", 0x6A, 7, Fixed({1})),
        Reply<CDMCmdPinCount>("pin count", 0x6A, 20, Fixed({3})),
        Reply<CDMCmdPUKCount>("puk count", 0x6A, 24, Fixed({9})),
        Reply<CDMCmdUIMInsertedTimes>("inserted", 0x6A, 28, Fixed({2})),
        Reply<CDMCmdRuimType>("ruim type", 0x6A, 29, Fixed({1})),
        Reply<CDMCmdQueryServiceCodes>("service codes", 0x6A, 38, Fixed(Bytes(20, 1))),
        Reply<CDMCmdEngineering<0, 11>>("engineering record", 0x6E, 0, Fixed(Bytes(11, 1))),
        Reply<CDMCmdEngineering<10, 4>>("engineering value", 0x6E, 10, Fixed({1, 2, 3, 4})),
        Reply<CDMCmdReadMute>("mute", 0x6A, 5, Fixed({1})),
        {"old version", [] { return std::make_unique<CDMCmdQueryVersion>(); },
         [](bool) { return Bytes(54, 'o'); }},
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

// The checks of one command of the table in both byte orders: the prefixes of its valid reply
// from `first` to before `last`, the valid reply followed by the input, and the input alone.
void Check(const Entry& e, const Bytes& input, bool allPrefixes, CLog& log) {
    for (bool big : {false, true}) {
        const Bytes valid = e.valid(big);
        const size_t first = allPrefixes || input.empty() ? 0 : input[0] % valid.size();
        const size_t last = allPrefixes ? valid.size() : first + 1;
        for (size_t n = first; n < last; ++n) {
            std::unique_ptr<CDMCmd> cmd = e.make();
            if (Offer(*cmd, big, Bytes(valid.begin(), valid.begin() + n), log)) __builtin_trap();
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureMachine();
    static CLog log;
    const std::vector<Entry>& table = Table();
    // The empty input checks every command with every prefix; any other input checks one command,
    // chosen by its last byte (a command costs an event: the whole table per input would leave the
    // fuzzer a few inputs a second), with one prefix, chosen by its first byte.
    if (size == 0) {
        for (const Entry& e : table) Check(e, {}, true, log);
        return 0;
    }
    Check(table[data[size - 1] % table.size()], Bytes(data, data + size), false, log);
    return 0;
}
