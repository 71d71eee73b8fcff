// The packet: byte orders, raw reads, reads past the end, growth.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

#include "dm/packet.h"

// Every form of new below takes its memory from malloc and every delete gives it back with free;
// an optimising gcc sees free meet memory from operator new and would warn.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// Allocations of at least this many bytes fail while it is non-zero (one test arms it).
static std::size_t g_failAllocationsFrom = 0;

void* operator new(std::size_t size) {
    if (g_failAllocationsFrom != 0 && size >= g_failAllocationsFrom) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
// The non-throwing forms come from here too, so that every form pairs with the deletes below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Contents(const DMPacket& p) {
    return p.Size() == 0 ? Bytes() : Bytes(p.Data(), p.Data() + p.Size());
}

class PacketOrderTest : public ::testing::TestWithParam<bool> {};

TEST_P(PacketOrderTest, TypedFieldsFollowThePacketOrderBothWays) {
    const bool big = GetParam();
    DMPacket p(big);
    p.WriteU8(0xAB).WriteU16(0x1234).WriteU32(0x01020304);
    const Bytes expected = big ? Bytes{0xAB, 0x12, 0x34, 0x01, 0x02, 0x03, 0x04}
                               : Bytes{0xAB, 0x34, 0x12, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(Contents(p), expected);
    std::uint8_t b = 0;
    std::uint16_t w = 0;
    std::uint32_t d = 0;
    p.ReadU8(b).ReadU16(w).ReadU32(d);
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(w, 0x1234);
    EXPECT_EQ(d, 0x01020304u);
    EXPECT_EQ(p.Position(), 7u);
}

TEST_P(PacketOrderTest, RawReadsIgnoreThePacketOrder) {
    const Bytes wire{0x12, 0x34, 0x56, 0x78};
    DMPacket p(GetParam(), wire.data(), wire.size());
    std::uint16_t raw16 = 0;
    std::uint8_t raw[2] = {};
    p.ReadBytes(&raw16, 2).ReadBytes(raw, 2);
    EXPECT_EQ(raw16, 0x3412);  // host order, least significant byte first
    EXPECT_EQ(raw[0], 0x56);
    EXPECT_EQ(raw[1], 0x78);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, PacketOrderTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Big" : "Little"; });

// Each read of 4 bytes with 3 left: the text names the counters; nothing moves.
TEST(PacketTest, AReadPastTheEndNamesTheCountersAndMovesNothing) {
    struct Case {
        const char* name;
        void (*read)(DMPacket&, std::uint8_t* destination);
        std::uint32_t sizeRead;
    };
    const Case cases[] = {
        {"ReadBytes", [](DMPacket& p, std::uint8_t* d) { p.ReadBytes(d, 4); }, 4},
        {"ReadU32",
         [](DMPacket& p, std::uint8_t* d) {
             std::uint32_t v;
             p.ReadU32(v);
             std::memcpy(d, &v, 4);
         },
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes wire{1, 2, 3, 4, 5, 6, 7};
        DMPacket p(false, wire.data(), wire.size());
        std::uint32_t skip = 0;
        p.ReadU32(skip);
        std::uint8_t destination[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        try {
            c.read(p, destination);
            ADD_FAILURE() << "no exception";
        } catch (const CDMPacketException& e) {
            EXPECT_STREQ(e.what(), "DMPacket read failure. size:7 pos:4 maxSize:7 sizeRead:4");
            CDMPacketException copy(e);
            EXPECT_STREQ(copy.what(), e.what());
        }
        EXPECT_EQ(p.Position(), 4u);
        for (std::uint8_t b : destination) EXPECT_EQ(b, 0xEE);
    }
}

TEST(PacketTest, TheLastByteReadsThenTheNextRaises) {
    const Bytes wire{1, 2, 3, 4, 5};
    DMPacket p(true, wire.data(), wire.size());
    p.SetPosition(4);
    std::uint8_t b = 0;
    p.ReadU8(b);
    EXPECT_EQ(b, 5);
    p.ReadBytes(nullptr, 0);  // nothing asked, nothing read
    EXPECT_EQ(p.Position(), 5u);
    std::uint16_t w = 0xBEEF;
    EXPECT_THROW(p.ReadU8(b), CDMPacketException);
    try {
        p.ReadU16(w);
    } catch (const CDMPacketException& e) {
        EXPECT_STREQ(e.what(), "DMPacket read failure. size:5 pos:5 maxSize:5 sizeRead:2");
    }
    EXPECT_EQ(w, 0xBEEF);
    EXPECT_THROW(p.SetPosition(6), std::out_of_range);
    EXPECT_EQ(p.Position(), 5u);
}

TEST(PacketTest, CapacityGrowsByExactlyTheAppendedCount) {
    DMPacket p(false);
    const std::uint8_t data[4] = {1, 2, 3, 4};
    struct Step {
        std::size_t n;
        std::uint32_t capacity;
    };
    const Step steps[] = {{4, 4}, {3, 7}, {0, 7}, {1, 8}};
    Bytes expected;
    for (const Step& s : steps) {
        p.Append(data, s.n);
        expected.insert(expected.end(), data, data + s.n);
        EXPECT_EQ(p.Capacity(), s.capacity);
        EXPECT_EQ(Contents(p), expected);
    }
}

TEST(PacketTest, AnAppendPastFourGigabytesIsRefusedAndChangesNothing) {
    const Bytes wire{9, 8, 7};
    DMPacket p(false, wire.data(), wire.size());
    p.SetPosition(1);
    const std::uint8_t* buffer = p.Data();
    const std::size_t tooMany = std::numeric_limits<std::uint32_t>::max() - 2u;  // size + n = 2^32
    EXPECT_THROW(p.Append(wire.data(), tooMany), std::length_error);
    EXPECT_EQ(p.Data(), buffer);
    EXPECT_EQ(p.Size(), 3u);
    EXPECT_EQ(p.Capacity(), 3u);
    EXPECT_EQ(p.Position(), 1u);
    EXPECT_EQ(Contents(p), wire);
}

TEST(PacketTest, AFailedAllocationKeepsTheBufferSizeAndCapacity) {
    Bytes big(4096, 0x5A);
    DMPacket p(true, big.data(), big.size());
    const std::uint8_t* buffer = p.Data();
    g_failAllocationsFrom = 4096;
    EXPECT_THROW(p.WriteU8(1), std::bad_alloc);
    g_failAllocationsFrom = 0;
    EXPECT_EQ(p.Data(), buffer);
    EXPECT_EQ(p.Size(), 4096u);
    EXPECT_EQ(p.Capacity(), 4096u);
    EXPECT_EQ(Contents(p), big);
    p.WriteU8(1);  // and it still grows afterwards
    EXPECT_EQ(p.Size(), 4097u);
}

}  // namespace
