#include "dm_peer/device_handlers.h"

#include <algorithm>

#include "dm/text_fields.h"

namespace dmpeer {

namespace {

constexpr std::uint8_t kDevice = 0x6A;
constexpr std::uint8_t kVoice = 0x6C;
constexpr std::uint8_t kEngineering = 0x6E;
constexpr std::uint8_t kOk = 0;
constexpr std::uint8_t kRefused = 1;

CommandKey Device(std::uint16_t sub) {
    return {kCategoryCode, kDevice, sub};
}

void FixedText(DMPacket& body, const std::string& text, std::size_t width) {
    std::vector<std::uint8_t> bytes(width, 0);
    std::copy_n(text.begin(), std::min(text.size(), width), bytes.begin());
    body.Append(bytes.data(), bytes.size());
}

// A handler that writes one byte of the state.
Handler Byte(const std::uint8_t& value) {
    return [&value](DMPacket&, DMPacket& body) {
        body.WriteU8(value);
        return kOk;
    };
}

// A handler that accepts the request and stores its one byte.
Handler StoreByte(std::uint8_t& value) {
    return [&value](DMPacket& request, DMPacket&) {
        request.ReadU8(value);
        return kOk;
    };
}

Handler Accept() {
    return [](DMPacket&, DMPacket&) { return kOk; };
}

std::string ReadPinBytes(DMPacket& request) {
    std::uint8_t bytes[8] = {};
    request.ReadBytes(bytes, 8);
    return std::string(reinterpret_cast<char*>(bytes), std::find(bytes, bytes + 8, 0) - bytes);
}

void InstallDeviceInfo(Peer& peer, DeviceState& st) {
    peer.SetHandler(Device(8), Byte(st.dormant));
    peer.SetHandler(Device(1), [&st](DMPacket&, DMPacket& body) {
        body.WriteU16(st.year);
        body.Append(st.time.data(), st.time.size());
        return kOk;
    });
    peer.SetHandler(Device(25), [&st](DMPacket&, DMPacket& body) {
        FixedText(body, st.versionX, 32);
        FixedText(body, st.versionY, 11);
        FixedText(body, st.versionZ, 8);
        return kOk;
    });
    peer.SetHandler(
        {0x00, 0, 0},
        [&st](DMPacket&, DMPacket& body) {
            FixedText(body, "ignored", 19);
            FixedText(body, st.oldC, 11);
            FixedText(body, st.oldD, 8);
            FixedText(body, st.oldE, 8);
            FixedText(body, "", 8);
            return kOk;
        },
        false);
    peer.SetHandler(Device(26), [&st](DMPacket&, DMPacket& body) {
        AppendRaw(body, st.hwA, 2);
        AppendRaw(body, st.hwB, 2);
        return kOk;
    });
    peer.SetHandler(Device(2), [&st](DMPacket&, DMPacket& body) {
        body.WriteU32(st.baud);
        return kOk;
    });
    peer.SetHandler(Device(3), [&st](DMPacket& request, DMPacket&) {
        request.ReadU32(st.baud);
        return kOk;
    });
    peer.SetHandler(Device(12), Accept());
    peer.SetHandler(Device(13), Accept());
    peer.SetHandler(Device(17), [&st](DMPacket&, DMPacket& body) {
        body.Append(st.service.data(), st.service.size());
        return kOk;
    });
    peer.SetHandler(Device(22), Byte(st.mode));
    peer.SetHandler(Device(21), StoreByte(st.mode));
    peer.SetHandler(Device(27), [&st](DMPacket&, DMPacket& body) {
        body.Append(st.imsi.data(), st.imsi.size());
        return kOk;
    });
    peer.SetHandler(Device(40), [&st](DMPacket&, DMPacket& body) {
        body.WriteU8(0).WriteU16(st.minCount);
        if (!st.minEntries.empty()) body.Append(st.minEntries.data(), st.minEntries.size());
        return kOk;
    });
    peer.SetHandler(Device(31), [&st](DMPacket&, DMPacket& body) {
        WriteTextField(body, st.pppUser, 127, TextCoding::Bytes);
        WriteTextField(body, st.pppPassword, 127, TextCoding::Bytes);
        return kOk;
    });
    peer.SetHandler(Device(32), [&st](DMPacket& request, DMPacket&) {
        st.pppUser = ReadTextField(request, 127, false);
        st.pppPassword = ReadTextField(request, 127, false);
        return kOk;
    });
    peer.SetHandler(Device(33), Byte(st.mccmnc));
    peer.SetHandler(Device(35), [&st](DMPacket&, DMPacket& body) {
        body.WriteU16(st.hardwareVersion);
        return kOk;
    });
    peer.SetHandler(Device(36), [&st](DMPacket&, DMPacket& body) {
        body.WriteU8(st.schematicsLength);
        FixedText(body, st.schematics, 32);
        return kOk;
    });
    peer.SetHandler(Device(37), Byte(st.initRuim));
    peer.SetHandler(Device(44), Byte(st.evdo));
    peer.SetHandler(
        {kCategoryCode, 0x65, 0},
        [&st](DMPacket&, DMPacket& body) {
            body.Append(st.s.data(), st.s.size());
            body.WriteU16(st.w);
            body.Append(st.r.data(), st.r.size());
            return kOk;
        },
        false);
}

void InstallRUIM(Peer& peer, DeviceState& st) {
    peer.SetHandler(Device(16), [&st](DMPacket&, DMPacket& body) {
        body.WriteU8(st.ruimFlag).WriteU8(st.ruimState);
        return kOk;
    });
    peer.SetHandler(Device(7), Byte(st.pinEnabled));
    peer.SetHandler(Device(6), [&st](DMPacket& request, DMPacket&) {
        return ReadTextField(request, 8, false) == st.pin ? kOk : kRefused;
    });
    peer.SetHandler(Device(20), Byte(st.pinCount));
    peer.SetHandler(Device(24), Byte(st.pukCount));
    peer.SetHandler(Device(18), [&st](DMPacket& request, DMPacket&) {
        std::uint8_t enable = 0;
        request.ReadU8(enable);
        if (ReadTextField(request, 8, false) != st.pin) return kRefused;
        st.pinEnabled = enable;
        return kOk;
    });
    peer.SetHandler(Device(19), [&st](DMPacket& request, DMPacket&) {
        const std::string first = ReadTextField(request, 8, false);
        const std::string second = ReadTextField(request, 8, false);
        if (first != st.pin) return kRefused;
        st.pin = second;
        return kOk;
    });
    peer.SetHandler(Device(23), [&st](DMPacket& request, DMPacket&) {
        const std::string puk = ReadPinBytes(request);
        const std::string pin = ReadPinBytes(request);
        if (puk != st.puk) return kRefused;
        st.pin = pin;
        return kOk;
    });
    peer.SetHandler(Device(28), Byte(st.insertedTimes));
    peer.SetHandler(Device(29), Byte(st.ruimType));
    peer.SetHandler(Device(38), [&st](DMPacket&, DMPacket& body) {
        for (std::uint16_t code : st.serviceCodes) body.WriteU16(code);
        return kOk;
    });
}

void InstallEngineering(Peer& peer, DeviceState& st) {
    for (std::uint16_t sub = 0; sub < st.engineering.size(); ++sub)
        peer.SetHandler({kCategoryCode, kEngineering, sub}, [&st, sub](DMPacket&, DMPacket& body) {
            const std::vector<std::uint8_t>& v = st.engineering[sub];
            if (!v.empty()) body.Append(v.data(), v.size());
            return kOk;
        });
}

void InstallVoice(Peer& peer, DeviceState& st) {
    for (std::uint16_t sub : {1, 2, 3, 4, 6, 7, 8, 10, 11})
        peer.SetHandler({kCategoryCode, kVoice, sub}, Accept());
    peer.SetHandler(Device(4), StoreByte(st.mute));
    peer.SetHandler(Device(5), Byte(st.mute));
}

}  // namespace

void InstallDeviceHandlers(Peer& peer, DeviceState& state) {
    InstallDeviceInfo(peer, state);
    InstallRUIM(peer, state);
    InstallEngineering(peer, state);
    InstallVoice(peer, state);
}

Bytes TextFieldPayload(const std::string& text, std::uint32_t width, std::uint8_t length) {
    Bytes out(1 + width, 0);
    out[0] = length;
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), width), out.begin() + 1);
    return out;
}

Bytes TextFieldPayload(const std::string& text, std::uint32_t width) {
    return TextFieldPayload(text, width,
                            static_cast<std::uint8_t>(std::min<std::size_t>(text.size(), width)));
}

}  // namespace dmpeer
