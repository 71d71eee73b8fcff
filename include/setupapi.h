// Device installation functions: device information sets, device interfaces, registry
// properties and class-installer property changes.
#pragma once

#include <cfgmgr32.h>
#include <devguid.h>
#include <winreg.h>
#include <windef.h>

using HDEVINFO = PVOID;

#define DIGCF_DEFAULT 0x00000001u
#define DIGCF_PRESENT 0x00000002u
#define DIGCF_ALLCLASSES 0x00000004u
#define DIGCF_PROFILE 0x00000008u
#define DIGCF_DEVICEINTERFACE 0x00000010u

#define SPDRP_DEVICEDESC 0x00000000u
#define SPDRP_HARDWAREID 0x00000001u
#define SPDRP_COMPATIBLEIDS 0x00000002u
#define SPDRP_SERVICE 0x00000004u
#define SPDRP_CLASS 0x00000007u
#define SPDRP_CLASSGUID 0x00000008u
#define SPDRP_DRIVER 0x00000009u
#define SPDRP_MFG 0x0000000Bu
#define SPDRP_FRIENDLYNAME 0x0000000Cu
#define SPDRP_PHYSICAL_DEVICE_OBJECT_NAME 0x0000000Eu

// Value types of registry properties: REG_SZ, REG_MULTI_SZ, ... (<winreg.h>).

#define DIF_PROPERTYCHANGE 0x00000012u
#define DICS_ENABLE 0x00000001u
#define DICS_DISABLE 0x00000002u
#define DICS_PROPCHANGE 0x00000003u
#define DICS_FLAG_GLOBAL 0x00000001u
#define DICS_FLAG_CONFIGSPECIFIC 0x00000002u

#define DI_NEEDRESTART 0x00000080u
#define DI_NEEDREBOOT 0x00000100u

using DI_FUNCTION = UINT;

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
};
using PSP_DEVICE_INTERFACE_DATA = SP_DEVICE_INTERFACE_DATA*;
#define SPINT_ACTIVE 0x00000001u

struct SP_DEVICE_INTERFACE_DETAIL_DATA_W {
    DWORD cbSize;
    WCHAR DevicePath[1];
};
using PSP_DEVICE_INTERFACE_DETAIL_DATA_W = SP_DEVICE_INTERFACE_DETAIL_DATA_W*;

struct SP_CLASSINSTALL_HEADER {
    DWORD cbSize;
    DI_FUNCTION InstallFunction;
};
using PSP_CLASSINSTALL_HEADER = SP_CLASSINSTALL_HEADER*;

struct SP_PROPCHANGE_PARAMS {
    SP_CLASSINSTALL_HEADER ClassInstallHeader;
    DWORD StateChange;
    DWORD Scope;
    DWORD HwProfile;
};

struct SP_DEVINSTALL_PARAMS_W {
    DWORD cbSize;
    DWORD Flags;
    DWORD FlagsEx;
    HWND hwndParent;
    void* InstallMsgHandler;
    PVOID InstallMsgHandlerContext;
    PVOID FileQueue;
    ULONG_PTR ClassInstallReserved;
    DWORD Reserved;
    WCHAR DriverPath[MAX_PATH];
};
using PSP_DEVINSTALL_PARAMS_W = SP_DEVINSTALL_PARAMS_W*;

HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, LPCWSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data);
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid,
                                 DWORD index, PSP_DEVICE_INTERFACE_DATA data);
// A size query (no buffer) fails with ERROR_INSUFFICIENT_BUFFER and reports the size. The
// detail's cbSize must be sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W).
BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                      PDWORD requiredSize, PSP_DEVINFO_DATA device);
BOOL SetupDiGetDeviceInstanceIdW(HDEVINFO set, PSP_DEVINFO_DATA device, PWSTR buffer,
                                 DWORD bufferChars, PDWORD requiredChars);
// Fails with ERROR_INSUFFICIENT_BUFFER when the buffer is too small, ERROR_INVALID_DATA when the
// device has no such property. Sizes are in bytes.
BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                       PDWORD regType, PBYTE buffer, DWORD bufferSize,
                                       PDWORD requiredSize);
BOOL SetupDiSetClassInstallParamsW(HDEVINFO set, PSP_DEVINFO_DATA device,
                                   PSP_CLASSINSTALL_HEADER params, DWORD size);
BOOL SetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA device);
BOOL SetupDiGetDeviceInstallParamsW(HDEVINFO set, PSP_DEVINFO_DATA device,
                                    PSP_DEVINSTALL_PARAMS_W params);

// ---- Setup information (.inf) files (platform/setupapi/inf.cpp) ----
// Syntax and lookup errors of the INF functions.
#define ERROR_EXPECTED_SECTION_NAME (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x000u)
#define ERROR_BAD_SECTION_NAME_LINE (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x001u)
#define ERROR_SECTION_NAME_TOO_LONG (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x002u)
#define ERROR_GENERAL_SYNTAX (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x003u)
#define ERROR_WRONG_INF_STYLE (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x100u)
#define ERROR_SECTION_NOT_FOUND (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x101u)
#define ERROR_LINE_NOT_FOUND (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x102u)
#define ERROR_NO_ASSOCIATED_CLASS (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x200u)
#define ERROR_CLASS_MISMATCH (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x201u)

using HINF = PVOID;
struct INFCONTEXT {
    PVOID Inf;
    PVOID CurrentInf;
    UINT Section;
    UINT Line;
};
using PINFCONTEXT = INFCONTEXT*;
using PUINT = UINT*;

#define INF_STYLE_NONE 0x00000000u
#define INF_STYLE_OLDNT 0x00000001u
#define INF_STYLE_WIN4 0x00000002u

// Opens an .inf file (UTF-16LE with its byte-order mark, or ANSI). Only INF_STYLE_WIN4 files
// are read: a [Version] section whose Signature is "$Windows NT$" or "$Chicago$"; others fail
// with ERROR_WRONG_INF_STYLE. A class name, when given, must equal the file's Class
// (ERROR_CLASS_MISMATCH). A syntax error fails with its code and *errorLine set.
HINF SetupOpenInfFileW(PCWSTR fileName, PCWSTR infClass, DWORD infStyle, PUINT errorLine);
void SetupCloseInfFile(HINF inf);
// The first line of the section, or the first whose key equals key (case ignored). A line with
// no '=' and a single value has that value as its key. ERROR_LINE_NOT_FOUND when there is none.
BOOL SetupFindFirstLineW(HINF inf, PCWSTR section, PCWSTR key, PINFCONTEXT context);
BOOL SetupFindNextLine(const INFCONTEXT* contextIn, PINFCONTEXT contextOut);
// Field 0 is the key (ERROR_INVALID_PARAMETER for a line without one); fields from 1 on are the
// values. Sizes are in characters with the terminator; a null buffer asks for the size.
BOOL SetupGetStringFieldW(const INFCONTEXT* context, DWORD fieldIndex, PWSTR buffer,
                          DWORD bufferSize, PDWORD requiredSize);
// The number of values on the line (the key not counted).
DWORD SetupGetFieldCount(const INFCONTEXT* context);
// The class name and class GUID of an .inf file's [Version] section. A file that names its class
// but no GUID gives the all-zero GUID; one that names neither fails with
// ERROR_NO_ASSOCIATED_CLASS.
BOOL SetupDiGetINFClassW(PCWSTR infName, LPGUID classGuid, PWSTR className, DWORD classNameSize,
                         PDWORD requiredSize);
// The GUIDs of the setup classes installed under that name (case ignored).
BOOL SetupDiClassGuidsFromNameW(PCWSTR className, LPGUID guidList, DWORD guidListSize,
                                PDWORD requiredSize);

// ---- Device registry keys (platform/setupapi/devices.cpp) ----
#define DIREG_DEV 0x00000001u
#define DIREG_DRV 0x00000002u
#define ERROR_KEY_DOES_NOT_EXIST (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x204u)

// Opens the device's hardware key (DIREG_DEV: "Device Parameters" under the device's instance
// key) or software key (DIREG_DRV: its driver key under the class key), as an HKEY for the
// registry functions. INVALID_HANDLE_VALUE (as an HKEY) with the last error on failure:
// ERROR_KEY_DOES_NOT_EXIST when the device has no such key. Only the global scope is served.
HKEY SetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD scope, DWORD hwProfile,
                          DWORD keyType, REGSAM access);
