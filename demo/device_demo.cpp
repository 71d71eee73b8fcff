// Demo: the road of a plugged-in modem on a simulated Windows XP machine, from disk mode to modem
// mode, through the device support library alone.
#include <cstdio>
#include <string>

#include "demo/demo.h"
#include <winbase.h>
#include "machine/machine.h"
#include "machine/modem.h"
#include "support/device_control.h"
#include "support/device_enum.h"
#include "support/platform_helpers.h"
#include "support/scsi_switch.h"

namespace {

void Say(const char* format, const std::wstring& value = L"") {
    std::printf(format, sim::ToUtf8(value).c_str());
    std::fflush(stdout);
}

}  // namespace

int RunDeviceDemo(sim::ClockMode clock) {
    sim::Config config = ResetDemoMachine(L"Ulvane.exe", clock, 4.0);

    std::printf("Simulated Windows %u.%u, version code %d, %s\n", config.major, config.minor,
                GetOsVersionCode(), Is64BitWindows() ? "64-bit" : "32-bit");
    Say("Program folder: %s\n", GetModuleFolder());

    auto modem = sim::SimModem::Plug();
    Say("Plugged in the modem: %s\n", modem->UsbInstanceId());
    std::printf("Device present in modem mode: %s\n", IsDevicePresent() ? "yes" : "no");

    std::wstring cdrom;
    if (!FindDeviceCdrom(cdrom)) {
        std::printf("The modem's CD-ROM was not found.\n");
        return 1;
    }
    Say("Found the modem's CD-ROM: %s\n", cdrom);

    BYTE cdb[16] = {};
    int length = 0;
    BuildSwitchCdb(0, cdb, length);
    std::printf("Mode-switch command: %02X %02X %02X (sent as 6 bytes)\n", cdb[0], cdb[1], cdb[2]);
    if (!SendScsiCommand(cdrom, cdb, length)) {
        std::printf("Sending the command failed.\n");
        return 1;
    }
    std::printf("[%.1fs] Command sent; waiting for the modem...\n", DemoSeconds());

    DWORD start = GetTickCount();
    while (!IsDevicePresent()) {
        if (GetTickCount() - start > 120000) {
            std::printf("The modem never came up.\n");
            return 1;
        }
        Sleep(500);
    }
    std::printf("[%.1fs] The modem is up in modem mode.\n", DemoSeconds());
    std::wstring modemPath;
    if (FindDeviceModem(modemPath)) Say("Modem interface: %s\n", modemPath);
    std::wstring again;
    std::printf("CD-ROM still there: %s\n", FindDeviceCdrom(again) ? "yes" : "no");
    return 0;
}
