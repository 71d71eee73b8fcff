// The machine's serial (COM) ports. A port exists while a started device node names it in the
// "PortName" value of its device key (the simulated modem's ports while it is in modem mode), or
// while a test has added it. Each port has a model that records what its opener did: the line
// settings and time-outs it set and the bytes it wrote.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include <winbase.h>
#include "machine/handles.h"

namespace sim {

class SerialPort {
public:
    explicit SerialPort(std::wstring name);
    const std::wstring& Name() const { return name_; }

    // ---- What the port received ----
    DCB State() const;
    COMMTIMEOUTS Timeouts() const;
    std::string Written() const;
    bool IsOpen() const;
    int Opens() const;         // successful opens so far
    int StateChanges() const;  // accepted SetCommState calls

    // ---- Test controls ----
    // The settings the port reports before anyone sets them.
    void SetInitialState(const DCB& dcb);
    void ClearWritten();

    // ---- Used by the layer ----
    // Takes the port for one opener: 0, or ERROR_ACCESS_DENIED while it is open.
    DWORD Acquire();
    void Release();
    void ApplyState(const DCB& dcb);
    void ApplyTimeouts(const COMMTIMEOUTS& timeouts);
    void Append(const void* bytes, DWORD count);

private:
    std::wstring name_;
    mutable std::mutex mu_;
    DCB state_;
    COMMTIMEOUTS timeouts_{};
    std::string written_;
    bool open_ = false;
    int opens_ = 0;
    int stateChanges_ = 0;
};

class SerialPortTable {
public:
    // Adds a port that is there without a device node (for example a built-in "COM1").
    std::shared_ptr<SerialPort> Add(const std::wstring& name);
    void Remove(const std::wstring& name);
    // The port of that name ("COM4", case ignored) when it exists now, else null. instanceId
    // receives the instance ID of the device node that names it (empty for an added port).
    std::shared_ptr<SerialPort> Find(const std::wstring& name, std::wstring* instanceId = nullptr);
    // The model of the port of that name, whether or not the port exists now: tests read what
    // it received through this.
    std::shared_ptr<SerialPort> Port(const std::wstring& name);

private:
    std::mutex mu_;
    std::map<std::wstring, std::shared_ptr<SerialPort>> models_;  // key: upper-case name
    std::set<std::wstring> added_;
};

// An open handle to a port. The port is released when its last handle closes.
struct SerialHandle : KObject {
    std::shared_ptr<SerialPort> port;
    std::wstring instanceId;  // the device node behind the port, when there is one
    bool overlapped = false;
    void OnLastHandleClosed() override { port->Release(); }
    // Whether the port is still there (the device behind it may have been unplugged).
    bool Present() const;
};

// The COM port name of a "\\.\COMn" path ("COMn"), or empty when the path names no COM port.
std::wstring SerialPortNameOfPath(const std::wstring& path);
// CreateFileW of a COM port: 0 and a new handle in *out, or the error with INVALID_HANDLE_VALUE
// (ERROR_FILE_NOT_FOUND when no such port exists now, ERROR_ACCESS_DENIED while it is open, or
// the error a test injected for the path, machine/faults.h).
DWORD OpenSerialPort(const std::wstring& path, DWORD flags, HANDLE* out);
// WriteFile on a port handle: 0, or the error.
DWORD WriteSerialPort(SerialHandle& handle, const void* buffer, DWORD count, DWORD* written,
                      bool withOverlapped);

}  // namespace sim
