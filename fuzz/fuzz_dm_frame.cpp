// The device link's frame decoder fed arbitrary bytes in pieces whose sizes the input chooses.
// Every frame it yields must encode back to bytes that decode to the same frame, and what stays
// buffered must be less than one whole frame.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dm/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    ++data;
    --size;
    DMFrameDecoder decoder;
    std::vector<DMFrame> frames;
    for (std::size_t i = 0; i < size; i += piece) {
        const std::size_t n = piece < size - i ? piece : size - i;
        decoder.Feed(data + i, n, [&](DMFrame&& f) { frames.push_back(std::move(f)); });
    }
    if (decoder.Buffered() >= 2 + kDMFrameMaxLength + 2) __builtin_trap();
    for (const DMFrame& f : frames) {
        std::vector<std::uint8_t> wire;
        if (!EncodeDMFrame(f, wire)) __builtin_trap();
        DMFrameDecoder again;
        int count = 0;
        again.Feed(wire.data(), wire.size(), [&](DMFrame&& g) {
            ++count;
            if (g.kind != f.kind || g.reportId != f.reportId || g.payload != f.payload)
                __builtin_trap();
        });
        if (count != 1 || again.Buffered() != 0) __builtin_trap();
    }
    return 0;
}
