// The demo's parts, each run alone in a process of its own as `modem_demo <part>` runs it, and the
// whole demo: on the virtual clock, so that the machine's pauses cost nothing.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "demo/demo.h"

namespace {

int Count(const std::string& text, const std::string& needle) {
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

struct Part {
    const char* name;
    const char* heading;
    const char* shows;  // a line of the part's road
};

void PrintTo(const Part& part, std::ostream* os) {
    *os << part.name;
}

class DemoPartTest : public ::testing::TestWithParam<Part> {};

TEST_P(DemoPartTest, RunsAloneUnderOneHeading) {
    const Part& part = GetParam();
    testing::internal::CaptureStdout();
    int rc = RunDemo(part.name, sim::ClockMode::Virtual);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(Count(out, part.heading), 1) << out;
    EXPECT_EQ(Count(out, "\n=="), 1) << out;  // no second heading inside the part
    EXPECT_NE(out.find(part.shows), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Parts, DemoPartTest,
    ::testing::Values(
        Part{"device", "=== The modem's road from disk mode to modem mode ===",
             "The modem is up in modem mode."},
        Part{"service", "=== The disk monitor service ===", "the service is stopped and removed"},
        Part{"dial", "=== A dial ===",
             "App dials \"QOB Wireless Terminal\" on the modem \"CDMA USB Modem\""},
        Part{"setup", "=== A new user's road: install, service, dial, uninstall ===",
             "The new user's road ended well."},
        Part{"road", "=== A new user's road, each program in a process of its own ===",
             "The new user's road ended well."},
        Part{"skin",
             "=== App's dialogs in the default skin ===", "The dialogs show the default skin."},
        Part{"dm", "=== The device command library against the simulated modem ===",
             "The command library's tour ended well."},
        Part{"app",
             "=== App on the machine, end to end ===", "The user ends App; the tray is empty."}),
    [](const ::testing::TestParamInfo<Part>& info) { return std::string(info.param.name); });

TEST(DemoTest, DialConnectsAndHangsUpWithoutAnError) {
    testing::internal::CaptureStdout();
    int rc = RunDemo("dial", sim::ClockMode::Virtual);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out.find("error:"), std::string::npos) << out;
    EXPECT_EQ(Count(out, "] connected\n"), 1) << out;
    EXPECT_NE(out.find("Dialled, connected and hung up."), std::string::npos) << out;
}

// The lines a user of the command library reads, in the order they come.
TEST(DemoTest, DmShowsTheModemThePinThePhoneBookAndTheMessages) {
    testing::internal::CaptureStdout();
    int rc = RunDemo("dm", sim::ClockMode::Virtual);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0) << out;
    std::size_t at = 0;
    for (const char* line : {
             "The command library is connected to the modem on COM4, its diagnostics port.\n",
             "Firmware version: M1.2.07 B126 20261102\n",
             "ESN: 9F015A3C\n",
             "Signal: 4 of 6 bars\n",
             "Entering PIN 0000: refused; tries left 2\n",
             "Entering PIN 1234: accepted; tries left 3\n",
             "Phone book: loaded, 3 of 20 slots used\n",
             "(book) added at 3: Carol\n",
             "Sorted by name:\n",
             "  1. Anna ",
             "  2. Carol    +15550199      (slot 1)\n",
             "  4. Zoe ",
             "Inbox: loaded, 1 of 10 slots used\n",
             "(inbox) new message at 0\n",
             "Inbox: 2 messages, 1 unread\n",
             "  1. slot 3, from +15550117, 2026-12-09 18:02, unread: Running late, see you at "
             "six\n",
             "  2. slot 0, from +15550142, ",
             "Send: accepted; the device's send-status report: sent (result 0)\n",
             "Link: down; a signal query: refused\n",
             "The modem is plugged in again; a new service opens COM4.\n",
             "Signal: 4 of 6 bars (accepted)\n",
         }) {
        const std::size_t found = out.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << out;
        at = found + std::string(line).size();
    }
}

TEST(DemoTest, WholeDemoRunsEveryPartOnceUnderItsHeading) {
    testing::internal::CaptureStdout();
    int rc = RunDemo(nullptr, sim::ClockMode::Virtual);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(Count(out, "\n=="), 8) << out;
    for (const char* heading :
         {"=== The modem's road",
          "=== The disk monitor service ===", "=== A dial ===", "=== A new user's road: install",
          "=== A new user's road, each program", "=== App's dialogs in the default skin ===",
          "=== The device command library against the simulated modem ===",
          "=== App on the machine, end to end ==="})
        EXPECT_EQ(Count(out, heading), 1) << heading;
}

TEST(DemoTest, HelpAndUnknownPartsGiveTheUsage) {
    struct Case {
        std::vector<std::string> args;
        int rc;
    };
    const Case cases[] = {
        {{"--help"}, 0},  {{"-h"}, 0},           {{"dial", "--help"}, 0},
        {{"nothing"}, 2}, {{"--screenshot"}, 2}, {{"nothing", "--screenshot", "x.png"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "modem_demo");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        testing::internal::CaptureStdout();
        EXPECT_EQ(DemoMain(static_cast<int>(argv.size()), argv.data(), sim::ClockMode::Virtual),
                  c.rc);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.rfind("usage: modem_demo [device|service|dial|setup|road|skin|dm|app] "
                            "[--screenshot <file>]\n",
                            0),
                  0u)
            << out;
        EXPECT_EQ(out.find("==="), std::string::npos);  // no part ran
    }
}

}  // namespace
