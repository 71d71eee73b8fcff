// A simulated machine ready for the installer: the program folder with the language files and
// driver folders of assets/, a COM-port database, Quosset beside the program and a stand-in
// Ulvane that records how it was started.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include "installer/installer.h"
#include "brevant/brevant_sim.h"
#include "miravel/miravel_sim.h"
#include "quosset/quosset_sim.h"
#include <winbase.h>
#include <winreg.h>
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/registry.h"

class InstallerTest : public SimTest {
protected:
    static constexpr const wchar_t* kComDbKey =
        L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
    static constexpr const wchar_t* kRoot = L"C:\\Program Files\\VARNI\\";

    // The Windows the machine runs; the program's place and language are set on top of it.
    virtual sim::Config BaseConfig() { return sim::Config::WindowsXP(); }
    sim::Config MachineConfig() override {
        sim::Config c = BaseConfig();
        c.programFolder = std::wstring(kRoot) + L"Bin\\";
        c.programName = L"Installer.exe";
        c.uiLanguage = 0x0409;
        return c;
    }

    void SetUp() override {
        SimTest::SetUp();
        brevant::ResetState();
        miravel::ResetState();
        quosset::ResetState();
        CopyAssets(L"Driver");
        CopyAssets(L"Localize");
        quosset::Install(Bin());
        // COM1 and COM2 belong to the machine's own ports.
        SetComDb({0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                  0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        for (const wchar_t* image : {L"Ulvane.exe", L"Ulvane64.exe"}) {
            M().WriteFile(Bin() + image, "MZ");
            M().processes().RegisterProgram(image, [this](const sim::ProcessRun& run) {
                std::lock_guard<std::mutex> lk(m_mu);
                m_serviceRuns.push_back(run.commandLine);
                m_comDbDuringServiceRuns.push_back(ComDb());
                return DWORD{0};
            });
        }
    }

    std::wstring Bin() { return M().config().programFolder; }

    // Puts a folder of assets/ on the machine beside the program's folder.
    void CopyAssets(const std::wstring& folder) {
        std::filesystem::path host = std::filesystem::path(MODEM_SOURCE_DIR) / "assets" / folder;
        ASSERT_GT(M().CopyFromHost(host, std::wstring(kRoot) + folder + L"\\"), 0);
    }

    void SetComDb(const std::vector<BYTE>& bytes) {
        M().registry().SetValue(kComDbKey, L"ComDB", sim::RegValue{REG_BINARY, bytes});
    }
    std::vector<BYTE> ComDb() {
        sim::RegValue value;
        if (!M().registry().GetValue(kComDbKey, L"ComDB", &value)) return {};
        return value.data;
    }

    int Run(std::vector<std::wstring> args) {
        args.insert(args.begin(), L"Installer.exe");
        std::vector<wchar_t*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        return InstallerMain(static_cast<int>(args.size()), argv.data());
    }

    std::vector<std::wstring> ServiceRuns() {
        std::lock_guard<std::mutex> lk(m_mu);
        return m_serviceRuns;
    }
    std::vector<std::vector<BYTE>> ComDbDuringServiceRuns() {
        std::lock_guard<std::mutex> lk(m_mu);
        return m_comDbDuringServiceRuns;
    }

    std::vector<std::wstring> BoxTexts() {
        std::vector<std::wstring> out;
        for (const auto& b : miravel::Boxes()) out.push_back(b.text);
        return out;
    }

private:
    std::mutex m_mu;
    std::vector<std::wstring> m_serviceRuns;
    std::vector<std::vector<BYTE>> m_comDbDuringServiceRuns;
};
