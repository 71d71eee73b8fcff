// Base fixture: every test starts on a fresh simulated machine on virtual time.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine/machine.h"

class SimTest : public ::testing::Test {
protected:
    // Override to start on another machine.
    virtual sim::Config MachineConfig() { return sim::Config::WindowsXP(); }
    void SetUp() override { sim::Machine::Reset(MachineConfig()); }

    sim::Machine& M() { return sim::machine(); }

    // The captured debugger output lines that contain `needle`.
    std::vector<std::wstring> DebugLines(const std::wstring& needle = L"") {
        std::vector<std::wstring> out;
        for (const auto& l : M().DebugOutput())
            if (needle.empty() || l.find(needle) != std::wstring::npos) out.push_back(l);
        return out;
    }
    // Switches the diagnostic log on for this run (before the first log call).
    void EnableLog() { M().WriteFile(M().config().programFolder + L"EnableLog.txt", ""); }
};

// A fixture of the base kind on a machine whose ANSI code page is codePage.
template <class Base, UINT codePage>
class WithCodePage : public Base {
protected:
    sim::Config MachineConfig() override {
        sim::Config c = Base::MachineConfig();
        c.ansiCodePage = codePage;
        return c;
    }
};
