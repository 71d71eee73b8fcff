// The machine server's wire format.
#include <gtest/gtest.h>

#include <string>

#include "machine/wire.h"

namespace {

using sim::wire::Frame;
using sim::wire::FrameBuffer;
using sim::wire::Kind;

TEST(Wire, TextRoundTripsThroughUtf16) {
    sim::wire::Writer w;
    w.Text(L"QOB Raza Zevi \u4E2D\U0001F600").U32(7);
    // The character past the basic plane travels as a surrogate pair: 17 units in all.
    EXPECT_EQ(w.Bytes().size(), 4u + 17u * 2u + 4u);
    sim::wire::Reader r(w.Bytes());
    std::wstring s;
    std::uint32_t v = 0;
    ASSERT_TRUE(r.Text(s));
    ASSERT_TRUE(r.U32(v));
    EXPECT_EQ(s, L"QOB Raza Zevi \u4E2D\U0001F600");
    EXPECT_EQ(v, 7u);
    EXPECT_TRUE(r.AtEnd());
}

// Texts whose units are not well-formed UTF-16, and what they read as.
struct OddText {
    const char* what;
    std::string units;  // little-endian code units
    std::wstring read;
};
// The case's name in the test list (not its bytes and pointers).
void PrintTo(const OddText& t, std::ostream* os) { *os << t.what; }

class OddTextTest : public ::testing::TestWithParam<OddText> {};

TEST_P(OddTextTest, ReadsWithTheReplacementCharacter) {
    const OddText& t = GetParam();
    sim::wire::Writer w;
    w.U32(static_cast<std::uint32_t>(t.units.size() / 2));
    std::string bytes = w.Bytes() + t.units;
    sim::wire::Reader r(bytes);
    std::wstring s;
    ASSERT_TRUE(r.Text(s)) << t.what;
    EXPECT_EQ(s, t.read) << t.what;
    EXPECT_TRUE(r.AtEnd()) << t.what;
}

INSTANTIATE_TEST_SUITE_P(
    Wire, OddTextTest,
    ::testing::Values(OddText{"lone high half at the end", std::string("A\0\x00\xD8", 4),
                              L"A\uFFFD"},
                      OddText{"lone low half", std::string("\x00\xDC" "B\0", 4), L"\uFFFDB"},
                      OddText{"high half before a plain unit", std::string("\x00\xD8" "C\0", 4),
                              L"\uFFFDC"}));

TEST(Wire, AReaderFailsPastTheEndAndStaysFailed) {
    sim::wire::Writer w;
    w.U32(1000);  // a text of 1000 units with none behind it
    sim::wire::Reader r(w.Bytes());
    std::wstring s;
    EXPECT_FALSE(r.Text(s));
    std::uint8_t b = 0;
    EXPECT_FALSE(r.U8(b));
    EXPECT_FALSE(r.Ok());
}

TEST(Wire, FramesArriveWholeWhateverPiecesTheStreamComesIn) {
    Frame a;
    a.kind = Kind::Ping;
    a.id = 1;
    Frame b;
    b.kind = Kind::Reply;
    b.id = 2;
    b.payload = std::string(5000, 'x');
    std::string stream = sim::wire::Encode(a) + sim::wire::Encode(b);
    FrameBuffer in;
    std::vector<Frame> got;
    for (std::size_t i = 0; i < stream.size(); i += 7) {
        in.Append(stream.data() + i, std::min<std::size_t>(7, stream.size() - i));
        while (auto f = in.Next()) got.push_back(*f);
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, Kind::Ping);
    EXPECT_EQ(got[1].id, 2u);
    EXPECT_EQ(got[1].payload, b.payload);
    EXPECT_FALSE(in.Partial());
}

TEST(Wire, ALengthShorterThanTheHeaderOrPastTheLimitBreaksTheStream) {
    for (std::uint32_t length : {0u, 7u, sim::wire::kMaxFrame + 1}) {
        sim::wire::Writer w;
        w.U32(length).U32(0).U32(0);
        FrameBuffer in;
        in.Append(w.Bytes().data(), w.Bytes().size());
        EXPECT_FALSE(in.Next().has_value()) << length;
        EXPECT_TRUE(in.Broken()) << length;
    }
}

}  // namespace
