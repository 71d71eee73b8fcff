// The link's frame codec: what goes on the wire, and what the decoder makes of pieces, noise and
// damage.
#include <gtest/gtest.h>

#include <vector>

#include "dm/frame.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<DMFrame> DecodeInPieces(const Bytes& wire, std::size_t piece,
                                    DMFrameDecoder* decoder = nullptr) {
    DMFrameDecoder local;
    DMFrameDecoder& d = decoder ? *decoder : local;
    std::vector<DMFrame> out;
    for (std::size_t i = 0; i < wire.size(); i += piece) {
        const std::size_t n = std::min(piece, wire.size() - i);
        d.Feed(wire.data() + i, n, [&](DMFrame&& f) { out.push_back(std::move(f)); });
    }
    return out;
}

TEST(DMFrame, LayoutIsLengthKindReportPayloadCheck) {
    const Bytes payload = {0x4B, 0x6A, 0x33, 0x01};
    Bytes wire = EncodeDMFrame(DMFrameKind::Report, 0x01020304, payload.data(), payload.size());
    ASSERT_EQ(wire.size(), payload.size() + kDMFrameOverhead);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 7), (Bytes{9, 0, 3, 4, 3, 2, 1}));
    EXPECT_EQ(Bytes(wire.begin() + 7, wire.begin() + 11), payload);
    const std::uint16_t check = DMFrameChecksum(wire.data(), 11);
    EXPECT_EQ(wire[11], check & 0xFF);
    EXPECT_EQ(wire[12], check >> 8);
    // The CRC-16 with polynomial 0x1021 and start 0xFFFF of "123456789".
    const Bytes digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(DMFrameChecksum(digits.data(), digits.size()), 0x29B1);
}

TEST(DMFrame, FramesSurviveAnySplitOfTheStream) {
    Bytes wire;
    std::vector<DMFrame> sent = {{DMFrameKind::Reply, 0, {0x4B, 1, 2, 3, 0, 9}},
                                 {DMFrameKind::Report, 15, {}},
                                 {DMFrameKind::NotSupported, 0, {0x4B, 0x6D, 1, 0}},
                                 {DMFrameKind::Request, 0, Bytes(300, 0x5A)}};
    for (const DMFrame& f : sent) ASSERT_TRUE(EncodeDMFrame(f, wire));
    for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, wire.size()}) {
        SCOPED_TRACE(piece);
        DMFrameDecoder decoder;
        std::vector<DMFrame> got = DecodeInPieces(wire, piece, &decoder);
        ASSERT_EQ(got.size(), sent.size());
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(got[i].kind, sent[i].kind);
            EXPECT_EQ(got[i].reportId, sent[i].reportId);
            EXPECT_EQ(got[i].payload, sent[i].payload);
        }
        EXPECT_EQ(decoder.SkippedBytes(), 0u);
        EXPECT_EQ(decoder.Buffered(), 0u);
    }
}

TEST(DMFrame, DecoderSkipsNoiseAndDamagedFramesAndFindsTheNextOne) {
    const Bytes good = EncodeDMFrame(DMFrameKind::Reply, 0, Bytes{0x00, 7}.data(), 2);
    Bytes damaged = good;
    damaged[8] ^= 0x40;  // a payload bit flipped: the check no longer agrees
    Bytes unknownKind = good;
    unknownKind[2] = 9;
    struct Case {
        const char* name;
        Bytes before;
    } cases[] = {{"noise", {0xFF, 0x01, 0x00, 0x02}},
                 {"length below five", {0x04, 0x00, 0x02, 0, 0, 0, 0, 0, 0}},
                 // Without a bound the decoder would wait for 8 KB that never come.
                 {"length above the largest frame", {0x00, 0x20, 0x02}},
                 {"damaged frame", damaged},
                 {"unknown kind", unknownKind}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes wire = c.before;
        wire.insert(wire.end(), good.begin(), good.end());
        DMFrameDecoder decoder;
        std::vector<DMFrame> got = DecodeInPieces(wire, 3, &decoder);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].payload, (Bytes{0x00, 7}));
        EXPECT_EQ(decoder.SkippedBytes(), c.before.size());
    }
}

TEST(DMFrame, PayloadTooLargeForTheLengthIsRefusedAndWritesNothing) {
    DMFrame big{DMFrameKind::Request, 0, Bytes(kDMFrameMaxPayload + 1, 1)};
    Bytes out = {1, 2};
    EXPECT_FALSE(EncodeDMFrame(big, out));
    EXPECT_EQ(out, (Bytes{1, 2}));
    big.payload.pop_back();
    EXPECT_TRUE(EncodeDMFrame(big, out));
    EXPECT_EQ(out.size(), 2 + kDMFrameMaxPayload + kDMFrameOverhead);
}

TEST(DMFrame, AnExceptionFromTheSinkLosesOnlyThatFrame) {
    Bytes wire = EncodeDMFrame(DMFrameKind::Report, 1, nullptr, 0);
    Bytes second = EncodeDMFrame(DMFrameKind::Report, 2, nullptr, 0);
    wire.insert(wire.end(), second.begin(), second.end());
    DMFrameDecoder decoder;
    std::vector<std::uint32_t> ids;
    auto sink = [&](DMFrame&& f) {
        if (f.reportId == 1) throw std::runtime_error("sink failed");
        ids.push_back(f.reportId);
    };
    EXPECT_THROW(decoder.Feed(wire.data(), wire.size(), sink), std::runtime_error);
    decoder.Feed(nullptr, 0, sink);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{2}));
}

}  // namespace
