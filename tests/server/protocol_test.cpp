// The machine server's wire format and its answers, without sockets.
#include <gtest/gtest.h>

#include "machine/server/core.h"
#include "machine/wire.h"

namespace {

TEST(Wire, TextRoundTripsThroughUtf16) {
    sim::wire::Writer w;
    w.Text(L"QOB Raza Zevi \u4E2D\U0001F600").U32(7);
    sim::wire::Reader r(w.Bytes());
    std::wstring s;
    std::uint32_t v = 0;
    ASSERT_TRUE(r.Text(s));
    ASSERT_TRUE(r.U32(v));
    EXPECT_EQ(s, L"QOB Raza Zevi \u4E2D\U0001F600");
    EXPECT_EQ(v, 7u);
    EXPECT_TRUE(r.AtEnd());
}

}  // namespace
