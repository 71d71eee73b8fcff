// The service control manager and the service side of it: service records (create, open,
// configure, start, control, delete), the control dispatcher of a service program, status
// reports, and device notifications for services.
//
// In this stage every program runs inside one process: the machine runs a service program's
// entry on machine threads when the service is started (see machine/services.h). A program that was
// not started that way gets ERROR_FAILED_SERVICE_CONTROLLER_CONNECT from
// StartServiceCtrlDispatcherW.
#pragma once

#include <dbt.h>
#include <windef.h>

struct SC_HANDLE__ {
    int unused;
};
using SC_HANDLE = SC_HANDLE__*;
struct SERVICE_STATUS_HANDLE__ {
    int unused;
};
using SERVICE_STATUS_HANDLE = SERVICE_STATUS_HANDLE__*;
using HDEVNOTIFY = PVOID;

// ---- Access rights ----
#define DELETE 0x00010000u
#define SC_MANAGER_CONNECT 0x0001u
#define SC_MANAGER_CREATE_SERVICE 0x0002u
#define SC_MANAGER_ENUMERATE_SERVICE 0x0004u
#define SC_MANAGER_ALL_ACCESS 0xF003Fu
#define SERVICE_QUERY_CONFIG 0x0001u
#define SERVICE_CHANGE_CONFIG 0x0002u
#define SERVICE_QUERY_STATUS 0x0004u
#define SERVICE_ENUMERATE_DEPENDENTS 0x0008u
#define SERVICE_START 0x0010u
#define SERVICE_STOP 0x0020u
#define SERVICE_PAUSE_CONTINUE 0x0040u
#define SERVICE_INTERROGATE 0x0080u
#define SERVICE_USER_DEFINED_CONTROL 0x0100u
#define SERVICE_ALL_ACCESS 0xF01FFu

// ---- Service types, start types, error control ----
#define SERVICE_KERNEL_DRIVER 0x00000001u
#define SERVICE_WIN32_OWN_PROCESS 0x00000010u
#define SERVICE_WIN32_SHARE_PROCESS 0x00000020u
#define SERVICE_INTERACTIVE_PROCESS 0x00000100u
#define SERVICE_BOOT_START 0x00000000u
#define SERVICE_SYSTEM_START 0x00000001u
#define SERVICE_AUTO_START 0x00000002u
#define SERVICE_DEMAND_START 0x00000003u
#define SERVICE_DISABLED 0x00000004u
#define SERVICE_ERROR_IGNORE 0x00000000u
#define SERVICE_ERROR_NORMAL 0x00000001u
#define SERVICE_NO_CHANGE 0xFFFFFFFFu

// ---- States ----
#define SERVICE_STOPPED 0x00000001u
#define SERVICE_START_PENDING 0x00000002u
#define SERVICE_STOP_PENDING 0x00000003u
#define SERVICE_RUNNING 0x00000004u
#define SERVICE_CONTINUE_PENDING 0x00000005u
#define SERVICE_PAUSE_PENDING 0x00000006u
#define SERVICE_PAUSED 0x00000007u

// State filters of EnumDependentServicesW.
#define SERVICE_ACTIVE 0x00000001u
#define SERVICE_INACTIVE 0x00000002u
#define SERVICE_STATE_ALL 0x00000003u

// ---- Controls ----
#define SERVICE_CONTROL_STOP 0x00000001u
#define SERVICE_CONTROL_PAUSE 0x00000002u
#define SERVICE_CONTROL_CONTINUE 0x00000003u
#define SERVICE_CONTROL_INTERROGATE 0x00000004u
#define SERVICE_CONTROL_SHUTDOWN 0x00000005u
#define SERVICE_CONTROL_DEVICEEVENT 0x0000000Bu
#define SERVICE_ACCEPT_STOP 0x00000001u
#define SERVICE_ACCEPT_PAUSE_CONTINUE 0x00000002u
#define SERVICE_ACCEPT_SHUTDOWN 0x00000004u

// ---- Errors ----
#define ERROR_SERVICE_REQUEST_TIMEOUT 1053L
#define ERROR_INVALID_SERVICE_CONTROL 1052L
#define ERROR_SERVICE_ALREADY_RUNNING 1056L
#define ERROR_SERVICE_DISABLED 1058L
#define ERROR_SERVICE_DOES_NOT_EXIST 1060L
#define ERROR_SERVICE_CANNOT_ACCEPT_CTRL 1061L
#define ERROR_SERVICE_NOT_ACTIVE 1062L
#define ERROR_FAILED_SERVICE_CONTROLLER_CONNECT 1063L

#define ERROR_SERVICE_MARKED_FOR_DELETE 1072L
#define ERROR_SERVICE_EXISTS 1073L
#define ERROR_INVALID_SERVICE_ACCOUNT 1057L
#define ERROR_DATABASE_DOES_NOT_EXIST 1065L
#define ERROR_SERVICE_NEVER_STARTED 1077L
#define RPC_S_SERVER_UNAVAILABLE 1722L

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};
using LPSERVICE_STATUS = SERVICE_STATUS*;

struct SERVICE_STATUS_PROCESS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
    DWORD dwProcessId;
    DWORD dwServiceFlags;
};
using LPSERVICE_STATUS_PROCESS = SERVICE_STATUS_PROCESS*;

enum SC_STATUS_TYPE { SC_STATUS_PROCESS_INFO = 0 };

struct ENUM_SERVICE_STATUSW {
    LPWSTR lpServiceName;
    LPWSTR lpDisplayName;
    SERVICE_STATUS ServiceStatus;
};
using LPENUM_SERVICE_STATUSW = ENUM_SERVICE_STATUSW*;

using LPSERVICE_MAIN_FUNCTIONW = void (*)(DWORD argc, LPWSTR* argv);
struct SERVICE_TABLE_ENTRYW {
    LPWSTR lpServiceName;
    LPSERVICE_MAIN_FUNCTIONW lpServiceProc;
};
using LPHANDLER_FUNCTION_EX = DWORD (*)(DWORD control, DWORD eventType, LPVOID eventData,
                                        LPVOID context);

// ---- The service control manager ----
// machineName must be null or empty (the local machine).
SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD access);
// dependencies: a list of names, each ended by a terminator, the list by a second one.
// The binary path is kept as given: a path with blanks must be quoted, or the machine resolves it
// by the platform's rules for unquoted command lines.
SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName, DWORD access,
                         DWORD serviceType, DWORD startType, DWORD errorControl,
                         LPCWSTR binaryPathName, LPCWSTR loadOrderGroup, LPDWORD tagId,
                         LPCWSTR dependencies, LPCWSTR serviceStartName, LPCWSTR password);
SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD access);
BOOL CloseServiceHandle(SC_HANDLE handle);
// Returns once the service program has connected its control dispatcher (or fails with
// ERROR_SERVICE_REQUEST_TIMEOUT after 30 s of machine time).
BOOL StartServiceW(SC_HANDLE service, DWORD argc, LPCWSTR* argv);
BOOL QueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE level, LPBYTE buffer, DWORD size,
                          LPDWORD needed);
BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status);
BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                          LPCWSTR binaryPathName, LPCWSTR loadOrderGroup, LPDWORD tagId,
                          LPCWSTR dependencies, LPCWSTR serviceStartName, LPCWSTR password,
                          LPCWSTR displayName);
// Waits until the service's handler has returned (at most 30 s of machine time).
BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
// ERROR_MORE_DATA with the needed size when the buffer is too small (or absent and there are
// dependents).
BOOL EnumDependentServicesW(SC_HANDLE service, DWORD serviceState, LPENUM_SERVICE_STATUSW services,
                            DWORD bufferSize, LPDWORD needed, LPDWORD returned);
// Marks the service for deletion; it goes once it is stopped and every handle to it is closed.
BOOL DeleteService(SC_HANDLE service);

// ---- The service program's side ----
BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* table);
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExW(LPCWSTR serviceName,
                                                    LPHANDLER_FUNCTION_EX handler, LPVOID context);
BOOL SetServiceStatus(SERVICE_STATUS_HANDLE status, LPSERVICE_STATUS serviceStatus);

// ---- Device notifications (user32 on the platform) ----
#define DEVICE_NOTIFY_WINDOW_HANDLE 0x00000000u
#define DEVICE_NOTIFY_SERVICE_HANDLE 0x00000001u
#define DEVICE_NOTIFY_ALL_INTERFACE_CLASSES 0x00000004u
// recipient: a SERVICE_STATUS_HANDLE with DEVICE_NOTIFY_SERVICE_HANDLE; the service's handler
// then gets SERVICE_CONTROL_DEVICEEVENT with DBT_DEVICEARRIVAL / DBT_DEVICEREMOVECOMPLETE and a
// DEV_BROADCAST_DEVICEINTERFACE_W, one event at a time on its dispatcher thread. Window recipients
// come with the window system's message queues; until then they are refused with
// ERROR_NOT_SUPPORTED.
HDEVNOTIFY RegisterDeviceNotificationW(HANDLE recipient, LPVOID filter, DWORD flags);
BOOL UnregisterDeviceNotification(HDEVNOTIFY handle);
