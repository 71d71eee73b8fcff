// Brevant: the driver-installation library beside the programs. One installer object per .inf
// file installs, tests and removes that file's driver for the devices it names.
#pragma once

#include <windef.h>

class IDriverInstaller {
public:
    // The .inf file this installer was made for.
    virtual const wchar_t* InfPath() const = 0;
    // How many hardware IDs the .inf file's models name.
    virtual int HardwareIdCount() const = 0;
    // Unbinds the driver from every device it is bound to. True when the file's driver was bound
    // to at least one device.
    virtual bool Uninstall() = 0;
    // anyDevice 0: whether a present device carries this hardware ID. Otherwise (the ID is
    // ignored): whether a present device carries any ID that the .inf file names.
    virtual bool IsPresent(int anyDevice, const wchar_t* hardwareId) = 0;
    // Installs or updates the .inf file's driver for the present devices with this hardware ID;
    // *rebootNeeded tells whether a restart is needed. False with the thread's last error set
    // when the driver could not be installed.
    virtual bool Update(const wchar_t* hardwareId, bool* rebootNeeded) = 0;

protected:
    virtual ~IDriverInstaller() = default;
};

// An installer for the .inf file, or null (last error set) when the file is missing or cannot
// be read as an .inf file with at least one model.
IDriverInstaller* CreateInstaller(const wchar_t* infPath);
// Frees an installer; null is allowed.
void ReleaseInstaller(IDriverInstaller* installer);
