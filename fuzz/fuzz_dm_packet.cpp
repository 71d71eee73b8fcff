// Packet reads driven by the input: byte 0 picks the byte order, byte 1 how many of the
// following bytes are the packet's data; the rest are read operations (kind and count) run on
// that data. A read either moves the position by its count or raises and moves nothing.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dm/packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const bool big = (data[0] & 1) != 0;
    const size_t dataSize = data[1] < size - 2 ? data[1] : size - 2;
    DMPacket packet(big, data + 2, dataSize);
    if (packet.Size() != dataSize || packet.Capacity() < packet.Size()) __builtin_trap();
    std::vector<uint8_t> sink(256);
    for (size_t i = 2 + dataSize; i < size; ++i) {
        const uint8_t op = data[i];
        const uint32_t before = packet.Position();
        uint32_t count = 0;
        try {
            switch (op & 3) {
                case 0: {
                    uint8_t v;
                    count = 1;
                    packet.ReadU8(v);
                    break;
                }
                case 1: {
                    uint16_t v;
                    count = 2;
                    packet.ReadU16(v);
                    break;
                }
                case 2: {
                    uint32_t v;
                    count = 4;
                    packet.ReadU32(v);
                    break;
                }
                default:
                    count = op >> 2;
                    packet.ReadBytes(sink.data(), count);
                    break;
            }
            if (packet.Position() != before + count) __builtin_trap();
        } catch (const CDMPacketException&) {
            if (packet.Position() != before || packet.Remaining() >= count) __builtin_trap();
        }
        if (op == 0xFF) packet.SetPosition(0);
    }
    return 0;
}
