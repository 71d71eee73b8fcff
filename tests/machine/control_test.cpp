// The machine's control API (machine/control/): modules the outside stand-ins put on the
// machine, and device nodes they list and enable or disable, as the platform's callers see them.
#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include <cfgmgr32.h>
#include "machine/control/devices.h"
#include "machine/control/modules.h"
#include <winbase.h>
#include "machine/devices.h"

namespace {

int Seven() {
    return 7;
}
int Eight() {
    return 8;
}

using Control = SimTest;

TEST_F(Control, AnInstalledModuleLoadsFromItsFolderWithItsExports) {
    const std::wstring folder = M().config().programFolder;
    control::RegisterModule(L"Stand.dll", {{"Seven", reinterpret_cast<void*>(&Seven)}});
    EXPECT_EQ(LoadLibraryW(L"Stand.dll"), nullptr);  // registered, but no file yet
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    control::InstallModule(folder, L"Stand.dll", {{"Seven", reinterpret_cast<void*>(&Seven)}});
    EXPECT_TRUE(M().FileExists(folder + L"Stand.dll"));
    HMODULE module = LoadLibraryW(L"STAND.DLL");
    ASSERT_NE(module, nullptr);
    auto seven = reinterpret_cast<int (*)()>(GetProcAddress(module, "Seven"));
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven(), 7);
    EXPECT_EQ(GetProcAddress(module, "Eight"), nullptr);
    FreeLibrary(module);

    // Registering the name again replaces the exports.
    control::RegisterModule(L"stand.dll", {{"Eight", reinterpret_cast<void*>(&Eight)}});
    module = LoadLibraryW(L"Stand.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, "Seven"), nullptr);
    auto eight = reinterpret_cast<int (*)()>(GetProcAddress(module, "Eight"));
    ASSERT_NE(eight, nullptr);
    EXPECT_EQ(eight(), 8);
    FreeLibrary(module);
}

class ControlDevices : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        for (const wchar_t* id :
             {L"USBSTOR\\CDROM&VEN_ABC&PROD_1\\7&1", L"USB\\VID_1&PID_2\\1",
              L"USBSTOR\\CdRom&Ven_Abc&Prod_2\\7&2", L"USBSTOR\\DISK&VEN_ABC\\7&3"}) {
            sim::DeviceNodeSpec spec;
            spec.instanceId = id;
            nodes_.push_back(M().devices().Plug(spec));
        }
        M().devices().Unplug(nodes_[2]);
    }
    ULONG Problem(DWORD devInst) {
        ULONG status = 0, problem = 0;
        EXPECT_EQ(CM_Get_DevNode_Status(&status, &problem, devInst, 0),
                  static_cast<CONFIGRET>(CR_SUCCESS));
        return problem;
    }
    std::vector<DWORD> nodes_;
};

TEST_F(ControlDevices, NodesByPrefixIgnoreCaseAndShowPresence) {
    auto cdroms = control::DeviceNodes(L"usbstor\\cdrom&ven_abc");
    ASSERT_EQ(cdroms.size(), 2u);
    EXPECT_EQ(cdroms[0].instanceId, L"USBSTOR\\CDROM&VEN_ABC&PROD_1\\7&1");
    EXPECT_TRUE(cdroms[0].present);
    EXPECT_EQ(cdroms[1].instanceId, L"USBSTOR\\CdRom&Ven_Abc&Prod_2\\7&2");
    EXPECT_FALSE(cdroms[1].present);
    EXPECT_TRUE(cdroms[0].enabled);
    EXPECT_EQ(control::DeviceNodes(L"").size(), 4u);
    EXPECT_TRUE(control::DeviceNodes(L"PCI\\").empty());
}

TEST_F(ControlDevices, DisablingAndEnablingANodeAsTheConfigurationManagerReportsIt) {
    const std::wstring id = L"USBSTOR\\CDROM&VEN_ABC&PROD_1\\7&1";
    EXPECT_TRUE(control::SetDeviceEnabled(L"usbstor\\cdrom&ven_abc&prod_1\\7&1", false));
    EXPECT_EQ(Problem(nodes_[0]), static_cast<ULONG>(CM_PROB_DISABLED));
    EXPECT_FALSE(control::DeviceNodes(id)[0].enabled);
    EXPECT_EQ(Problem(nodes_[1]), 0u);  // the others keep running

    // The state stays while the device is away.
    M().devices().Unplug(nodes_[0]);
    sim::DeviceNodeSpec again;
    again.instanceId = id;
    M().devices().Plug(again);
    EXPECT_EQ(Problem(nodes_[0]), static_cast<ULONG>(CM_PROB_DISABLED));

    EXPECT_TRUE(control::SetDeviceEnabled(id, true));
    EXPECT_EQ(Problem(nodes_[0]), 0u);
    EXPECT_TRUE(control::DeviceNodes(id)[0].enabled);

    EXPECT_FALSE(control::SetDeviceEnabled(L"USBSTOR\\CDROM&VEN_NONE\\1", false));
}

}  // namespace
