// The install table: one row per USB interface of every supported model, the installer that
// handles it, its progress and failure texts, and whether the install waits for it.
#pragma once

#include <string>
#include <vector>

#include "app/device_status.h"  // the driver folder and its .inf files, shared with App
#include "brevant/brevant.h"

struct InstallItem {
    IDriverInstaller** Slot = nullptr;  // which installer handles the row; null once done/dropped
    std::wstring HardwareId;
    std::wstring MessageKey;  // group "Setup"
    std::wstring FailureKey;  // group "Setup"
    bool Required = false;
};

// The five installers of an install, created in this order: modem, serial 1 to 4.
struct DriverInstallers {
    IDriverInstaller* Modem = nullptr;
    IDriverInstaller* Serial[4] = {nullptr, nullptr, nullptr, nullptr};
};

inline constexpr int kInstallTableRows = 39;

// The 39 rows, with slots pointing into `installers`.
std::vector<InstallItem> BuildInstallTable(DriverInstallers& installers);

// The index of the first row (in table order, slot and installer set) whose device is present;
// passes every 300 ms for up to 120 s; count on time-out.
int WaitForAnyItem(int count, std::vector<InstallItem>& rows);
// Clears the slot of every row whose hardware ID lacks the suffix.
void KeepModelItems(int count, std::vector<InstallItem>& rows, const std::wstring& suffix);
// The model suffix ("_FFF1", ...) that a hardware ID carries, or empty.
std::wstring FindModelSuffix(const std::wstring& hardwareId);

// Whether an (upper-case) hardware ID is one of the supported USB devices.
bool IsSupportedUsbId(const std::wstring& hardwareId);
// Whether a supported USB device is present in modem mode.
bool IsModemModePresent();
