// The machine server's window directory, driven through the request core without sockets:
// programs tell it of their windows; it finds them in one z-order and carries messages between
// programs.
#include "desk_fixture.h"

namespace {

using desk_test::Kind;
using desk_test::Writer;
using DirectoryTest = desk_test::DeskCore;

TEST_F(DirectoryTest, FindWindowTakesTheFirstMatchInTheMachinesZOrder) {
    auto a = Program();
    auto b = Program();
    AddWindow(a, 0x10, L"Main", L"Raza Zevi");
    AddWindow(b, 0x20, L"#32770", L"raza zevi");
    // The newest window is on top; the title is compared whole, case ignored.
    EXPECT_EQ(Find(a, nullptr, L"RAZA ZEVI"), 0x20u);
    EXPECT_EQ(Find(a, nullptr, L"Raza"), 0u);
    EXPECT_EQ(Find(a, L"main", nullptr), 0x10u);
    // A window put on top of every other is found first.
    Note(a, Kind::WindowPlaced, Writer().U64(0x10).U64(0));
    EXPECT_EQ(Find(b, nullptr, L"Raza Zevi"), 0x10u);
    // A retitled window is found by its new title; a removed one no more.
    Note(a, Kind::WindowChanged, Writer().U64(0x10).Text(L"Other").U8(1));
    EXPECT_EQ(Find(b, nullptr, L"Raza Zevi"), 0x20u);
    Note(b, Kind::WindowRemoved, Writer().U64(0x20));
    EXPECT_EQ(Find(a, nullptr, L"Raza Zevi"), 0u);
}

TEST_F(DirectoryTest, AProgramSpeaksOnlyOfItsOwnWindows) {
    auto a = Program();
    auto b = Program();
    AddWindow(a, 0x10, L"Main", L"Mine");
    Note(b, Kind::WindowChanged, Writer().U64(0x10).Text(L"Stolen").U8(1));
    Note(b, Kind::WindowRemoved, Writer().U64(0x10));
    AddWindow(b, 0x10, L"Main", L"Twin");
    ASSERT_EQ(Request(b, Kind::WindowInfo, Writer().U64(0x10)), 0u);
    sim::wire::Reader r(body_);
    std::uint64_t hwnd = 0;
    std::uint32_t pid = 0, thread = 0;
    std::wstring className, title;
    r.U64(hwnd);
    r.U32(pid);
    r.U32(thread);
    r.Text(className);
    r.Text(title);
    EXPECT_EQ(title, L"Mine");
    EXPECT_NE(thread, 0u);
}

TEST_F(DirectoryTest, ASentMessageIsAnsweredByItsReceiverOnlyOrWithZeroWhenTheReceiverLeaves) {
    auto owner = Program();
    auto sender = Program();
    auto other = Program();
    AddWindow(owner, 0x10, L"Main", L"Desk");
    EXPECT_EQ(Request(sender, Kind::SendWindow, SendTo(0x10, 0x8002)), std::nullopt);
    auto pushed = Pushed(owner, Kind::SentMessage);
    ASSERT_EQ(pushed.size(), 1u);
    const std::uint32_t message = pushed[0].id;
    // Another program cannot answer it; its receiver can.
    Note(other, Kind::SentDone, Writer().U32(message).U64(5));
    EXPECT_TRUE(Pushed(sender, Kind::Reply).empty());
    Note(owner, Kind::SentDone, Writer().U32(message).U64(42));
    auto replies = Pushed(sender, Kind::Reply);
    ASSERT_EQ(replies.size(), 1u);
    std::uint32_t status = 1;
    std::uint64_t result = 0;
    sim::wire::Reader r(replies[0].payload);
    r.U32(status);
    r.U64(result);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(result, 42u);

    // A receiver that leaves releases whoever waits on it, with 0.
    std::uint32_t second = Send(sender, Kind::SendWindow, SendTo(0x10, 0x8001));
    EXPECT_EQ(Status(sender, second), std::nullopt);
    core_.Disconnect(owner);
    ASSERT_EQ(Status(sender, second), 0u);
    EXPECT_EQ(Result(), 0u);
    EXPECT_EQ(Request(sender, Kind::PostWindow, Writer().U64(0x10).U32(1).U64(0).U64(0)),
              static_cast<std::uint32_t>(ERROR_INVALID_WINDOW_HANDLE));
}

// Bad requests of the directory fail alone.
struct BadWindowRequest {
    const char* what;
    bool control;
    Kind kind;
    std::string payload;
    std::uint32_t status;
};

class BadWindowRequestTest : public DirectoryTest,
                             public ::testing::WithParamInterface<BadWindowRequest> {};

TEST_P(BadWindowRequestTest, FailsThatRequestOnly) {
    const BadWindowRequest& b = GetParam();
    auto c = b.control ? Control() : Program();
    sim::wire::Frame raw;
    raw.kind = b.kind;
    raw.id = 900;
    raw.payload = b.payload;
    std::string bytes = sim::wire::Encode(raw);
    ASSERT_TRUE(core_.Receive(c, bytes.data(), bytes.size()));
    EXPECT_EQ(Status(c, 900), b.status) << b.what;
    EXPECT_EQ(Request(c, Kind::Ping, Writer()), 0u) << b.what;
}

INSTANTIATE_TEST_SUITE_P(
    Directory, BadWindowRequestTest,
    ::testing::Values(
        BadWindowRequest{"find cut short", false, Kind::FindWindow, std::string("\x01", 1),
                         ERROR_INVALID_PARAMETER},
        BadWindowRequest{"info of no window", false, Kind::WindowInfo, Writer().U64(7).Bytes(),
                         ERROR_INVALID_WINDOW_HANDLE},
        BadWindowRequest{"send cut short", false, Kind::SendWindow, Writer().U64(7).Bytes(),
                         ERROR_INVALID_PARAMETER},
        BadWindowRequest{"send to no window", false, Kind::SendWindow,
                         Writer().U64(7).U32(1).U64(0).U64(0).U8(0).U64(0).Blob("").Bytes(),
                         ERROR_INVALID_WINDOW_HANDLE},
        BadWindowRequest{"watch for no windows", true, Kind::WatchWindow,
                         Writer().Text(L"x").U32(0).U32(4).Bytes(), ERROR_INVALID_PARAMETER},
        BadWindowRequest{"watch with no event", true, Kind::WatchWindow,
                         Writer().Text(L"x").U32(1).U32(4).Bytes(), ERROR_INVALID_HANDLE},
        BadWindowRequest{"a button that is none", true, Kind::ScriptBox,
                         Writer().I32(99).U32(0).Bytes(), ERROR_INVALID_PARAMETER},
        BadWindowRequest{"a box shown by no program", true, Kind::ShowBox,
                         Writer().Text(L"c").Text(L"t").U32(0).U64(0).Bytes(),
                         ERROR_INVALID_PARAMETER},
        BadWindowRequest{"an unused kind of the range", false, static_cast<Kind>(0x7E), "",
                         ERROR_INVALID_FUNCTION}));

}  // namespace
