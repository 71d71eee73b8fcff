// The configuration manager: device node status, parent lookup and eject requests.
#pragma once

#include <windef.h>

using DEVINST = DWORD;
using DEVNODE = DWORD;
using PDEVINST = DEVINST*;
using CONFIGRET = DWORD;

#define CR_SUCCESS 0x00000000u
#define CR_FAILURE 0x00000013u
#define CR_INVALID_POINTER 0x00000003u
#define CR_INVALID_FLAG 0x00000004u
#define CR_INVALID_DEVNODE 0x00000005u
#define CR_NO_SUCH_DEVNODE 0x0000000Du
#define CR_REMOVE_VETOED 0x00000017u
#define CR_BUFFER_SMALL 0x0000001Au

#define DN_DRIVER_LOADED 0x00000002u
#define DN_STARTED 0x00000008u
#define DN_DISABLEABLE 0x00002000u
#define DN_REMOVABLE 0x00004000u
#define DN_HAS_PROBLEM 0x00000400u

#define CM_PROB_FAILED_START 10u
#define CM_PROB_DISABLED 22u
#define CM_PROB_FAILED_ADD 31u

enum PNP_VETO_TYPE {
    PNP_VetoTypeUnknown = 0,
    PNP_VetoLegacyDevice = 1,
    PNP_VetoPendingClose = 2,
    PNP_VetoWindowsApp = 3,
    PNP_VetoWindowsService = 4,
    PNP_VetoOutstandingOpen = 5,
    PNP_VetoDevice = 6,
    PNP_VetoDriver = 7,
    PNP_VetoIllegalDeviceRequest = 8,
    PNP_VetoInsufficientPower = 9,
    PNP_VetoNonDisableable = 10,
    PNP_VetoLegacyDriver = 11,
    PNP_VetoInsufficientRights = 12,
};
using PPNP_VETO_TYPE = PNP_VETO_TYPE*;

// Fails with CR_NO_SUCH_DEVNODE for a node that is not present.
CONFIGRET CM_Get_DevNode_Status(PULONG status, PULONG problemNumber, DEVINST devInst, ULONG flags);
CONFIGRET CM_Get_Parent(PDEVINST parent, DEVINST devInst, ULONG flags);
CONFIGRET CM_Request_Device_EjectW(DEVINST devInst, PPNP_VETO_TYPE vetoType, LPWSTR vetoName,
                                   ULONG nameLength, ULONG flags);
