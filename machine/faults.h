// Failures that tests make the machine's facilities report: the next calls of one operation of
// one facility (all of them, or only those for one key, such as a path) fail with an error, as
// often as asked. Tests inject them through machine().faults(); the platform layer takes them
// where the operation begins.
//
//   M().faults().Inject(sim::FileOp::Open, ERROR_SHARING_VIOLATION, 1, L"C:\\data\\a.txt");
//   M().faults().Inject(sim::ServiceOp::SetStatus, ERROR_INVALID_HANDLE);  // every call
//   M().faults().Inject(sim::RegistryOp::SetValue, ERROR_ACCESS_DENIED, 1,
//                       L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Value");
#pragma once

#include <concepts>
#include <mutex>
#include <string>
#include <vector>

#include "machine/trace.h"  // Facility
#include <windef.h>

namespace sim {

// The operations that can be made to fail, one enumeration per facility, with the key that
// their calls are matched by.
enum class FileOp {
    Open,  // CreateFileW of a file; key: the file's path (any spelling of it)
};
enum class DeviceOp {
    // CreateFileW of a device interface or a COM port; key: the interface's symbolic link
    // ("\\?\..."; opened as "\\.\..." too), or the port's path ("\\.\COMn")
    Open,
};
enum class RasOp {
    Status,  // RasGetConnectStatusW of a connection RAS knows; no key
};
// Registry operations; key: the key's full path as the machine spells it
// ("HKEY_LOCAL_MACHINE\\SYSTEM\\..."; HKEY_CURRENT_USER as "HKEY_USERS\\<user>"), followed for a
// value by '\\' and the value's name.
enum class RegistryOp {
    Open,         // RegOpenKeyExW and RegCreateKeyExW; key: the key's path
    QueryValue,   // RegQueryValueExW; key: the key's path and the value's name
    SetValue,     // RegSetValueExW; key: the key's path and the value's name
    DeleteValue,  // RegDeleteValueW; key: the key's path and the value's name
};
enum class ServiceOp {
    OpenManager,           // OpenSCManagerW; no key
    SetStatus,             // SetServiceStatus; no key
    RegisterNotification,  // RegisterDeviceNotificationW of a service; no key
};

constexpr Facility FacilityOf(FileOp) {
    return Facility::Files;
}
constexpr Facility FacilityOf(DeviceOp) {
    return Facility::Devices;
}
constexpr Facility FacilityOf(RasOp) {
    return Facility::Ras;
}
constexpr Facility FacilityOf(RegistryOp) {
    return Facility::Registry;
}
constexpr Facility FacilityOf(ServiceOp) {
    return Facility::Services;
}

template <class Op>
concept FaultOperation = requires(Op op) {
    { FacilityOf(op) } -> std::same_as<Facility>;
};

class Faults {
public:
    // The next `count` calls of the operation fail with `error` (count < 0: every call). With a
    // key, only the calls for that key do; keys compare as the machine compares names (without
    // regard to case, '/' as '\'). A new injection for the same operation and key replaces the
    // old one; error 0 or count 0 removes it.
    template <FaultOperation Op>
    void Inject(Op op, DWORD error, int count = -1, const std::wstring& key = L"") {
        Set(FacilityOf(op), static_cast<int>(op), key, error, count);
    }

    // For the platform layer: the error that this call of the operation fails with (0: none).
    // A keyed injection for the call's key comes before one for every key; each use counts the
    // injection down.
    template <FaultOperation Op>
    DWORD Take(Op op, const std::wstring& key = L"") {
        return Next(FacilityOf(op), static_cast<int>(op), key);
    }

private:
    struct Entry {
        Facility facility;
        int operation;
        std::wstring key;  // normalised; empty: every call
        DWORD error;
        int remaining;  // < 0: every call
    };
    void Set(Facility facility, int operation, const std::wstring& key, DWORD error, int count);
    DWORD Next(Facility facility, int operation, const std::wstring& key);
    // The entry for exactly this key (mu_ held).
    std::vector<Entry>::iterator FindLocked(Facility facility, int operation,
                                            const std::wstring& key);

    std::mutex mu_;
    std::vector<Entry> entries_;
};

}  // namespace sim
