// Device information sets, interfaces, registry properties, class-installer property changes and
// the configuration manager over the machine's device tree.
#include <cstddef>
#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include <cfgmgr32.h>
#include <winbase.h>
#include <setupapi.h>
#include "machine/devices.h"

namespace {

class Devices : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        sim::DeviceNodeSpec hub;
        hub.instanceId = L"USB\\VID_1111&PID_2222\\1";
        hub.classGuid = GUID_DEVCLASS_USB;
        hub.className = L"USB";
        hub.description = L"Hub";
        hubInst = Tree().Plug(hub);

        sim::DeviceNodeSpec cd;
        cd.instanceId = L"USBSTOR\\CDROM&VEN_X\\7&1";
        cd.hardwareIds = {L"USBSTOR\\CdRomX", L"GenCdRom"};
        cd.classGuid = GUID_DEVCLASS_CDROM;
        cd.className = L"CDROM";
        cd.description = L"CD-ROM Drive";
        cd.friendlyName = L"X CD Device";
        cd.interfaces = {{GUID_DEVINTERFACE_CDROM, L""}};
        cdInst = Tree().Plug(cd, hubInst);

        sim::DeviceNodeSpec old = cd;
        old.instanceId = L"USBSTOR\\CDROM&VEN_Y\\7&2";
        old.friendlyName = L"Y CD Device";
        oldInst = Tree().Plug(old);
        Tree().Unplug(oldInst);
    }
    sim::DeviceTree& Tree() { return M().devices(); }

    // The device instances of a set.
    std::vector<DWORD> Members(HDEVINFO set) {
        std::vector<DWORD> out;
        SP_DEVINFO_DATA d{sizeof d};
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &d); ++i) out.push_back(d.DevInst);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
        return out;
    }
    std::vector<DWORD> ClassMembers(const GUID* guid, DWORD flags) {
        HDEVINFO set = SetupDiGetClassDevsW(guid, nullptr, nullptr, flags);
        EXPECT_NE(set, INVALID_HANDLE_VALUE);
        auto out = Members(set);
        SetupDiDestroyDeviceInfoList(set);
        return out;
    }
    SP_DEVINFO_DATA DataFor(HDEVINFO set, DWORD devInst) {
        SP_DEVINFO_DATA d{sizeof d};
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &d); ++i)
            if (d.DevInst == devInst) return d;
        ADD_FAILURE() << "device " << devInst << " not in the set";
        return d;
    }
    // Disables or enables through the class installer, as the system's code does.
    BOOL PropertyChange(DWORD devInst, DWORD state, DWORD scope) {
        HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
        SP_DEVINFO_DATA d = DataFor(set, devInst);
        SP_PROPCHANGE_PARAMS p{};
        p.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
        p.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
        p.StateChange = state;
        p.Scope = scope;
        BOOL ok = SetupDiSetClassInstallParamsW(set, &d, &p.ClassInstallHeader, sizeof p) &&
                  SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &d);
        SetupDiDestroyDeviceInfoList(set);
        return ok;
    }
    ULONG Problem(DWORD devInst, ULONG* status = nullptr) {
        ULONG st = 0, problem = 0;
        EXPECT_EQ(CM_Get_DevNode_Status(&st, &problem, devInst, 0), CR_SUCCESS);
        if (status) *status = st;
        return problem;
    }

    DWORD hubInst = 0, cdInst = 0, oldInst = 0;
};

TEST_F(Devices, ClassDevsSelectByClassPresenceAndAllClasses) {
    EXPECT_EQ(ClassMembers(&GUID_DEVCLASS_CDROM, DIGCF_PRESENT), (std::vector<DWORD>{cdInst}));
    EXPECT_EQ(ClassMembers(&GUID_DEVCLASS_CDROM, 0), (std::vector<DWORD>{cdInst, oldInst}));
    // With DIGCF_ALLCLASSES the class given is ignored.
    EXPECT_EQ(ClassMembers(&GUID_DEVCLASS_CDROM, DIGCF_ALLCLASSES),
              (std::vector<DWORD>{hubInst, cdInst, oldInst}));
    EXPECT_EQ(ClassMembers(nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT),
              (std::vector<DWORD>{hubInst, cdInst}));
    EXPECT_EQ(SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SP_DEVINFO_DATA d{sizeof d - 1};
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_CDROM, nullptr, nullptr, 0);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Devices, InterfaceDetailAnswersSizeQueriesAndChecksCbSize) {
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_CDROM, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA iface{sizeof iface};
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_CDROM, 0, &iface));
    EXPECT_EQ(iface.Flags & SPINT_ACTIVE, static_cast<DWORD>(SPINT_ACTIVE));
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_CDROM, 1, &iface));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_CDROM, 0, &iface));

    std::wstring link =
        sim::DeviceTree::MakeSymbolicLink(L"USBSTOR\\CDROM&VEN_X\\7&1", GUID_DEVINTERFACE_CDROM);
    DWORD need = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &iface, nullptr, 0, &need, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(need, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                        (link.size() + 1) * sizeof(WCHAR));
    std::vector<std::byte> buf(need);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(buf.data());
    detail->cbSize = need;  // a common mistake: the whole size instead of the structure's
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, need, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, need - 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SP_DEVINFO_DATA dev{sizeof dev};
    ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, need, nullptr, &dev));
    EXPECT_EQ(std::wstring(detail->DevicePath), link);
    EXPECT_EQ(dev.DevInst, cdInst);
    EXPECT_TRUE(dev.ClassGuid == GUID_DEVCLASS_CDROM);
    SetupDiDestroyDeviceInfoList(set);

    // A disabled device's interface is not active, so a present-only list leaves it out.
    ASSERT_TRUE(PropertyChange(cdInst, DICS_DISABLE, DICS_FLAG_GLOBAL));
    set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_CDROM, nullptr, nullptr,
                               DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_CDROM, 0, &iface));
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(Devices, RegistryPropertiesAndInstanceIds) {
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    SP_DEVINFO_DATA cd = DataFor(set, cdInst);
    DWORD type = 0, need = 0;
    BYTE small[4];
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(set, &cd, SPDRP_FRIENDLYNAME, &type, small,
                                                   sizeof small, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(need, (std::wstring(L"X CD Device").size() + 1) * sizeof(WCHAR));
    std::vector<WCHAR> text(need / sizeof(WCHAR));
    ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyW(
        set, &cd, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<PBYTE>(text.data()), need, nullptr));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(text.data()), L"X CD Device");

    // Hardware IDs: a multi-string, each entry terminated and one more terminator at the end.
    ASSERT_FALSE(
        SetupDiGetDeviceRegistryPropertyW(set, &cd, SPDRP_HARDWAREID, &type, nullptr, 0, &need));
    std::vector<WCHAR> multi(need / sizeof(WCHAR));
    ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyW(
        set, &cd, SPDRP_HARDWAREID, &type, reinterpret_cast<PBYTE>(multi.data()), need, nullptr));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(std::wstring(multi.begin(), multi.end()),
              std::wstring(L"USBSTOR\\CdRomX\0GenCdRom\0\0", 25));

    SP_DEVINFO_DATA hub = DataFor(set, hubInst);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(
        set, &hub, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<PBYTE>(text.data()), need, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_FALSE(
        SetupDiGetDeviceRegistryPropertyW(set, &hub, SPDRP_HARDWAREID, &type, nullptr, 0, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));

    WCHAR id[64];
    DWORD chars = 0;
    EXPECT_FALSE(SetupDiGetDeviceInstanceIdW(set, &cd, id, 5, &chars));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(chars, std::wstring(L"USBSTOR\\CDROM&VEN_X\\7&1").size() + 1);
    ASSERT_TRUE(SetupDiGetDeviceInstanceIdW(set, &cd, id, 64, &chars));
    EXPECT_EQ(std::wstring(id), L"USBSTOR\\CDROM&VEN_X\\7&1");
    SP_DEVINFO_DATA stranger{sizeof stranger, {}, 999, 0};
    EXPECT_FALSE(SetupDiGetDeviceInstanceIdW(set, &stranger, id, 64, &chars));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(Devices, PropertyChangeDisablesGloballyOrPerConfigAndSurvivesReplugging) {
    ULONG status = 0;
    EXPECT_EQ(Problem(cdInst, &status), 0u);
    EXPECT_TRUE(status & DN_STARTED);
    ASSERT_TRUE(PropertyChange(cdInst, DICS_DISABLE, DICS_FLAG_GLOBAL));
    EXPECT_EQ(Problem(cdInst, &status), static_cast<ULONG>(CM_PROB_DISABLED));
    EXPECT_TRUE(status & DN_HAS_PROBLEM);
    EXPECT_FALSE(status & DN_STARTED);

    // Unplugged and plugged in again (the same instance), it comes back disabled.
    sim::DeviceNode node;
    ASSERT_TRUE(Tree().Find(cdInst, &node));
    Tree().Unplug(hubInst);
    ULONG st, pr;
    EXPECT_EQ(CM_Get_DevNode_Status(&st, &pr, cdInst, 0), CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(Tree().Plug(node.spec, hubInst), cdInst);
    EXPECT_EQ(Problem(cdInst), static_cast<ULONG>(CM_PROB_DISABLED));

    // The two scopes are separate switches.
    ASSERT_TRUE(PropertyChange(cdInst, DICS_DISABLE, DICS_FLAG_CONFIGSPECIFIC));
    ASSERT_TRUE(PropertyChange(cdInst, DICS_ENABLE, DICS_FLAG_GLOBAL));
    EXPECT_EQ(Problem(cdInst), static_cast<ULONG>(CM_PROB_DISABLED));
    ASSERT_TRUE(PropertyChange(cdInst, DICS_ENABLE, DICS_FLAG_CONFIGSPECIFIC));
    EXPECT_EQ(Problem(cdInst), 0u);

    // Calling the installer without parameters, or with bad ones, changes nothing.
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    SP_DEVINFO_DATA d = DataFor(set, cdInst);
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_CLASSINSTALL_PARAMS));
    SP_PROPCHANGE_PARAMS p{};
    p.ClassInstallHeader.cbSize = sizeof p;  // must be the header's size
    p.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    p.StateChange = DICS_DISABLE;
    p.Scope = DICS_FLAG_GLOBAL;
    EXPECT_FALSE(SetupDiSetClassInstallParamsW(set, &d, &p.ClassInstallHeader, sizeof p));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(Problem(cdInst), 0u);
}

TEST_F(Devices, DevNodeStatusProblemsAndParents) {
    Tree().SetProblem(L"usbstor\\cdrom&ven_x\\7&1", CM_PROB_FAILED_START);
    ULONG status = 0;
    EXPECT_EQ(Problem(cdInst, &status), static_cast<ULONG>(CM_PROB_FAILED_START));
    EXPECT_TRUE(status & DN_HAS_PROBLEM);
    Tree().SetProblem(L"USBSTOR\\CDROM&VEN_X\\7&1", 0);
    EXPECT_EQ(Problem(cdInst, &status), 0u);
    EXPECT_TRUE(status & DN_STARTED);

    ULONG pr;
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &pr, oldInst, 0), CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &pr, 4242, 0), CR_INVALID_DEVNODE);
    EXPECT_EQ(CM_Get_DevNode_Status(nullptr, &pr, cdInst, 0), CR_INVALID_POINTER);

    DEVINST parent = 0;
    EXPECT_EQ(CM_Get_Parent(&parent, cdInst, 0), CR_SUCCESS);
    EXPECT_EQ(parent, hubInst);
    EXPECT_EQ(CM_Get_Parent(&parent, oldInst, 0), CR_NO_SUCH_DEVNODE);

    // A plain device ejects: it and its children leave.
    PNP_VETO_TYPE veto = PNP_VetoDevice;
    WCHAR name[32] = L"unchanged";
    EXPECT_EQ(CM_Request_Device_EjectW(hubInst, &veto, name, 32, 0), CR_SUCCESS);
    EXPECT_EQ(veto, PNP_VetoTypeUnknown);
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &pr, cdInst, 0), CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(CM_Request_Device_EjectW(hubInst, &veto, name, 32, 0), CR_NO_SUCH_DEVNODE);
}

TEST_F(Devices, ListenersHearInterfaceArrivalsAndRemovalsInOrder) {
    std::vector<std::pair<bool, std::wstring>> heard;
    int id = Tree().AddListener([&](const sim::InterfaceEvent& e) {
        heard.push_back({e.arrival, e.instanceId});
    });
    sim::DeviceNodeSpec port;
    port.instanceId = L"USB\\VID_1111&PID_2222&MI_01\\6&1";
    port.classGuid = GUID_DEVCLASS_PORTS;
    port.interfaces = {{GUID_DEVINTERFACE_COMPORT, L""}, {GUID_DEVINTERFACE_MODEM, L""}};
    DWORD portInst = Tree().Plug(port, hubInst);
    ASSERT_TRUE(PropertyChange(cdInst, DICS_DISABLE, DICS_FLAG_GLOBAL));
    ASSERT_TRUE(PropertyChange(cdInst, DICS_ENABLE, DICS_FLAG_GLOBAL));
    Tree().Unplug(hubInst);
    Tree().RemoveListener(id);
    Tree().Plug(port, hubInst);
    const std::wstring cd = L"USBSTOR\\CDROM&VEN_X\\7&1";
    EXPECT_EQ(heard, (std::vector<std::pair<bool, std::wstring>>{{true, port.instanceId},
                                                                 {true, port.instanceId},
                                                                 {false, cd},
                                                                 {true, cd},
                                                                 {false, cd},
                                                                 {false, port.instanceId},
                                                                 {false, port.instanceId}}));
    EXPECT_NE(portInst, 0u);
    EXPECT_EQ(Tree().ActiveInterfaces(GUID_DEVINTERFACE_MODEM).size(), 1u);
}

}  // namespace
