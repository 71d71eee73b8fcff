// Remote Access Service: phone-book entries, asynchronous dialling with a notification callback,
// hang-up, connection state, error texts and connection statistics.
//
// Text fields are WCHAR arrays of the platform's lengths; the structures' sizes are the host's
// sizeof (WCHAR is the host's wchar_t), so callers pass sizeof, or the offset where a later
// version's fields begin when they talk to an older version.
#pragma once

#include <cstddef>

#include <windef.h>

struct HRASCONN__ {
    int unused;
};
using HRASCONN = HRASCONN__*;
using LPHRASCONN = HRASCONN*;

#define RAS_MaxEntryName 256
#define RAS_MaxPhoneNumber 128
#define RAS_MaxCallbackNumber RAS_MaxPhoneNumber
#define RAS_MaxDeviceType 16
#define RAS_MaxDeviceName 128
#define RAS_MaxAreaCode 10
#define RAS_MaxPadType 32
#define RAS_MaxX25Address 200
#define RAS_MaxFacilities 200
#define RAS_MaxUserData 200
#define RAS_MaxDnsSuffix 256
#define UNLEN 256
#define PWLEN 256
#define DNLEN 15

#define RASDT_Modem L"modem"

// The message that a RasDialFunc1 notification carries.
#define WM_RASDIALEVENT 0xCCCDu

// ---- Connection states ----
#define RASCS_PAUSED 0x1000
#define RASCS_DONE 0x2000

enum RASCONNSTATE {
    RASCS_OpenPort = 0,
    RASCS_PortOpened,
    RASCS_ConnectDevice,
    RASCS_DeviceConnected,
    RASCS_AllDevicesConnected,
    RASCS_Authenticate,
    RASCS_AuthNotify,
    RASCS_AuthRetry,
    RASCS_AuthCallback,
    RASCS_AuthChangePassword,
    RASCS_AuthProject,
    RASCS_AuthLinkSpeed,
    RASCS_AuthAck,
    RASCS_ReAuthenticate,
    RASCS_Authenticated,
    RASCS_PrepareForCallback,
    RASCS_WaitForModemReset,
    RASCS_WaitForCallback,
    RASCS_Projected,
    RASCS_StartAuthentication,
    RASCS_CallbackComplete,
    RASCS_LogonNetwork,
    RASCS_SubEntryConnected,
    RASCS_SubEntryDisconnected,
    RASCS_Interactive = RASCS_PAUSED,
    RASCS_RetryAuthentication,
    RASCS_CallbackSetByCaller,
    RASCS_PasswordExpired,
    RASCS_InvokeEapUI,
    RASCS_Connected = RASCS_DONE,
    RASCS_Disconnected,
};

// ---- Error codes ----
#define RASBASE 600
#define PENDING 600
#define ERROR_PORT_ALREADY_OPEN 602
#define ERROR_BUFFER_TOO_SMALL 603
#define ERROR_CANNOT_FIND_PHONEBOOK_ENTRY 623
#define ERROR_PORT_DISCONNECTED 619
#define ERROR_DISCONNECTION 628
#define ERROR_HARDWARE_FAILURE 630
#define ERROR_INVALID_SIZE 632
#define ERROR_PORT_NOT_AVAILABLE 633
#define ERROR_NO_ANSWER 678
#define ERROR_NO_DIALTONE 680
#define ERROR_AUTHENTICATION_FAILURE 691
#define RASBASEEND 835

// ---- Phone-book entry ----
struct RASIPADDR {
    BYTE a;
    BYTE b;
    BYTE c;
    BYTE d;
};

#define RASEO_UseCountryAndAreaCodes 0x00000001u
#define RASEO_SpecificIpAddr 0x00000002u
#define RASEO_SpecificNameServers 0x00000004u
#define RASEO_IpHeaderCompression 0x00000008u
#define RASEO_RemoteDefaultGateway 0x00000010u
#define RASEO_DisableLcpExtensions 0x00000020u
#define RASEO_TerminalBeforeDial 0x00000040u
#define RASEO_TerminalAfterDial 0x00000080u
#define RASEO_ModemLights 0x00000100u
#define RASEO_SwCompression 0x00000200u
#define RASEO_RequireEncryptedPw 0x00000400u
#define RASEO_RequireMsEncryptedPw 0x00000800u
#define RASEO_RequireDataEncryption 0x00001000u
#define RASEO_NetworkLogon 0x00002000u
#define RASEO_UseLogonCredentials 0x00004000u
#define RASEO_PromoteAlternates 0x00008000u
#define RASEO_SecureLocalFiles 0x00010000u
#define RASEO_RequireEAP 0x00020000u
#define RASEO_RequirePAP 0x00040000u
#define RASEO_RequireSPAP 0x00080000u
#define RASEO_Custom 0x00100000u
#define RASEO_PreviewPhoneNumber 0x00200000u
#define RASEO_SharedPhoneNumbers 0x00800000u
#define RASEO_PreviewUserPw 0x01000000u
#define RASEO_PreviewDomain 0x02000000u
#define RASEO_ShowDialingProgress 0x04000000u
#define RASEO_RequireCHAP 0x08000000u
#define RASEO_RequireMsCHAP 0x10000000u
#define RASEO_RequireMsCHAP2 0x20000000u
#define RASEO_RequireW95MSCHAP 0x40000000u
#define RASEO_CustomScript 0x80000000u

#define RASEO2_SecureFileAndPrint 0x00000001u
#define RASEO2_SecureClientForMSNet 0x00000002u
#define RASEO2_DontNegotiateMultilink 0x00000004u
#define RASEO2_DontUseRasCredentials 0x00000008u
#define RASEO2_UsePreSharedKey 0x00000010u
#define RASEO2_Internet 0x00000020u
#define RASEO2_DisableNbtOverIP 0x00000040u

#define RASNP_NetBEUI 0x00000001u
#define RASNP_Ipx 0x00000002u
#define RASNP_Ip 0x00000004u

#define RASFP_Ppp 0x00000001u
#define RASFP_Slip 0x00000002u
#define RASFP_Ras 0x00000004u

#define RASET_Phone 1u
#define RASET_Vpn 2u
#define RASET_Direct 3u
#define RASET_Internet 4u

#define ET_None 0u
#define ET_Require 1u
#define ET_RequireMax 2u
#define ET_Optional 3u

// The entry as Windows XP knows it. Windows 2000 knows the fields before dwfOptions2 only and
// refuses a structure whose dwSize counts the later ones.
struct RASENTRYW {
    DWORD dwSize;
    DWORD dwfOptions;
    DWORD dwCountryID;
    DWORD dwCountryCode;
    WCHAR szAreaCode[RAS_MaxAreaCode + 1];
    WCHAR szLocalPhoneNumber[RAS_MaxPhoneNumber + 1];
    DWORD dwAlternateOffset;
    RASIPADDR ipaddr;
    RASIPADDR ipaddrDns;
    RASIPADDR ipaddrDnsAlt;
    RASIPADDR ipaddrWins;
    RASIPADDR ipaddrWinsAlt;
    DWORD dwFrameSize;
    DWORD dwfNetProtocols;
    DWORD dwFramingProtocol;
    WCHAR szScript[MAX_PATH];
    WCHAR szAutodialDll[MAX_PATH];
    WCHAR szAutodialFunc[MAX_PATH];
    WCHAR szDeviceType[RAS_MaxDeviceType + 1];
    WCHAR szDeviceName[RAS_MaxDeviceName + 1];
    WCHAR szX25PadType[RAS_MaxPadType + 1];
    WCHAR szX25Address[RAS_MaxX25Address + 1];
    WCHAR szX25Facilities[RAS_MaxFacilities + 1];
    WCHAR szX25UserData[RAS_MaxUserData + 1];
    DWORD dwChannels;
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwSubEntries;
    DWORD dwDialMode;
    DWORD dwDialExtraPercent;
    DWORD dwDialExtraSampleSeconds;
    DWORD dwHangUpExtraPercent;
    DWORD dwHangUpExtraSampleSeconds;
    DWORD dwIdleDisconnectSeconds;
    DWORD dwType;
    DWORD dwEncryptionType;
    DWORD dwCustomAuthKey;
    GUID guidId;
    WCHAR szCustomDialDll[MAX_PATH];
    DWORD dwVpnStrategy;
    // Windows XP and later.
    DWORD dwfOptions2;
    DWORD dwfOptions3;
    WCHAR szDnsSuffix[RAS_MaxDnsSuffix];
    DWORD dwTcpWindowSize;
    WCHAR szPrerequisitePbk[MAX_PATH];
    WCHAR szPrerequisiteEntry[RAS_MaxEntryName + 1];
    DWORD dwRedialCount;
    DWORD dwRedialPause;
};
using LPRASENTRYW = RASENTRYW*;

// The size of the entry as Windows 2000 knows it.
inline constexpr DWORD RASENTRYW_V500_SIZE = offsetof(RASENTRYW, dwfOptions2);

// ---- Dialling ----
struct RASDIALPARAMSW {
    DWORD dwSize;
    WCHAR szEntryName[RAS_MaxEntryName + 1];
    WCHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
    WCHAR szCallbackNumber[RAS_MaxCallbackNumber + 1];
    WCHAR szUserName[UNLEN + 1];
    WCHAR szPassword[PWLEN + 1];
    WCHAR szDomain[DNLEN + 1];
    DWORD dwSubEntry;
    ULONG_PTR dwCallbackId;
};
using LPRASDIALPARAMSW = RASDIALPARAMSW*;

// Dial options; this layer accepts them and ignores them.
struct RASDIALEXTENSIONS {
    DWORD dwSize;
    DWORD dwfOptions;
    HWND hwndParent;
    ULONG_PTR reserved;
};
using LPRASDIALEXTENSIONS = RASDIALEXTENSIONS*;

// Notifier type 1: called with (connection, WM_RASDIALEVENT, state, error, extended error).
using RasDialFunc1 = void (*)(HRASCONN, UINT, RASCONNSTATE, DWORD, DWORD);

struct RASCONNSTATUSW {
    DWORD dwSize;
    RASCONNSTATE rasconnstate;
    DWORD dwError;
    WCHAR szDeviceType[RAS_MaxDeviceType + 1];
    WCHAR szDeviceName[RAS_MaxDeviceName + 1];
    WCHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
};
using LPRASCONNSTATUSW = RASCONNSTATUSW*;

// A connection as RasEnumConnectionsW lists it.
struct RASCONNW {
    DWORD dwSize;
    HRASCONN hrasconn;
    WCHAR szEntryName[RAS_MaxEntryName + 1];
    WCHAR szDeviceType[RAS_MaxDeviceType + 1];
    WCHAR szDeviceName[RAS_MaxDeviceName + 1];
};
using LPRASCONNW = RASCONNW*;

// ---- Statistics ----
struct RAS_STATS {
    DWORD dwSize;
    DWORD dwBytesXmited;
    DWORD dwBytesRcved;
    DWORD dwFramesXmited;
    DWORD dwFramesRcved;
    DWORD dwCrcErr;
    DWORD dwTimeoutErr;
    DWORD dwAlignmentErr;
    DWORD dwHardwareOverrunErr;
    DWORD dwFramingErr;
    DWORD dwBufferOverrunErr;
    DWORD dwCompressionRatioIn;
    DWORD dwCompressionRatioOut;
    DWORD dwBps;
    DWORD dwConnectDuration;  // milliseconds
};
using PRAS_STATS = RAS_STATS*;
static_assert(sizeof(RAS_STATS) == 60, "RAS_STATS is 15 DWORDs");

// ---- Functions (results: 0 or an error code) ----

// phonebook: null for the default phone book. devInfo is accepted and ignored.
DWORD RasSetEntryPropertiesW(LPCWSTR phonebook, LPCWSTR entryName, LPRASENTRYW entry,
                             DWORD entrySize, LPBYTE devInfo, DWORD devInfoSize);
DWORD RasDeleteEntryW(LPCWSTR phonebook, LPCWSTR entryName);
// Copies the entry in the size entry->dwSize gives (*entrySize: the buffer's bytes); with a null
// entry, or a buffer too small, *entrySize is set to the size needed (ERROR_BUFFER_TOO_SMALL).
// devInfo must be null.
DWORD RasGetEntryPropertiesW(LPCWSTR phonebook, LPCWSTR entryName, LPRASENTRYW entry,
                             LPDWORD entrySize, LPBYTE devInfo, LPDWORD devInfoSize);
// The machine's connections, of every program: *size is the buffer's bytes (the first element's
// dwSize set), *count what was written; a buffer too small gives ERROR_BUFFER_TOO_SMALL with
// *size the bytes needed.
DWORD RasEnumConnectionsW(LPRASCONNW connections, LPDWORD size, LPDWORD count);

// Dials asynchronously: notifierType must be 1 and notifier a RasDialFunc1, called on a thread of
// RAS for each state, one at a time; *connection must be null on entry. (This layer does not
// dial synchronously without a notifier, nor resume a paused dial.)
DWORD RasDialW(LPRASDIALEXTENSIONS extensions, LPCWSTR phonebook, LPRASDIALPARAMSW params,
               DWORD notifierType, LPVOID notifier, LPHRASCONN connection);
DWORD RasHangUpW(HRASCONN connection);
DWORD RasGetConnectStatusW(HRASCONN connection, LPRASCONNSTATUSW status);
DWORD RasGetErrorStringW(UINT error, LPWSTR buffer, DWORD bufferChars);

// Exported by "RasAPI32.dll"; callers bind it at run time with GetProcAddress.
DWORD RasGetConnectionStatistics(HRASCONN connection, RAS_STATS* statistics);
using PFN_RASGETCONNECTIONSTATISTICS = DWORD (*)(HRASCONN, RAS_STATS*);
