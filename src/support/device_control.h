// Acts on device instances: enable and disable, the USB chip's CD-ROMs, eject, and the test
// whether the modem is up in modem mode.
#pragma once

#include <string>

// Enables or disables the instance with exactly this ID (letter case included).
bool SetDeviceInstanceState(const std::wstring& instanceId, bool enable);
// True when at least one CD-ROM instance of the USB chip was found.
bool SetUsbChipCdromState(bool enable, bool presentOnly);
// True when an eject request for the modem succeeded.
bool EjectDevice();
// The device counts as present when at least three present nodes carry supported IDs and none of
// them reports a problem or an unreadable status.
bool IsDevicePresent();
