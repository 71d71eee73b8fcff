// The machine for tests of App's windows: a Chinese (PRC) user in time zone UTC+8, the modem
// plugged in and its driver installed, the default skin in the program's folder, the windows'
// templates linked, and a message pump that lets the machine's time run while it waits.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_resources.h"
#include "common/connect_view_host.h"
#include "common/window_helper.h"
#include "docking/image_cache.h"
#include "docking/render_pool.h"
#include "machine/control/resources.h"
#include "machine/modem.h"
#include "machine/ras.h"
#include <afxwin.h>

namespace app_test {

// The modem driver's .inf, from which the modem is recognised.
inline void InstallModemDriver(sim::Machine& m) {
    std::string inf =
        "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
        "ClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}\r\n"
        "[Manufacturer]\r\nVarni=VarniModem\r\n"
        "[VarniModem]\r\nModem=Modem.Install,USB\\VID_3A5C&PID_FFF1&MI_00\r\n";
    m.WriteFile(m.config().programFolder + L"..\\Driver\\WinXP\\CT_VARNI_U_MDM.inf", inf);
}

// Copies the project's default skin into the machine's program folder.
inline bool InstallDefaultSkin(sim::Machine& m) {
    const std::filesystem::path from =
        std::filesystem::path(MODEM_SOURCE_DIR) / "assets" / "skin" / "default";
    bool ok = true;
    for (const auto& entry : std::filesystem::directory_iterator(from)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        ok = m.WriteFile(m.config().programFolder + L"skin\\default\\" +
                             entry.path().filename().wstring(),
                         bytes) &&
             ok;
    }
    return ok;
}

using app_host::kHostTemplate;
using app_host::Templates;

class AppWindowTest : public WindowTest {
protected:
    sim::Config MachineConfig() override {
        sim::Config c = WindowTest::MachineConfig();
        c.userLocale = 0x0804;
        c.timeZoneBias = -480;
        return c;
    }
    void SetUp() override {
        WindowTest::SetUp();
        InstallModemDriver(M());
        sim::ModemOptions o;
        o.startInModemMode = true;
        modem_ = sim::SimModem::Plug(o);
        ASSERT_TRUE(InstallDefaultSkin(M()));
        control::LinkResources(&Templates());
        ASSERT_TRUE(AfxWinInit(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW));
        System::Docking::StartDrawingLibrary();
    }
    void TearDown() override {
        System::Docking::WaitRenderPoolIdle();
        AfxDeleteTemporaryObjects();
    }

    sim::Ras& Ras() { return sim::Ras::Get(); }

    // Handles this thread's messages, letting the machine's time run while nothing comes, until
    // `done` holds or `limitMs` of machine time have passed. Whether it held.
    static bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 60000) {
        const DWORD start = GetTickCount();
        for (;;) {
            Drain();
            System::Docking::WaitRenderPoolIdle();
            Drain();
            if (done()) return true;
            if (GetTickCount() - start > limitMs) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
    // Lets `ms` of machine time pass while handling messages.
    static void PumpFor(DWORD ms) {
        const DWORD start = GetTickCount();
        PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
    }

    std::shared_ptr<sim::SimModem> modem_;
};

}  // namespace app_test
