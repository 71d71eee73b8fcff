// The machine's service control manager: service records with their configuration and status,
// deletion once a marked service is stopped and unreferenced, the start of a service program as
// a process (its entry runs on a machine thread, marked so that StartServiceCtrlDispatcherW
// connects), the control queue that the program's dispatcher thread serves one control at a time,
// and device notifications for services: the device tree's interface arrivals and removals are
// queued for every service registered for the interface class, so that a handler whose own work
// changes the device tree is never re-entered.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "machine/waits.h"
#include <winsvc.h>

namespace sim {

class DeviceTree;
class Faults;
class ProcessTable;
struct InterfaceEvent;

struct ServiceConfig {
    std::wstring name;
    std::wstring displayName;
    DWORD type = SERVICE_WIN32_OWN_PROCESS;
    DWORD startType = SERVICE_DEMAND_START;
    DWORD errorControl = SERVICE_ERROR_NORMAL;
    std::wstring binaryPath;  // as registered (quotes included)
    std::vector<std::wstring> dependencies;
    std::wstring account;  // empty: LocalSystem
};

struct ServiceInfo {
    ServiceConfig config;
    SERVICE_STATUS_PROCESS status{};
    bool markedForDelete = false;
    int openHandles = 0;
    bool dispatcherConnected = false;
    bool serviceMainReturned = false;
    std::vector<DWORD> reportedStates;   // every state SetServiceStatus reported, in order
    std::vector<DWORD> handledControls;  // every control its handler was called with
    int statusQueries = 0;               // QueryServiceStatusEx / QueryServiceStatus calls
    int starts = 0;
};

struct DeviceNotification {
    std::wstring service;
    GUID classGuid{};
    bool allClasses = false;
    bool active = true;
    bool unregisteredByCall = false;  // UnregisterDeviceNotification (not the service's end)
};

// Checks shared by the machine's own manager and the machine server's (machine/server/services.h).
// The error CreateServiceW reports for a configuration whatever the database holds (0: none).
DWORD CheckNewService(const ServiceConfig& config);
// Applies ChangeServiceConfigW's arguments (SERVICE_NO_CHANGE and nulls keep a field).
void ApplyConfigChange(ServiceConfig& config, DWORD type, DWORD startType, DWORD errorControl,
                       const wchar_t* binaryPath, const wchar_t* displayName,
                       const std::vector<std::wstring>* dependencies);
// Whether `dependent` depends on `name` and its state passes EnumDependentServicesW's filter.
bool IsListedDependent(const ServiceInfo& dependent, const std::wstring& name, DWORD stateFilter);
// Why a control cannot be sent to a service in this state (0: it can).
DWORD ControlRefusal(const SERVICE_STATUS_PROCESS& status, bool dispatcherConnected,
                     bool stoppedReported, DWORD control);
// The state a service started by the manager has until its program reports.
SERVICE_STATUS_PROCESS StartPendingStatus(DWORD type, DWORD pid);

// A control that the machine server sent to the service that this process runs.
struct ServedControl {
    std::uint32_t seq = 0;
    DWORD control = 0;
    DWORD eventType = 0;
    std::vector<BYTE> data;
};

// The service control manager of a program on a machine server (machine/remote_services.cpp):
// the database lives on the server; this process's service, when it runs one, gets its controls
// from there.
class ServicesRemote {
public:
    virtual ~ServicesRemote() = default;
    virtual DWORD Create(const ServiceConfig& config) = 0;
    virtual DWORD AddHandle(const std::wstring& name) = 0;
    virtual void ReleaseHandle(const std::wstring& name) = 0;
    virtual DWORD Query(const std::wstring& name, SERVICE_STATUS_PROCESS* status) = 0;
    virtual DWORD ChangeConfig(const std::wstring& name, DWORD type, DWORD startType,
                               DWORD errorControl, const wchar_t* binaryPath,
                               const wchar_t* displayName,
                               const std::vector<std::wstring>* dependencies) = 0;
    virtual DWORD MarkForDelete(const std::wstring& name) = 0;
    virtual std::vector<std::pair<ServiceConfig, SERVICE_STATUS>> Dependents(
        const std::wstring& name, DWORD stateFilter) = 0;
    virtual DWORD Start(const std::wstring& name) = 0;
    virtual DWORD Control(const std::wstring& name, DWORD control, SERVICE_STATUS* status) = 0;
    // The service this process was started for ("" when none).
    virtual std::wstring ServiceOfThisProcess() = 0;
    // Connects the dispatcher: the launch (the status handle) it belongs to.
    virtual DWORD Connect(const std::wstring& name, ULONG_PTR* launch) = 0;
    virtual DWORD ReportStatus(ULONG_PTR launch, const SERVICE_STATUS& status) = 0;
    // A control that this process's machine raised itself (a device event its device tree
    // heard): it waits with the server's, under sequence number 0.
    virtual void DeliverLocal(ServedControl control) = 0;
    // Waits for the next control; false once the service has reported SERVICE_STOPPED.
    virtual bool NextControl(ServedControl* control) = 0;
    virtual void ControlDone(std::uint32_t seq, DWORD result) = 0;
};

class ServiceManager {
public:
    ServiceManager(DeviceTree& devices, ProcessTable& processes, Faults& faults);
    ~ServiceManager();

    // ---- Test controls ----
    // Adds a stopped service as CreateServiceW would (0, or the error CreateServiceW reports).
    DWORD Install(const ServiceConfig& config);
    bool Exists(const std::wstring& name);
    std::optional<ServiceInfo> Get(const std::wstring& name);
    // Starts the service as the system does for an automatic service (0, or StartServiceW's
    // error).
    DWORD Start(const std::wstring& name, const std::vector<std::wstring>& args = {});
    // Sends a control as the system does (SERVICE_CONTROL_SHUTDOWN too) and waits until the
    // handler has returned. 0, or ControlService's error.
    DWORD Control(const std::wstring& name, DWORD control, SERVICE_STATUS* status = nullptr);
    // Waits on the machine clock until the service reports the state.
    bool WaitForState(const std::wstring& name, DWORD state, DWORD timeoutMs);
    // Waits on the machine clock until the service's dispatcher has handled every queued control.
    bool WaitIdle(const std::wstring& name, DWORD timeoutMs);
    std::vector<DeviceNotification> Notifications();

    // ---- For the platform layer ----
    DWORD Create(const ServiceConfig& config);  // 0 or an error
    DWORD AddHandle(const std::wstring& name);  // 0 or an error; counts an open handle
    void ReleaseHandle(const std::wstring& name);
    DWORD Query(const std::wstring& name, SERVICE_STATUS_PROCESS* status);
    DWORD ChangeConfig(const std::wstring& name, DWORD type, DWORD startType, DWORD errorControl,
                       const wchar_t* binaryPath, const wchar_t* displayName,
                       const std::vector<std::wstring>* dependencies);
    DWORD MarkForDelete(const std::wstring& name);
    std::vector<std::pair<ServiceConfig, SERVICE_STATUS>> Dependents(const std::wstring& name,
                                                                     DWORD stateFilter);
    // The service that the calling thread's process runs, when the machine started it as one.
    std::wstring ServiceOfThisThread();
    // On a machine server the database is the server's (null: this machine's own).
    void UseRemote(ServicesRemote* remote) { remote_.reset(remote); }
    // The dispatcher's two steps. ConnectDispatcher connects the service's dispatcher (0, or the
    // error StartServiceCtrlDispatcherW reports) and gives the launch it belongs to; the caller
    // then starts ServiceMain, and ServeControls serves the controls until the service reports
    // SERVICE_STOPPED.
    DWORD ConnectDispatcher(const std::wstring& name, ULONG_PTR* launch);
    void ServeControls(const std::wstring& name, ULONG_PTR launch);
    void ServiceMainReturned(const std::wstring& name);
    // RegisterServiceCtrlHandlerExW: the status handle, or null with the error in *error.
    SERVICE_STATUS_HANDLE RegisterHandler(const std::wstring& name, LPHANDLER_FUNCTION_EX handler,
                                          LPVOID context, DWORD* error);
    DWORD ReportStatus(SERVICE_STATUS_HANDLE handle, const SERVICE_STATUS& status);
    HDEVNOTIFY RegisterNotification(SERVICE_STATUS_HANDLE handle, const GUID& classGuid,
                                    bool allClasses, DWORD* error);
    bool UnregisterNotification(HDEVNOTIFY notification);

private:
    struct ControlItem {
        DWORD control = 0;
        DWORD eventType = 0;
        std::vector<BYTE> data;  // the event's broadcast structure (empty: no data)
        bool done = false;
        DWORD result = 0;
    };
    struct Record {
        ServiceInfo info;
        ULONG_PTR statusHandle = 0;
        // The last launch whose dispatcher connected: kept when its process ends, so that a start
        // whose service connected and ended at once is still a start that succeeded.
        ULONG_PTR connectedLaunch = 0;
        LPHANDLER_FUNCTION_EX handler = nullptr;
        LPVOID context = nullptr;
        bool stoppedReported = false;
        std::deque<std::shared_ptr<ControlItem>> queue;
        bool busy = false;  // the dispatcher is in the handler
    };
    Record* FindLocked(const std::wstring& name);
    Record* FindByStatusHandleLocked(ULONG_PTR handle);
    void MaybeRemoveLocked(const std::wstring& name);
    void OnInterfaceEvent(const InterfaceEvent& e);
    void OnProcessEnded(const std::wstring& name, DWORD pid);
    DWORD Enqueue(const std::wstring& name, DWORD control, DWORD eventType, std::vector<BYTE> data,
                  bool wait, SERVICE_STATUS* status);

    DeviceTree& devices_;
    ProcessTable& processes_;
    Faults& faults_;
    int listener_ = 0;
    WatchedMutex mu_;
    std::map<std::wstring, Record> records_;  // key: lower-case name
    std::map<ULONG_PTR, DeviceNotification> notifications_;
    ULONG_PTR nextHandle_ = 0x7000;
    std::unique_ptr<ServicesRemote> remote_;
};

}  // namespace sim
