// The machine server's screen, input and notification area, driven through the request core
// without sockets: the server gathers the programs' windows before it answers, routes input by
// what it gathered, and keeps every program's icons.
#include <string>

#include "desk_fixture.h"
#include "machine/machine.h"
#include "machine/server/screen.h"

namespace {

using desk_test::Kind;
using desk_test::Writer;
using sim::server::ClientId;

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kDesktop = 0x3A6EA5;

class DeskTest : public desk_test::DeskCore {
protected:
    // A program with one visible window of that handle.
    ClientId Showing(std::uint64_t hwnd) {
        ClientId c = Program();
        Note(c, Kind::WindowAdded, Writer().U64(hwnd).U32(4).Text(L"Main").Text(L"Shown").U8(1));
        return c;
    }
    // The gather the server asked the program to answer (0: none asked).
    std::uint32_t Asked(ClientId c) {
        auto asked = Pushed(c, Kind::LayersWanted);
        return asked.size() > answered_[c] ? asked[answered_[c]++].id : 0;
    }
    // The program answers the gather with its window as a square of one colour.
    void Answer(ClientId c, std::uint32_t gather, std::uint64_t hwnd, int left, int top, int side,
                std::uint32_t rgb) {
        std::string rows;
        for (int i = 0; i < side * side; ++i) {
            std::uint32_t p = 0xFF000000u | rgb;
            rows.append(reinterpret_cast<const char*>(&p), 4);
        }
        Note(c, Kind::LayerBand,
             Writer().U32(gather).U64(hwnd).U32(side).U32(side).U32(0).Blob(rows));
        Done(c, gather, hwnd, left, top, side);
    }
    void Done(ClientId c, std::uint32_t gather, std::uint64_t hwnd, int left, int top, int side) {
        Note(c, Kind::LayersDone,
             Writer()
                 .U32(gather)
                 .U32(1)
                 .U64(hwnd)
                 .I32(left)
                 .I32(top)
                 .I32(left + side)
                 .I32(top + side)
                 .U8(255)
                 .U8(0));
    }
    // The answer's number: a pixel, or the pid that took an input.
    std::uint32_t Pixel(ClientId control, std::uint32_t request) {
        EXPECT_EQ(Status(control, request), 0u);
        std::uint32_t rgb = 0;
        sim::wire::Reader(body_).U32(rgb);
        return rgb;
    }
    std::uint32_t AskPixel(ClientId control, int x, int y) {
        return Send(control, Kind::ScreenPixel, Writer().I32(x).I32(y));
    }
    std::uint32_t Inject(ClientId control, sim::wire::InputOp op, int x, int y) {
        return Send(control, Kind::InjectInput,
                    Writer().U8(static_cast<std::uint8_t>(op)).U8(0).I32(x).I32(y).U32(0x71));
    }
    std::map<ClientId, std::size_t> answered_;
};

TEST_F(DeskTest, APictureIsAnsweredOnceEveryShowingProgramHasAnsweredOrGone) {
    ClientId below = Showing(0x10);
    ClientId above = Showing(0x20);
    ClientId hidden = Program();
    ClientId control = Control();
    auto request = AskPixel(control, 5, 5);
    std::uint32_t a = Asked(below), b = Asked(above);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_EQ(Asked(hidden), 0u);  // a program without a visible window is not asked
    Answer(below, a, 0x10, 0, 0, 10, kRed);
    EXPECT_FALSE(Status(control, request).has_value());
    // The other program leaves without answering: the picture is what the rest gave.
    core_.Disconnect(above);
    EXPECT_EQ(Pixel(control, request), kRed);

    // Two answers: the window on top shows where they overlap, each its own part elsewhere.
    ClientId top = Showing(0x30);
    for (auto [x, y, rgb] :
         {std::tuple{5, 5, kGreen}, std::tuple{1, 1, kRed}, std::tuple{20, 20, kDesktop}}) {
        request = AskPixel(control, x, y);
        Answer(below, Asked(below), 0x10, 0, 0, 10, kRed);
        Answer(top, Asked(top), 0x30, 4, 4, 10, kGreen);
        EXPECT_EQ(Pixel(control, request), rgb) << x << "," << y;
    }
}

TEST_F(DeskTest, MouseInputGoesToTheTopmostWindowUnderThePointAndKeysToTheFrontOne) {
    ClientId back = Showing(0x10);
    ClientId front = Showing(0x20);
    ClientId control = Control();
    auto click = Inject(control, sim::wire::InputOp::Click, 2, 2);
    // Routed by the rectangles the programs give (no pictures asked).
    std::uint32_t g = Asked(back);
    Done(back, g, 0x10, 0, 0, 10);
    Done(front, Asked(front), 0x20, 50, 50, 10);
    EXPECT_NE(Pixel(control, click), 0u);  // the pid of the program that took it
    EXPECT_EQ(Pushed(back, Kind::InputEvent).size(), 1u);
    EXPECT_TRUE(Pushed(front, Kind::InputEvent).empty());
    // Over nothing: nobody takes it.
    click = Inject(control, sim::wire::InputOp::Click, 30, 30);
    Done(back, Asked(back), 0x10, 0, 0, 10);
    Done(front, Asked(front), 0x20, 50, 50, 10);
    EXPECT_EQ(Pixel(control, click), 0u);
    EXPECT_EQ(Pushed(back, Kind::InputEvent).size(), 1u);
    // A key needs no gather: the newest window is in front.
    ASSERT_EQ(Request(control, Kind::InjectInput,
                      Writer()
                          .U8(static_cast<std::uint8_t>(sim::wire::InputOp::Key))
                          .U8(0)
                          .I32(0)
                          .I32(0)
                          .U32(0x71)),
              0u);
    EXPECT_EQ(Pushed(front, Kind::InputEvent).size(), 1u);
}

// The screen's bottom is the taskbar; a program's balloon shows above its icon there.
TEST_F(DeskTest, TheScreenShowsTheTaskbarAndAProgramsBalloon) {
    ClientId owner = Program();
    ClientId control = Control();
    const sim::Config machine;
    const int bottom = machine.screenHeight - 1, right = machine.screenWidth - 1;
    const int aboveBar = machine.screenHeight - machine.taskbarHeight - 20;
    EXPECT_EQ(Pixel(control, AskPixel(control, 5, bottom)), 0x245EDCu);
    EXPECT_EQ(Pixel(control, AskPixel(control, right - 24, aboveBar)), kDesktop);
    Note(owner, Kind::TrayIconSet,
         Writer().U64(0x10).U32(1).U8(1).Text(L"Tip").U8(1).Text(L"Title").Text(L"x").U64(0).U32(
             10000));
    EXPECT_EQ(Pixel(control, AskPixel(control, right - 24, aboveBar)), 0xFFFFE1u);
    EXPECT_EQ(Pixel(control, AskPixel(control, 5, bottom)), 0x245EDCu);
}

TEST_F(DeskTest, BadBandsAreDroppedAndTheRestOfTheAnswerCounts) {
    ClientId program = Showing(0x10);
    ClientId stranger = Showing(0x20);
    ClientId control = Control();
    auto request = AskPixel(control, 1, 1);
    std::uint32_t g = Asked(program);
    std::string row(4 * 4, '\xFF');
    // Rows not whole, a side too large, a first row past the end, more rows than the window has.
    for (const Writer& bad : {Writer().U32(g).U64(0x10).U32(4).U32(4).U32(0).Blob(row + "x"),
                              Writer()
                                  .U32(g)
                                  .U64(0x10)
                                  .U32(sim::server::ScreenDesk::kMaxSide + 1)
                                  .U32(1)
                                  .U32(0)
                                  .Blob(""),
                              Writer().U32(g).U64(0x10).U32(4).U32(4).U32(4).Blob(row),
                              Writer().U32(g).U64(0x10).U32(4).U32(1).U32(0).Blob(row + row)})
        Note(program, Kind::LayerBand, bad);
    // A program that was asked nothing of this gather is not heard for it.
    Note(stranger, Kind::LayerBand, Writer().U32(g + 100).U64(0x20).U32(4).U32(4).U32(0).Blob(row));
    Done(program, g, 0x10, 0, 0, 4);
    Done(stranger, Asked(stranger), 0x20, 40, 40, 4);
    EXPECT_EQ(Pixel(control, request), kDesktop);
}

struct BadRequest {
    const char* what;
    Kind kind;
    Writer payload;
    std::uint32_t status;
};

class BadDeskRequest : public DeskTest, public ::testing::WithParamInterface<BadRequest> {};

TEST_P(BadDeskRequest, FailsAloneAndTheServerGoesOn) {
    ClientId control = Control();
    EXPECT_EQ(Request(control, GetParam().kind, GetParam().payload), GetParam().status);
    EXPECT_EQ(Request(control, Kind::TrayIcons, Writer()), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, BadDeskRequest,
    ::testing::Values(
        BadRequest{"PictureWithBytes", Kind::ScreenPng, Writer().U8(0), ERROR_INVALID_PARAMETER},
        BadRequest{"TruncatedPoint", Kind::ScreenPixel, Writer().I32(1), ERROR_INVALID_PARAMETER},
        BadRequest{"UnknownInput", Kind::InjectInput, Writer().U8(8).U8(0).I32(0).I32(0).U32(0),
                   ERROR_INVALID_PARAMETER},
        BadRequest{"ThirdButton", Kind::InjectInput, Writer().U8(0).U8(2).I32(0).I32(0).U32(0),
                   ERROR_INVALID_PARAMETER},
        BadRequest{"TrailingBytes", Kind::ScreenPixel, Writer().I32(1).I32(1).U8(0),
                   ERROR_INVALID_PARAMETER},
        BadRequest{"UnknownClick", Kind::TrayClick, Writer().U64(1).U32(1).U8(3),
                   ERROR_INVALID_PARAMETER},
        BadRequest{"NoSuchIcon", Kind::TrayClick, Writer().U64(1).U32(1).U8(1),
                   ERROR_INVALID_WINDOW_HANDLE},
        BadRequest{"UnknownKind", static_cast<Kind>(0xBF), Writer(), ERROR_INVALID_FUNCTION}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(DeskTest, AProgramSpeaksOnlyOfItsOwnIconsAndAClickGoesToTheirOwner) {
    ClientId owner = Program();
    ClientId other = Program();
    ClientId control = Control();
    auto icon = [](std::uint32_t id, std::uint8_t callback, const wchar_t* tip) {
        return Writer().U64(0x10).U32(id).U8(callback).Text(tip).U8(0).Text(L"").Text(L"");
    };
    Note(owner, Kind::TrayIconSet, icon(1, 1, L"Tip"));
    Note(owner, Kind::TrayIconSet, icon(2, 0, L"Quiet"));
    Note(other, Kind::TrayIconGone, Writer().U64(0x10).U32(1));
    Note(control, Kind::TrayIconSet, icon(3, 1, L"Control"));
    ASSERT_EQ(Request(control, Kind::TrayIcons, Writer()), 0u);
    std::uint32_t count = 0;
    sim::wire::Reader(body_).U32(count);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(Request(control, Kind::TrayClick, Writer().U64(0x10).U32(1).U8(1)), 0u);
    EXPECT_EQ(Pushed(owner, Kind::TrayClicked).size(), 1u);
    // The owner asked for no callback: the click is refused.
    EXPECT_EQ(Request(control, Kind::TrayClick, Writer().U64(0x10).U32(2).U8(0)),
              ERROR_INVALID_WINDOW_HANDLE);
    core_.Disconnect(owner);
    ASSERT_EQ(Request(control, Kind::TrayIcons, Writer()), 0u);
    sim::wire::Reader(body_).U32(count);
    EXPECT_EQ(count, 0u);
}

}  // namespace
