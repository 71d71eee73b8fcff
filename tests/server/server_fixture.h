// Tests with real processes: a machine server for a fresh folder, the stand-in program that plays
// App registered as "App.exe", and helpers to read what a process printed.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "machine/control/server_client.h"

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/machine-server-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        folder_ = tmpl;
        server_ = sim::control::ServerClient::StartServer(MODEM_SERVER_PROGRAM, folder_ + "/m");
        ASSERT_NE(server_, nullptr);
        ASSERT_TRUE(server_->RegisterProgram(L"App.exe", MODEM_STAND_IN_PROGRAM));
    }
    void TearDown() override {
        server_.reset();  // kills the server if the test did not stop it
        std::system(("rm -rf '" + folder_ + "'").c_str());
    }

    // Starts the stand-in with these arguments; its output goes to a file named after `tag`.
    sim::control::ServerClient::Started Start(const std::wstring& args, const std::string& tag) {
        auto started = server_->StartProcess(L"C:\\Program Files\\Modem\\App.exe",
                                             L"\"C:\\Program Files\\Modem\\App.exe\" " + args,
                                             OutputPath(tag));
        EXPECT_TRUE(started.has_value());
        return started.value_or(sim::control::ServerClient::Started{});
    }
    std::string OutputPath(const std::string& tag) const { return folder_ + "/" + tag + ".out"; }
    std::string Output(const std::string& tag) const {
        std::ifstream in(OutputPath(tag));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string folder_;
    std::unique_ptr<sim::control::ServerClient> server_;
};
