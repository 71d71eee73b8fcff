#include "machine/serial.h"

#include <cstring>

#include <winbase.h>
#include "machine/devices.h"
#include "machine/machine.h"

namespace sim {

namespace {

// The settings a freshly opened port reports.
DCB DefaultState() {
    DCB d;
    std::memset(&d, 0, sizeof d);
    d.DCBlength = sizeof(DCB);
    d.BaudRate = CBR_9600;
    d.fBinary = 1;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fRtsControl = RTS_CONTROL_ENABLE;
    d.XonLim = 2048;
    d.XoffLim = 512;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = ONESTOPBIT;
    d.XonChar = 0x11;
    d.XoffChar = 0x13;
    return d;
}

}  // namespace

SerialPort::SerialPort(std::wstring name) : name_(std::move(name)), state_(DefaultState()) {}

DCB SerialPort::State() const {
    std::lock_guard<std::mutex> lk(mu_);
    return state_;
}

COMMTIMEOUTS SerialPort::Timeouts() const {
    std::lock_guard<std::mutex> lk(mu_);
    return timeouts_;
}

std::string SerialPort::Written() const {
    std::lock_guard<std::mutex> lk(mu_);
    return written_;
}

bool SerialPort::IsOpen() const {
    std::lock_guard<std::mutex> lk(mu_);
    return open_;
}

int SerialPort::Opens() const {
    std::lock_guard<std::mutex> lk(mu_);
    return opens_;
}

int SerialPort::StateChanges() const {
    std::lock_guard<std::mutex> lk(mu_);
    return stateChanges_;
}

void SerialPort::SetInitialState(const DCB& dcb) {
    std::lock_guard<std::mutex> lk(mu_);
    state_ = dcb;
}

void SerialPort::ClearWritten() {
    std::lock_guard<std::mutex> lk(mu_);
    written_.clear();
}

DWORD SerialPort::Acquire() {
    std::lock_guard<std::mutex> lk(mu_);
    if (open_) return ERROR_ACCESS_DENIED;
    open_ = true;
    ++opens_;
    return 0;
}

void SerialPort::Release() {
    std::lock_guard<std::mutex> lk(mu_);
    open_ = false;
}

void SerialPort::ApplyState(const DCB& dcb) {
    std::lock_guard<std::mutex> lk(mu_);
    state_ = dcb;
    ++stateChanges_;
}

void SerialPort::ApplyTimeouts(const COMMTIMEOUTS& timeouts) {
    std::lock_guard<std::mutex> lk(mu_);
    timeouts_ = timeouts;
}

void SerialPort::Append(const void* bytes, DWORD count) {
    std::lock_guard<std::mutex> lk(mu_);
    written_.append(static_cast<const char*>(bytes), count);
}

std::shared_ptr<SerialPort> SerialPortTable::Add(const std::wstring& name) {
    auto port = Port(name);
    std::lock_guard<std::mutex> lk(mu_);
    added_.insert(Upper(name));
    return port;
}

void SerialPortTable::Remove(const std::wstring& name) {
    std::lock_guard<std::mutex> lk(mu_);
    added_.erase(Upper(name));
}

std::shared_ptr<SerialPort> SerialPortTable::Port(const std::wstring& name) {
    std::lock_guard<std::mutex> lk(mu_);
    auto& slot = models_[Upper(name)];
    if (!slot) slot = std::make_shared<SerialPort>(Upper(name));
    return slot;
}

std::shared_ptr<SerialPort> SerialPortTable::Find(const std::wstring& name,
                                                  std::wstring* instanceId) {
    std::wstring want = Upper(name);
    std::wstring owner;
    bool exists = false;
    {
        std::lock_guard<std::mutex> lk(mu_);
        exists = added_.count(want) != 0;
    }
    if (!exists) {
        for (const DeviceNode& node : machine().devices().Nodes()) {
            if (!node.Started()) continue;
            auto it = node.spec.deviceKey.find(L"PortName");
            if (it != node.spec.deviceKey.end() && Upper(it->second) == want) {
                exists = true;
                owner = node.spec.instanceId;
                break;
            }
        }
    }
    if (!exists) return nullptr;
    if (instanceId) *instanceId = owner;
    return Port(want);
}

bool SerialHandle::Present() const {
    if (instanceId.empty()) return true;
    DeviceNode node;
    return machine().devices().FindInstance(instanceId, &node) && node.Started();
}

std::wstring SerialPortNameOfPath(const std::wstring& path) {
    if (path.rfind(L"\\\\.\\", 0) != 0) return L"";
    std::wstring name = Upper(path.substr(4));
    if (name.size() < 4 || name.compare(0, 3, L"COM") != 0) return L"";
    for (std::size_t i = 3; i < name.size(); ++i)
        if (name[i] < L'0' || name[i] > L'9') return L"";
    if (name[3] == L'0') return L"";
    return name;
}

DWORD OpenSerialPort(const std::wstring& path, DWORD flags, HANDLE* out) {
    *out = INVALID_HANDLE_VALUE;
    std::wstring name = SerialPortNameOfPath(path);
    auto& m = machine();
    std::wstring instanceId;
    auto port = m.serialPorts().Find(name, &instanceId);
    if (!port) return ERROR_FILE_NOT_FOUND;
    if (DWORD e = m.faults().Take(DeviceOp::Open, path)) return e;
    if (DWORD e = port->Acquire()) return e;
    auto handle = std::make_shared<SerialHandle>();
    handle->port = port;
    handle->instanceId = instanceId;
    handle->overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
    *out = HandleTable::Get().Add(handle);
    return 0;
}

DWORD WriteSerialPort(SerialHandle& handle, const void* buffer, DWORD count, DWORD* written,
                      bool withOverlapped) {
    if (written) *written = 0;
    // Overlapped I/O is not simulated: a handle opened for it takes no plain writes, as on the
    // platform, and nothing in the system writes with an OVERLAPPED structure.
    if (handle.overlapped != withOverlapped) return ERROR_INVALID_PARAMETER;
    if (buffer == nullptr && count > 0) return ERROR_INVALID_USER_BUFFER;
    if (!handle.Present()) return ERROR_GEN_FAILURE;
    handle.port->Append(buffer, count);
    if (written) *written = count;
    return 0;
}

}  // namespace sim
