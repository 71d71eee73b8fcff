#include "machine/services.h"

#include <cstddef>
#include <cstring>

#include <winbase.h>
#include "machine/boxes.h"
#include "machine/devices.h"
#include "machine/faults.h"
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/threads.h"
#include "machine/waits.h"

namespace sim {

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kControlTimeoutMs = 30000;

std::uint64_t Deadline(DWORD ms) {
    if (ms == INFINITE) return kForever;
    return Kernel::Get().Now() + ms;
}

}  // namespace

DWORD CheckNewService(const ServiceConfig& config) {
    if (config.name.empty() || config.name.size() > 256 ||
        config.name.find_first_of(L"\\/") != std::wstring::npos)
        return ERROR_INVALID_NAME;
    if (config.binaryPath.empty()) return ERROR_INVALID_PARAMETER;
    return 0;
}

void ApplyConfigChange(ServiceConfig& c, DWORD type, DWORD startType, DWORD errorControl,
                       const wchar_t* binaryPath, const wchar_t* displayName,
                       const std::vector<std::wstring>* dependencies) {
    if (type != SERVICE_NO_CHANGE) c.type = type;
    if (startType != SERVICE_NO_CHANGE) c.startType = startType;
    if (errorControl != SERVICE_NO_CHANGE) c.errorControl = errorControl;
    if (binaryPath) c.binaryPath = binaryPath;
    if (displayName) c.displayName = displayName;
    if (dependencies) c.dependencies = *dependencies;
}

bool IsListedDependent(const ServiceInfo& dependent, const std::wstring& name, DWORD stateFilter) {
    bool depends = false;
    for (const auto& d : dependent.config.dependencies) depends |= Lower(d) == Lower(name);
    if (!depends) return false;
    bool stopped = dependent.status.dwCurrentState == SERVICE_STOPPED;
    return stopped ? (stateFilter & SERVICE_INACTIVE) != 0 : (stateFilter & SERVICE_ACTIVE) != 0;
}

DWORD ControlRefusal(const SERVICE_STATUS_PROCESS& status, bool dispatcherConnected,
                     bool stoppedReported, DWORD control) {
    DWORD state = status.dwCurrentState;
    if (!dispatcherConnected || state == SERVICE_STOPPED || stoppedReported)
        return ERROR_SERVICE_NOT_ACTIVE;
    DWORD accepted = status.dwControlsAccepted;
    bool ok = true;
    switch (control) {
        case SERVICE_CONTROL_INTERROGATE:
        case SERVICE_CONTROL_DEVICEEVENT:
            break;
        case SERVICE_CONTROL_STOP:
            ok = accepted & SERVICE_ACCEPT_STOP;
            break;
        case SERVICE_CONTROL_SHUTDOWN:
            ok = accepted & SERVICE_ACCEPT_SHUTDOWN;
            break;
        case SERVICE_CONTROL_PAUSE:
        case SERVICE_CONTROL_CONTINUE:
            ok = accepted & SERVICE_ACCEPT_PAUSE_CONTINUE;
            break;
        default:
            ok = control >= 128 && control <= 255;
            break;
    }
    if (control != SERVICE_CONTROL_INTERROGATE && control != SERVICE_CONTROL_DEVICEEVENT &&
        (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING))
        return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    return ok ? 0 : ERROR_INVALID_SERVICE_CONTROL;
}

SERVICE_STATUS_PROCESS StartPendingStatus(DWORD type, DWORD pid) {
    SERVICE_STATUS_PROCESS s{};
    s.dwServiceType = type;
    s.dwCurrentState = SERVICE_START_PENDING;
    s.dwWaitHint = 2000;
    s.dwProcessId = pid;
    return s;
}

ServiceManager::ServiceManager(DeviceTree& devices, ProcessTable& processes, Faults& faults)
    : devices_(devices), processes_(processes), faults_(faults) {
    listener_ = devices_.AddListener([this](const InterfaceEvent& e) { OnInterfaceEvent(e); });
}

ServiceManager::~ServiceManager() {
    devices_.RemoveListener(listener_);
}

ServiceManager::Record* ServiceManager::FindLocked(const std::wstring& name) {
    auto it = records_.find(Lower(name));
    return it == records_.end() ? nullptr : &it->second;
}

ServiceManager::Record* ServiceManager::FindByStatusHandleLocked(ULONG_PTR handle) {
    if (handle == 0) return nullptr;
    for (auto& [key, r] : records_)
        if (r.statusHandle == handle) return &r;
    return nullptr;
}

void ServiceManager::MaybeRemoveLocked(const std::wstring& name) {
    Record* r = FindLocked(name);
    if (r && r->info.markedForDelete && r->info.openHandles <= 0 &&
        r->info.status.dwCurrentState == SERVICE_STOPPED)
        records_.erase(Lower(name));
}

// ---- Test controls ----

DWORD ServiceManager::Install(const ServiceConfig& config) {
    return Create(config);
}

bool ServiceManager::Exists(const std::wstring& name) {
    std::lock_guard<WatchedMutex> lk(mu_);
    return FindLocked(name) != nullptr;
}

std::optional<ServiceInfo> ServiceManager::Get(const std::wstring& name) {
    std::lock_guard<WatchedMutex> lk(mu_);
    Record* r = FindLocked(name);
    if (!r) return std::nullopt;
    return r->info;
}

DWORD ServiceManager::Control(const std::wstring& name, DWORD control, SERVICE_STATUS* status) {
    if (remote_) return remote_->Control(name, control, status);
    return Enqueue(name, control, 0, {}, true, status);
}

bool ServiceManager::WaitForState(const std::wstring& name, DWORD state, DWORD timeoutMs) {
    return mu_.WaitUntil(
        [&] {
            Record* r = FindLocked(name);
            if (!r) return state == SERVICE_STOPPED;
            return r->info.status.dwCurrentState == state;
        },
        Deadline(timeoutMs));
}

bool ServiceManager::WaitIdle(const std::wstring& name, DWORD timeoutMs) {
    return mu_.WaitUntil(
        [&] {
            Record* r = FindLocked(name);
            return !r || (r->queue.empty() && !r->busy);
        },
        Deadline(timeoutMs));
}

std::vector<DeviceNotification> ServiceManager::Notifications() {
    std::lock_guard<WatchedMutex> lk(mu_);
    std::vector<DeviceNotification> out;
    for (const auto& [id, n] : notifications_) out.push_back(n);
    return out;
}

// ---- Records ----

DWORD ServiceManager::Create(const ServiceConfig& config) {
    if (DWORD e = CheckNewService(config)) return e;
    if (remote_) return remote_->Create(config);
    std::lock_guard<WatchedMutex> lk(mu_);
    if (Record* r = FindLocked(config.name))
        return r->info.markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS;
    Record r;
    r.info.config = config;
    if (r.info.config.displayName.empty()) r.info.config.displayName = config.name;
    r.info.status.dwServiceType = config.type;
    r.info.status.dwCurrentState = SERVICE_STOPPED;
    r.info.status.dwWin32ExitCode = ERROR_SERVICE_NEVER_STARTED;
    records_.emplace(Lower(config.name), std::move(r));
    return 0;
}

DWORD ServiceManager::AddHandle(const std::wstring& name) {
    if (remote_) return remote_->AddHandle(name);
    std::lock_guard<WatchedMutex> lk(mu_);
    Record* r = FindLocked(name);
    if (!r) return ERROR_SERVICE_DOES_NOT_EXIST;
    ++r->info.openHandles;
    return 0;
}

void ServiceManager::ReleaseHandle(const std::wstring& name) {
    if (remote_) return remote_->ReleaseHandle(name);
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        Record* r = FindLocked(name);
        if (!r) return;
        --r->info.openHandles;
        MaybeRemoveLocked(name);
    }
}

DWORD ServiceManager::Query(const std::wstring& name, SERVICE_STATUS_PROCESS* status) {
    if (remote_) return remote_->Query(name, status);
    std::lock_guard<WatchedMutex> lk(mu_);
    Record* r = FindLocked(name);
    if (!r) return ERROR_SERVICE_DOES_NOT_EXIST;
    ++r->info.statusQueries;
    *status = r->info.status;
    return 0;
}

DWORD ServiceManager::ChangeConfig(const std::wstring& name, DWORD type, DWORD startType,
                                   DWORD errorControl, const wchar_t* binaryPath,
                                   const wchar_t* displayName,
                                   const std::vector<std::wstring>* dependencies) {
    if (remote_)
        return remote_->ChangeConfig(name, type, startType, errorControl, binaryPath, displayName,
                                     dependencies);
    std::lock_guard<WatchedMutex> lk(mu_);
    Record* r = FindLocked(name);
    if (!r) return ERROR_SERVICE_DOES_NOT_EXIST;
    if (r->info.markedForDelete) return ERROR_SERVICE_MARKED_FOR_DELETE;
    ApplyConfigChange(r->info.config, type, startType, errorControl, binaryPath, displayName,
                      dependencies);
    return 0;
}

DWORD ServiceManager::MarkForDelete(const std::wstring& name) {
    if (remote_) return remote_->MarkForDelete(name);
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        Record* r = FindLocked(name);
        if (!r) return ERROR_SERVICE_DOES_NOT_EXIST;
        if (r->info.markedForDelete) return ERROR_SERVICE_MARKED_FOR_DELETE;
        r->info.markedForDelete = true;
        MaybeRemoveLocked(name);
    }
    return 0;
}

std::vector<std::pair<ServiceConfig, SERVICE_STATUS>> ServiceManager::Dependents(
    const std::wstring& name, DWORD stateFilter) {
    if (remote_) return remote_->Dependents(name, stateFilter);
    std::lock_guard<WatchedMutex> lk(mu_);
    std::vector<std::pair<ServiceConfig, SERVICE_STATUS>> out;
    for (const auto& [key, r] : records_) {
        if (!IsListedDependent(r.info, name, stateFilter)) continue;
        SERVICE_STATUS s;
        std::memcpy(&s, &r.info.status, sizeof s);
        out.emplace_back(r.info.config, s);
    }
    return out;
}

// ---- Starting a service program ----

DWORD ServiceManager::Start(const std::wstring& name, const std::vector<std::wstring>&) {
    if (remote_) return remote_->Start(name);
    std::wstring binaryPath, account;
    bool interactive = false;
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        Record* r = FindLocked(name);
        if (!r) return ERROR_SERVICE_DOES_NOT_EXIST;
        if (r->info.markedForDelete) return ERROR_SERVICE_MARKED_FOR_DELETE;
        if (r->info.config.startType == SERVICE_DISABLED) return ERROR_SERVICE_DISABLED;
        if (r->info.status.dwCurrentState != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
        binaryPath = r->info.config.binaryPath;
        account = r->info.config.account;
        interactive = (r->info.config.type & SERVICE_INTERACTIVE_PROCESS) != 0;
    }
    std::wstring image = processes_.ResolveImage(nullptr, binaryPath);
    if (image.empty()) return ERROR_FILE_NOT_FOUND;
    ULONG_PTR launch;
    std::wstring key;
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        Record* r = FindLocked(name);
        if (!r) return ERROR_SERVICE_DOES_NOT_EXIST;
        key = r->info.config.name;
        launch = nextHandle_ += 4;
        r->statusHandle = launch;
        r->handler = nullptr;
        r->context = nullptr;
        r->stoppedReported = false;
        r->queue.clear();
        r->info.dispatcherConnected = false;
        r->info.serviceMainReturned = false;
        ++r->info.starts;
        r->info.status = StartPendingStatus(r->info.config.type, 0);
    }
    ProcessTable::Launch l;
    l.imagePath = image;
    l.commandLine = binaryPath;
    l.user = account.empty() ? L"SYSTEM" : account;
    l.desktop = interactive ? L"WinSta0\\Default" : L"Service-0x0-3e7$\\Default";
    l.serviceName = key;
    l.onEnd = [this, key, launch](DWORD) { OnProcessEnded(key, static_cast<DWORD>(launch)); };
    DWORD pid = processes_.Start(l)->info.pid;
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        Record* r = FindLocked(key);
        if (r && r->statusHandle == launch && r->info.status.dwProcessId == 0)
            r->info.status.dwProcessId = pid;
    }
    bool connected;
    {
        std::unique_lock<WatchedMutex> lk(mu_);
        mu_.Wait(
            lk,
            [&] {
                Record* r = FindLocked(key);
                return !r || r->statusHandle != launch || r->connectedLaunch == launch ||
                       r->info.status.dwCurrentState == SERVICE_STOPPED;
            },
            Deadline(kStartTimeoutMs));
        Record* r = FindLocked(key);
        connected = r && r->statusHandle == launch && r->connectedLaunch == launch;
        if (!connected && r && r->statusHandle == launch &&
            r->info.status.dwCurrentState == SERVICE_START_PENDING) {
            r->info.status.dwCurrentState = SERVICE_STOPPED;
            r->info.status.dwWin32ExitCode = ERROR_SERVICE_REQUEST_TIMEOUT;
        }
    }
    return connected ? 0 : ERROR_SERVICE_REQUEST_TIMEOUT;
}

void ServiceManager::OnProcessEnded(const std::wstring& name, DWORD launch) {
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        Record* r = FindLocked(name);
        if (!r || r->statusHandle != launch) return;
        r->info.dispatcherConnected = false;
        if (r->info.status.dwCurrentState != SERVICE_STOPPED) {
            r->info.status.dwCurrentState = SERVICE_STOPPED;
            r->info.status.dwWin32ExitCode = ERROR_PROCESS_ABORTED;
            r->info.status.dwControlsAccepted = 0;
        }
        r->info.status.dwProcessId = 0;
        for (auto& item : r->queue) {
            item->done = true;
            item->result = ERROR_SERVICE_NOT_ACTIVE;
        }
        r->queue.clear();
        // The process's registrations go with it.
        for (auto& [id, n] : notifications_)
            if (Lower(n.service) == Lower(name)) n.active = false;
        MaybeRemoveLocked(name);
    }
}

std::wstring ServiceManager::ServiceOfThisThread() {
    if (remote_) return remote_->ServiceOfThisProcess();
    return CurrentProcess().serviceName.Get();
}

DWORD ServiceManager::ConnectDispatcher(const std::wstring& name, ULONG_PTR* launch) {
    if (remote_) {
        // The server keeps the service; this process keeps what its own calls need: the status
        // handle, the handler and the device notifications.
        if (DWORD e = remote_->Connect(name, launch)) return e;
        std::lock_guard<WatchedMutex> lk(mu_);
        Record r;
        r.info.config.name = name;
        r.info.config.displayName = name;
        r.info.status = StartPendingStatus(SERVICE_WIN32_OWN_PROCESS, 0);
        r.info.dispatcherConnected = true;
        r.statusHandle = *launch;
        records_[Lower(name)] = std::move(r);
        return 0;
    }
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        Record* r = FindLocked(name);
        if (!r) return ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
        if (r->info.dispatcherConnected) return ERROR_SERVICE_ALREADY_RUNNING;
        r->info.dispatcherConnected = true;
        r->connectedLaunch = r->statusHandle;
        *launch = r->statusHandle;
    }
    return 0;
}

void ServiceManager::ServeControls(const std::wstring& name, ULONG_PTR launch) {
    if (remote_) {
        ServedControl c;
        while (remote_->NextControl(&c)) {
            LPHANDLER_FUNCTION_EX handler = nullptr;
            LPVOID context = nullptr;
            {
                std::lock_guard<WatchedMutex> lk(mu_);
                if (Record* r = FindLocked(name)) {
                    r->busy = true;
                    handler = r->handler;
                    context = r->context;
                }
            }
            DWORD result = ERROR_CALL_NOT_IMPLEMENTED;
            if (handler)
                result = handler(c.control, c.eventType, c.data.empty() ? nullptr : c.data.data(),
                                 context);
            {
                std::lock_guard<WatchedMutex> lk(mu_);
                if (Record* r = FindLocked(name)) {
                    r->busy = false;
                    r->info.handledControls.push_back(c.control);
                }
            }
            if (c.seq != 0) remote_->ControlDone(c.seq, result);
        }
        return;
    }
    for (;;) {
        std::shared_ptr<ControlItem> item;
        LPHANDLER_FUNCTION_EX handler = nullptr;
        LPVOID context = nullptr;
        {
            std::unique_lock<WatchedMutex> lk(mu_);
            mu_.Wait(
                lk,
                [&] {
                    Record* r = FindLocked(name);
                    return !r || r->statusHandle != launch || r->stoppedReported ||
                           !r->queue.empty();
                },
                kForever);
            Record* r = FindLocked(name);
            if (!r || r->statusHandle != launch || r->stoppedReported) break;
            item = r->queue.front();
            r->queue.pop_front();
            r->busy = true;
            handler = r->handler;
            context = r->context;
        }
        DWORD result = ERROR_CALL_NOT_IMPLEMENTED;
        if (handler)
            result = handler(item->control, item->eventType,
                             item->data.empty() ? nullptr : item->data.data(), context);
        {
            std::lock_guard<WatchedMutex> l(mu_);
            item->done = true;
            item->result = result;
            if (Record* r = FindLocked(name); r && r->statusHandle == launch) {
                r->busy = false;
                r->info.handledControls.push_back(item->control);
            }
        }
    }
    {
        std::lock_guard<WatchedMutex> l(mu_);
        if (Record* r = FindLocked(name); r && r->statusHandle == launch) {
            for (auto& item : r->queue) {
                item->done = true;
                item->result = ERROR_SERVICE_NOT_ACTIVE;
            }
            r->queue.clear();
        }
    }
}

void ServiceManager::ServiceMainReturned(const std::wstring& name) {
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        if (Record* r = FindLocked(name)) r->info.serviceMainReturned = true;
    }
}

SERVICE_STATUS_HANDLE ServiceManager::RegisterHandler(const std::wstring& name,
                                                      LPHANDLER_FUNCTION_EX handler, LPVOID context,
                                                      DWORD* error) {
    std::lock_guard<WatchedMutex> lk(mu_);
    Record* r = FindLocked(name);
    if (!r || !r->info.dispatcherConnected || handler == nullptr) {
        *error = handler == nullptr ? ERROR_INVALID_PARAMETER : ERROR_SERVICE_DOES_NOT_EXIST;
        return nullptr;
    }
    r->handler = handler;
    r->context = context;
    return reinterpret_cast<SERVICE_STATUS_HANDLE>(r->statusHandle);
}

DWORD ServiceManager::ReportStatus(SERVICE_STATUS_HANDLE handle, const SERVICE_STATUS& status) {
    if (DWORD e = faults_.Take(ServiceOp::SetStatus)) return e;
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        Record* r = FindByStatusHandleLocked(reinterpret_cast<ULONG_PTR>(handle));
        if (!r) return ERROR_INVALID_HANDLE;
        if (status.dwCurrentState < SERVICE_STOPPED || status.dwCurrentState > SERVICE_PAUSED)
            return ERROR_INVALID_DATA;
        DWORD pid = r->info.status.dwProcessId;
        std::memcpy(&r->info.status, &status, sizeof status);
        r->info.status.dwProcessId = status.dwCurrentState == SERVICE_STOPPED ? 0 : pid;
        r->info.reportedStates.push_back(status.dwCurrentState);
        if (status.dwCurrentState == SERVICE_STOPPED) {
            r->stoppedReported = true;
            MaybeRemoveLocked(r->info.config.name);
        }
    }
    if (remote_) return remote_->ReportStatus(reinterpret_cast<ULONG_PTR>(handle), status);
    return 0;
}

// ---- Controls and device events ----

DWORD ServiceManager::Enqueue(const std::wstring& name, DWORD control, DWORD eventType,
                              std::vector<BYTE> data, bool wait, SERVICE_STATUS* status) {
    auto item = std::make_shared<ControlItem>();
    item->control = control;
    item->eventType = eventType;
    item->data = std::move(data);
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        Record* r = FindLocked(name);
        if (!r) return ERROR_SERVICE_DOES_NOT_EXIST;
        if (DWORD e = ControlRefusal(r->info.status, r->info.dispatcherConnected,
                                     r->stoppedReported, control))
            return e;
        if (!remote_) r->queue.push_back(item);
    }
    if (remote_) {
        // On a machine server the dispatcher serves one queue: the server's controls and the
        // events this process's device tree raised, in the order they came.
        ServedControl c;
        c.control = control;
        c.eventType = eventType;
        c.data = item->data;
        remote_->DeliverLocal(std::move(c));
        return 0;
    }
    if (!wait) return 0;
    std::unique_lock<WatchedMutex> lk(mu_);
    bool done = mu_.Wait(
        lk, [&] { return item->done; }, Deadline(kControlTimeoutMs));
    if (status) {
        Record* r = FindLocked(name);
        if (r)
            std::memcpy(status, &r->info.status, sizeof *status);
        else {
            *status = SERVICE_STATUS{};
            status->dwCurrentState = SERVICE_STOPPED;
        }
    }
    if (!done) return ERROR_SERVICE_REQUEST_TIMEOUT;
    return item->result == ERROR_SERVICE_NOT_ACTIVE ? ERROR_SERVICE_NOT_ACTIVE : 0;
}

void ServiceManager::OnInterfaceEvent(const InterfaceEvent& e) {
    std::vector<std::wstring> targets;
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        for (const auto& [id, n] : notifications_)
            if (n.active && (n.allClasses || n.classGuid == e.classGuid))
                targets.push_back(n.service);
    }
    std::vector<BYTE> data = InterfaceBroadcast(e);
    DWORD type = e.arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    for (const auto& service : targets)
        Enqueue(service, SERVICE_CONTROL_DEVICEEVENT, type, data, false, nullptr);
}

HDEVNOTIFY ServiceManager::RegisterNotification(SERVICE_STATUS_HANDLE handle, const GUID& classGuid,
                                                bool allClasses, DWORD* error) {
    if (DWORD e = faults_.Take(ServiceOp::RegisterNotification)) {
        *error = e;
        return nullptr;
    }
    std::lock_guard<WatchedMutex> lk(mu_);
    Record* r = FindByStatusHandleLocked(reinterpret_cast<ULONG_PTR>(handle));
    if (!r) {
        *error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    ULONG_PTR id = nextHandle_ += 4;
    DeviceNotification n;
    n.service = r->info.config.name;
    n.classGuid = classGuid;
    n.allClasses = allClasses;
    notifications_[id] = n;
    return reinterpret_cast<HDEVNOTIFY>(id);
}

bool ServiceManager::UnregisterNotification(HDEVNOTIFY notification) {
    std::lock_guard<WatchedMutex> lk(mu_);
    auto it = notifications_.find(reinterpret_cast<ULONG_PTR>(notification));
    if (it == notifications_.end() || it->second.unregisteredByCall) return false;
    it->second.active = false;
    it->second.unregisteredByCall = true;
    return true;
}

}  // namespace sim
