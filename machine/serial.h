// The machine's serial (COM) ports. A port exists while a started device node names it in the
// "PortName" value of its device key (the simulated modem's ports while it is in modem mode), or
// while a test has added it. Each port has a model that records what its opener did: the line
// settings and time-outs it set and the bytes it wrote. A port may have a device side (a
// stand-in attached through the control API): it receives what the opener writes and sends bytes
// that the opener's reads return, within the port's read time-outs on the machine clock.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include <winbase.h>
#include "machine/handles.h"
#include "machine/waits.h"

namespace sim {

class DeviceTree;

// Where a program on a machine server takes its ports: a port open in one process is busy for
// the others. Acquire answers 0 or ERROR_ACCESS_DENIED.
class PortArbiter {
public:
    virtual ~PortArbiter() = default;
    virtual DWORD Acquire(const std::wstring& name) = 0;
    virtual void Release(const std::wstring& name) = 0;
};
// The process's arbiter from here on (it is kept for the process's life).
void UsePortArbiter(std::unique_ptr<PortArbiter> arbiter);

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

    // ---- The device side ----
    using DeviceSink = std::function<void(const std::uint8_t* data, std::size_t n)>;
    // Where the opener's writes go (called on the writer's thread); empty: nowhere.
    void SetDeviceSink(DeviceSink sink);
    // Bytes for the opener's reads; dropped (false) while the port is not open.
    bool DeviceSend(const std::uint8_t* data, std::size_t n);
    // Ends the reads that wait (the device went: they fail).
    void WakeReaders();

    // ---- Used by the layer ----
    // Takes the port for one opener: 0, or ERROR_ACCESS_DENIED while it is open.
    DWORD Acquire();
    void Release();
    void ApplyState(const DCB& dcb);
    void ApplyTimeouts(const COMMTIMEOUTS& timeouts);
    void Append(const void* bytes, DWORD count);
    // Takes up to n received bytes (kernel lock held); returns how many.
    std::size_t TakeLocked(std::uint8_t* out, std::size_t n);
    // Bumped (kernel lock held) when bytes arrive or the readers are woken.
    ChangeCounter& ArrivedLocked() { return arrived_; }
    std::uint64_t LastArrivalLocked() const { return lastArrival_; }

private:
    std::wstring name_;
    mutable std::mutex mu_;
    DCB state_;
    COMMTIMEOUTS timeouts_{};
    std::string written_;
    bool open_ = false;
    int opens_ = 0;
    int stateChanges_ = 0;
    DeviceSink sink_;
    // Guarded by the kernel lock: the bytes not read yet, the time the last ones came.
    std::deque<std::uint8_t> inbound_;
    std::uint64_t lastArrival_ = 0;
    ChangeCounter arrived_;
};

class SerialPortTable {
public:
    // Wakes a port's waiting readers when the device node behind it goes.
    explicit SerialPortTable(DeviceTree& devices);
    ~SerialPortTable();
    SerialPortTable(const SerialPortTable&) = delete;
    SerialPortTable& operator=(const SerialPortTable&) = delete;

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
    DeviceTree& devices_;
    int listener_;
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
// ReadFile on a port handle, with the port's read time-outs on the machine clock: 0 and what came
// within them (possibly nothing), or the error (ERROR_GEN_FAILURE once the device is gone, also
// for a read that was waiting).
DWORD ReadSerialPort(SerialHandle& handle, void* buffer, DWORD count, DWORD* read,
                     bool withOverlapped);

}  // namespace sim
