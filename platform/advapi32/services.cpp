#include <winsvc.h>

#include <cstring>
#include <string>
#include <vector>

#include <winbase.h>
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/services.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

struct ScManagerObj : sim::KObject {
    DWORD access;
    explicit ScManagerObj(DWORD a) : access(a) {}
};

struct ScServiceObj : sim::KObject {
    std::wstring name;
    DWORD access;
    ScServiceObj(std::wstring n, DWORD a) : name(std::move(n)), access(a) {}
};

sim::ServiceManager& Scm() {
    return sim::machine().services();
}

std::shared_ptr<ScServiceObj> Service(SC_HANDLE h) {
    return sim::HandleTable::Get().FindAs<ScServiceObj>(reinterpret_cast<HANDLE>(h));
}

std::shared_ptr<ScManagerObj> Manager(SC_HANDLE h) {
    return sim::HandleTable::Get().FindAs<ScManagerObj>(reinterpret_cast<HANDLE>(h));
}

SC_HANDLE OpenHandle(const std::wstring& name, DWORD access) {
    if (DWORD e = Scm().AddHandle(name)) return Fail<SC_HANDLE>(nullptr, e);
    HANDLE h = sim::HandleTable::Get().Add(std::make_shared<ScServiceObj>(name, access));
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<SC_HANDLE>(h);
}

std::vector<std::wstring> MultiString(LPCWSTR list) {
    std::vector<std::wstring> out;
    if (list == nullptr) return out;
    for (const wchar_t* p = list; *p; p += std::wcslen(p) + 1) out.emplace_back(p);
    return out;
}

struct ServiceMainStart {
    LPSERVICE_MAIN_FUNCTIONW main;
    std::wstring name;
};

DWORD ServiceMainThread(LPVOID parameter) {
    auto* start = static_cast<ServiceMainStart*>(parameter);
    std::wstring name = start->name;
    std::vector<wchar_t> argv0(name.begin(), name.end());
    argv0.push_back(0);
    LPWSTR argv[2] = {argv0.data(), nullptr};
    start->main(1, argv);
    delete start;
    Scm().ServiceMainReturned(name);
    return 0;
}

}  // namespace

// ---- The service control manager ----

SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD access) {
    API_TRACE(Services, OpenSCManagerW, machineName, databaseName, access);
    if (machineName != nullptr && *machineName != 0)
        return Fail<SC_HANDLE>(nullptr, RPC_S_SERVER_UNAVAILABLE);
    if (databaseName != nullptr && std::wstring(databaseName) != L"ServicesActive")
        return Fail<SC_HANDLE>(nullptr, ERROR_DATABASE_DOES_NOT_EXIST);
    if (DWORD e = sim::machine().faults().Take(sim::ServiceOp::OpenManager))
        return Fail<SC_HANDLE>(nullptr, e);
    HANDLE h = sim::HandleTable::Get().Add(std::make_shared<ScManagerObj>(access));
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<SC_HANDLE>(h);
}

SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName, DWORD access,
                         DWORD serviceType, DWORD startType, DWORD errorControl,
                         LPCWSTR binaryPathName, LPCWSTR arg9, LPDWORD tagId, LPCWSTR dependencies,
                         LPCWSTR serviceStartName, LPCWSTR arg13) {
    API_TRACE(Services, CreateServiceW, manager, serviceName, displayName, access, serviceType,
              startType, errorControl, binaryPathName, arg9, tagId, dependencies, serviceStartName,
              arg13);
    auto m = Manager(manager);
    if (!m) return Fail<SC_HANDLE>(nullptr, ERROR_INVALID_HANDLE);
    if (!(m->access & SC_MANAGER_CREATE_SERVICE))
        return Fail<SC_HANDLE>(nullptr, ERROR_ACCESS_DENIED);
    if (serviceName == nullptr || binaryPathName == nullptr || tagId != nullptr)
        return Fail<SC_HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    if ((serviceType & SERVICE_INTERACTIVE_PROCESS) && serviceStartName != nullptr &&
        *serviceStartName != 0 && std::wstring(serviceStartName) != L"LocalSystem")
        return Fail<SC_HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    if (startType > SERVICE_DISABLED || errorControl > 3)
        return Fail<SC_HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    sim::ServiceConfig c;
    c.name = serviceName;
    c.displayName = displayName ? displayName : L"";
    c.type = serviceType;
    c.startType = startType;
    c.errorControl = errorControl;
    c.binaryPath = binaryPathName;
    c.dependencies = MultiString(dependencies);
    c.account = serviceStartName && std::wstring(serviceStartName) != L"LocalSystem"
                    ? serviceStartName
                    : L"";
    if (DWORD e = Scm().Create(c)) return Fail<SC_HANDLE>(nullptr, e);
    return OpenHandle(c.name, access);
}

SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD access) {
    API_TRACE(Services, OpenServiceW, manager, serviceName, access);
    auto m = Manager(manager);
    if (!m) return Fail<SC_HANDLE>(nullptr, ERROR_INVALID_HANDLE);
    if (serviceName == nullptr || *serviceName == 0)
        return Fail<SC_HANDLE>(nullptr, ERROR_INVALID_NAME);
    return OpenHandle(serviceName, access);
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
    API_TRACE(Services, CloseServiceHandle, handle);
    auto h = reinterpret_cast<HANDLE>(handle);
    auto& table = sim::HandleTable::Get();
    if (auto s = table.FindAs<ScServiceObj>(h)) {
        table.Close(h);
        Scm().ReleaseHandle(s->name);
        return TRUE;
    }
    if (table.FindAs<ScManagerObj>(h)) {
        table.Close(h);
        return TRUE;
    }
    return Fail(FALSE, ERROR_INVALID_HANDLE);
}

BOOL StartServiceW(SC_HANDLE service, DWORD argc, LPCWSTR* argv) {
    API_TRACE(Services, StartServiceW, service, argc, argv);
    auto s = Service(service);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(s->access & SERVICE_START)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    std::vector<std::wstring> args;
    for (DWORD i = 0; argv != nullptr && i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : L"");
    if (DWORD e = Scm().Start(s->name, args)) return Fail(FALSE, e);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL QueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE level, LPBYTE buffer, DWORD size,
                          LPDWORD needed) {
    API_TRACE(Services, QueryServiceStatusEx, service, level, buffer, size, needed);
    auto s = Service(service);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(s->access & SERVICE_QUERY_STATUS)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (level != SC_STATUS_PROCESS_INFO || needed == nullptr)
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    *needed = sizeof(SERVICE_STATUS_PROCESS);
    if (buffer == nullptr || size < sizeof(SERVICE_STATUS_PROCESS))
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    SERVICE_STATUS_PROCESS status;
    if (DWORD e = Scm().Query(s->name, &status)) return Fail(FALSE, e);
    std::memcpy(buffer, &status, sizeof status);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS out) {
    API_TRACE(Services, QueryServiceStatus, service, out);
    SERVICE_STATUS_PROCESS status;
    DWORD needed = 0;
    if (out == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                              sizeof status, &needed))
        return FALSE;
    std::memcpy(out, &status, sizeof *out);
    return TRUE;
}

BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                          LPCWSTR binaryPathName, LPCWSTR arg6, LPDWORD tagId, LPCWSTR dependencies,
                          LPCWSTR arg9, LPCWSTR arg10, LPCWSTR displayName) {
    API_TRACE(Services, ChangeServiceConfigW, service, serviceType, startType, errorControl,
              binaryPathName, arg6, tagId, dependencies, arg9, arg10, displayName);
    auto s = Service(service);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(s->access & SERVICE_CHANGE_CONFIG)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (tagId != nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    std::vector<std::wstring> deps = MultiString(dependencies);
    if (DWORD e = Scm().ChangeConfig(s->name, serviceType, startType, errorControl, binaryPathName,
                                     displayName, dependencies ? &deps : nullptr))
        return Fail(FALSE, e);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    API_TRACE(Services, ControlService, service, control, status);
    auto s = Service(service);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (status == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    DWORD need = 0;
    switch (control) {
        case SERVICE_CONTROL_STOP:
            need = SERVICE_STOP;
            break;
        case SERVICE_CONTROL_PAUSE:
        case SERVICE_CONTROL_CONTINUE:
            need = SERVICE_PAUSE_CONTINUE;
            break;
        case SERVICE_CONTROL_INTERROGATE:
            need = SERVICE_INTERROGATE;
            break;
        default:
            // Shutdown and device events come from the system only.
            if (control < 128 || control > 255) return Fail(FALSE, ERROR_INVALID_PARAMETER);
            need = SERVICE_USER_DEFINED_CONTROL;
            break;
    }
    if (!(s->access & need)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (DWORD e = Scm().Control(s->name, control, status)) return Fail(FALSE, e);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL EnumDependentServicesW(SC_HANDLE service, DWORD serviceState, LPENUM_SERVICE_STATUSW services,
                            DWORD bufferSize, LPDWORD needed, LPDWORD returned) {
    API_TRACE(Services, EnumDependentServicesW, service, serviceState, services, bufferSize, needed,
              returned);
    auto s = Service(service);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(s->access & SERVICE_ENUMERATE_DEPENDENTS)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (needed == nullptr || returned == nullptr || serviceState == 0 ||
        (serviceState & ~SERVICE_STATE_ALL))
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    auto deps = Scm().Dependents(s->name, serviceState);
    std::size_t size = deps.size() * sizeof(ENUM_SERVICE_STATUSW);
    for (const auto& [config, st] : deps)
        size += (config.name.size() + 1 + config.displayName.size() + 1) * sizeof(WCHAR);
    *returned = 0;
    *needed = static_cast<DWORD>(size);
    if (services == nullptr ? size > 0 : bufferSize < size) return Fail(FALSE, ERROR_MORE_DATA);
    auto* strings = reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(services) +
                                             deps.size() * sizeof(ENUM_SERVICE_STATUSW));
    for (std::size_t i = 0; i < deps.size(); ++i) {
        const auto& [config, st] = deps[i];
        services[i].lpServiceName = strings;
        std::wmemcpy(strings, config.name.c_str(), config.name.size() + 1);
        strings += config.name.size() + 1;
        services[i].lpDisplayName = strings;
        std::wmemcpy(strings, config.displayName.c_str(), config.displayName.size() + 1);
        strings += config.displayName.size() + 1;
        services[i].ServiceStatus = st;
    }
    *returned = static_cast<DWORD>(deps.size());
    *needed = 0;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL DeleteService(SC_HANDLE service) {
    API_TRACE(Services, DeleteService, service);
    auto s = Service(service);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(s->access & DELETE)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (DWORD e = Scm().MarkForDelete(s->name)) return Fail(FALSE, e);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// ---- The service program's side ----

BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* table) {
    API_TRACE(Services, StartServiceCtrlDispatcherW, table);
    std::wstring name = Scm().ServiceOfThisThread();
    if (name.empty()) return Fail(FALSE, ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    if (table == nullptr || table[0].lpServiceProc == nullptr)
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    // An own-process service runs the table's first routine whatever its name; a shared process
    // runs the routine named after the service.
    LPSERVICE_MAIN_FUNCTIONW main = table[0].lpServiceProc;
    if (table[1].lpServiceProc != nullptr) {
        main = nullptr;
        for (const SERVICE_TABLE_ENTRYW* e = table; e->lpServiceProc; ++e)
            if (e->lpServiceName && sim::Lower(e->lpServiceName) == sim::Lower(name))
                main = e->lpServiceProc;
        if (main == nullptr) return Fail(FALSE, ERROR_SERVICE_DOES_NOT_EXIST);
    }
    ULONG_PTR launch = 0;
    if (DWORD e = Scm().ConnectDispatcher(name, &launch)) return Fail(FALSE, e);
    HANDLE mainThread =
        CreateThread(nullptr, 0, ServiceMainThread, new ServiceMainStart{main, name}, 0, nullptr);
    Scm().ServeControls(name, launch);
    // The process would end here and take its threads with it; the machine cannot end a thread,
    // so it gives the service's main routine a while to return.
    if (mainThread) {
        WaitForSingleObject(mainThread, 30000);
        CloseHandle(mainThread);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExW(LPCWSTR serviceName,
                                                    LPHANDLER_FUNCTION_EX handler, LPVOID context) {
    API_TRACE(Services, RegisterServiceCtrlHandlerExW, serviceName, handler, context);
    if (serviceName == nullptr) return Fail<SERVICE_STATUS_HANDLE>(nullptr, ERROR_INVALID_NAME);
    DWORD error = 0;
    SERVICE_STATUS_HANDLE h = Scm().RegisterHandler(serviceName, handler, context, &error);
    if (h == nullptr) return Fail<SERVICE_STATUS_HANDLE>(nullptr, error);
    SetLastError(ERROR_SUCCESS);
    return h;
}

BOOL SetServiceStatus(SERVICE_STATUS_HANDLE status, LPSERVICE_STATUS serviceStatus) {
    API_TRACE(Services, SetServiceStatus, status, serviceStatus);
    if (serviceStatus == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (DWORD e = Scm().ReportStatus(status, *serviceStatus)) return Fail(FALSE, e);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// ---- Device notifications ----

HDEVNOTIFY RegisterDeviceNotificationW(HANDLE recipient, LPVOID filter, DWORD flags) {
    API_TRACE(Services, RegisterDeviceNotificationW, recipient, filter, flags);
    if (filter == nullptr) return Fail<HDEVNOTIFY>(nullptr, ERROR_INVALID_PARAMETER);
    if (!(flags & DEVICE_NOTIFY_SERVICE_HANDLE))
        return Fail<HDEVNOTIFY>(nullptr, ERROR_NOT_SUPPORTED);
    auto* header = static_cast<DEV_BROADCAST_HDR*>(filter);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        header->dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W))
        return Fail<HDEVNOTIFY>(nullptr, ERROR_INVALID_DATA);
    auto* f = static_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(filter);
    DWORD error = 0;
    HDEVNOTIFY h = Scm().RegisterNotification(
        reinterpret_cast<SERVICE_STATUS_HANDLE>(recipient), f->dbcc_classguid,
        (flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0, &error);
    if (h == nullptr) return Fail<HDEVNOTIFY>(nullptr, error);
    SetLastError(ERROR_SUCCESS);
    return h;
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY handle) {
    API_TRACE(Services, UnregisterDeviceNotification, handle);
    if (!Scm().UnregisterNotification(handle)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    return TRUE;
}
