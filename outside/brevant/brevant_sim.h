// Test controls and journal of the Brevant stand-in (not part of the library's exports).
#pragma once

#include <string>
#include <vector>

#include <windef.h>

namespace brevant {

// One Update call as the library saw it.
struct UpdateRecord {
    std::wstring infPath;
    std::wstring hardwareId;
    bool succeeded = false;
    DWORD error = 0;                        // the last error of a failed update
    std::vector<std::wstring> instanceIds;  // the devices the driver was bound to
    std::vector<int> comPorts;              // COM numbers given to them (0: none)
    std::vector<BYTE> comDbBefore;          // "ComDB" as the update found it (empty: no value)
};

// A driver bound to a device function.
struct Binding {
    std::wstring instanceId;
    std::wstring hardwareId;
    std::wstring infPath;
    int comPort = 0;  // 0 when the setup class takes no COM number
};

// Forgets the journal, the bindings and the scripted outcomes.
void ResetState();
// The next `count` updates (of this hardware ID, or of any when it is empty) fail with the error.
void FailUpdates(DWORD error, int count = 1, const std::wstring& hardwareId = L"");
// Whether successful updates ask for a restart.
void RequireRestart(bool restart);

std::vector<UpdateRecord> Updates();
std::vector<std::wstring> Uninstalls();  // .inf paths, one per Uninstall call
std::vector<Binding> Bindings();
int InstallersCreated();
int InstallersAlive();  // created and not yet released

}  // namespace brevant
