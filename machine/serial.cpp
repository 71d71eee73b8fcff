#include "machine/serial.h"

#include <cstring>

#include <algorithm>
#include <atomic>

#include <devguid.h>
#include <winbase.h>
#include "machine/devices.h"
#include "machine/machine.h"
#include "machine/threads.h"

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

std::atomic<PortArbiter*> g_arbiter{nullptr};

}  // namespace

void UsePortArbiter(std::unique_ptr<PortArbiter> arbiter) {
    delete g_arbiter.exchange(arbiter.release());
}

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
    {
        std::lock_guard<std::mutex> lk(mu_);
        if (open_) return ERROR_ACCESS_DENIED;
        open_ = true;
    }
    if (PortArbiter* arbiter = g_arbiter.load()) {
        if (DWORD e = arbiter->Acquire(name_)) {
            std::lock_guard<std::mutex> lk(mu_);
            open_ = false;
            return e;
        }
    }
    {
        std::lock_guard<std::mutex> lk(mu_);
        ++opens_;
    }
    std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
    inbound_.clear();  // an opener reads only what came while it had the port
    return 0;
}

void SerialPort::Release() {
    {
        std::lock_guard<std::mutex> lk(mu_);
        open_ = false;
    }
    if (PortArbiter* arbiter = g_arbiter.load()) arbiter->Release(name_);
}

void SerialPort::SetDeviceSink(DeviceSink sink) {
    std::lock_guard<std::mutex> lk(mu_);
    sink_ = std::move(sink);
}

bool SerialPort::DeviceSend(const std::uint8_t* data, std::size_t n) {
    {
        std::lock_guard<std::mutex> lk(mu_);
        if (!open_) return false;
    }
    auto& kernel = Kernel::Get();
    std::lock_guard<std::mutex> k(kernel.Mutex());
    inbound_.insert(inbound_.end(), data, data + n);
    lastArrival_ = kernel.NowLocked();
    arrived_.BumpLocked();
    return true;
}

void SerialPort::WakeReaders() {
    std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
    arrived_.BumpLocked();
}

std::size_t SerialPort::TakeLocked(std::uint8_t* out, std::size_t n) {
    const std::size_t taken = std::min(n, inbound_.size());
    std::copy_n(inbound_.begin(), taken, out);
    inbound_.erase(inbound_.begin(), inbound_.begin() + static_cast<std::ptrdiff_t>(taken));
    return taken;
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
    DeviceSink sink;
    {
        std::lock_guard<std::mutex> lk(mu_);
        written_.append(static_cast<const char*>(bytes), count);
        sink = sink_;
    }
    if (sink && count > 0) sink(static_cast<const std::uint8_t*>(bytes), count);
}

SerialPortTable::SerialPortTable(DeviceTree& devices) : devices_(devices) {
    listener_ = devices_.AddListener([this](const InterfaceEvent& e) {
        if (e.arrival || e.classGuid != GUID_DEVINTERFACE_COMPORT) return;
        DeviceNode node;
        if (!devices_.FindInstance(e.instanceId, &node)) return;
        auto it = node.spec.deviceKey.find(L"PortName");
        if (it != node.spec.deviceKey.end()) Port(it->second)->WakeReaders();
    });
}

SerialPortTable::~SerialPortTable() {
    devices_.RemoveListener(listener_);
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

DWORD ReadSerialPort(SerialHandle& handle, void* buffer, DWORD count, DWORD* read,
                     bool withOverlapped) {
    if (read) *read = 0;
    if (handle.overlapped != withOverlapped) return ERROR_INVALID_PARAMETER;
    if (buffer == nullptr && count > 0) return ERROR_INVALID_USER_BUFFER;
    const COMMTIMEOUTS t = handle.port->Timeouts();
    // The platform's special cases: return at once with what is there; or wait up to the
    // constant for the first byte and return as soon as anything is there.
    const bool atOnce = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                        t.ReadTotalTimeoutConstant == 0;
    const bool firstByte =
        t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
        t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != MAXDWORD;
    const bool interval = !atOnce && !firstByte && t.ReadIntervalTimeout != 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    auto& kernel = Kernel::Get();
    ThreadRec& self = CurrentThread();
    std::uint64_t total = kForever;
    {
        std::lock_guard<std::mutex> k(kernel.Mutex());
        const std::uint64_t now = kernel.NowLocked();
        if (firstByte) {
            total = now + t.ReadTotalTimeoutConstant;
        } else if (!atOnce &&
                   (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0)) {
            total = now + std::uint64_t{t.ReadTotalTimeoutMultiplier} * count +
                    t.ReadTotalTimeoutConstant;
        }
    }
    DWORD got = 0;
    for (;;) {
        // The device is asked outside the kernel lock (the device tree has its own).
        if (!handle.Present()) return ERROR_GEN_FAILURE;
        std::unique_lock<std::mutex> lk(kernel.Mutex());
        got += static_cast<DWORD>(handle.port->TakeLocked(out + got, count - got));
        if (read) *read = got;
        if (got == count || atOnce || (firstByte && got > 0)) return 0;
        std::uint64_t deadline = total;
        if (interval && got > 0)
            deadline = std::min(deadline, handle.port->LastArrivalLocked() + t.ReadIntervalTimeout);
        if (deadline != kForever && kernel.NowLocked() >= deadline) return 0;
        ChangeCounter& arrived = handle.port->ArrivedLocked();
        const WaitItem items[] = {{&arrived, arrived.Count()}};
        const WaitResult r = kernel.Wait(lk, self, items, false, 0, deadline);
        if (r.outcome == WaitOutcome::Terminated) {
            lk.unlock();
            ThrowIfTerminating();
            return ERROR_GEN_FAILURE;
        }
    }
}

}  // namespace sim
