#include "support/scsi_switch.h"

#include <cstring>

#include <windows.h>
#include "support/device_enum.h"
#include "support/platform_helpers.h"

bool BuildSwitchCdb(int mode, BYTE* cdb, int& length) {
    if (mode != 0 && mode != 1) return false;
    cdb[0] = mode == 0 ? 0x9F : 0x9E;
    cdb[1] = 0;
    cdb[2] = 0;
    if (GetOsVersionCode() == kOsWinXP) {
        cdb[1] = 0x01;
        cdb[2] = 0x00;
    }
    if (GetOsVersionCode() == kOsWin2000) {
        cdb[1] = 0x02;
        cdb[2] = mode == 0 ? 0x02 : 0x00;
    }
    if (GetOsVersionCode() == kOsVista) {
        cdb[1] = 0x03;
        cdb[2] = 0x00;
    }
    length = 3;
    return true;
}

bool SendScsiCommand(const std::wstring& devicePath, const BYTE* cdb, int cdbBytes) {
    EnableDebugPrivilege();
    DebugLog(L"CreateFile: %s\n", devicePath.c_str());
    HANDLE device = CreateFileW(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        DebugLog(L"Error CreateFile: %s, Error Code: %d\n", devicePath.c_str(),
                 static_cast<int>(GetLastError()));
        return false;
    }
    SCSI_PASS_THROUGH_WITH_BUFFERS request;
    std::memset(&request, 0, sizeof request);
    request.Spt.Length = sizeof(SCSI_PASS_THROUGH);
    request.Spt.PathId = 0;
    request.Spt.TargetId = 1;
    request.Spt.Lun = 0;
    request.Spt.CdbLength = 6;
    request.Spt.SenseInfoLength = sizeof request.SenseBuf;
    request.Spt.DataIn = SCSI_IOCTL_DATA_IN;
    request.Spt.DataTransferLength = 192;
    request.Spt.TimeOutValue = 2;
    request.Spt.DataBufferOffset = offsetof(SCSI_PASS_THROUGH_WITH_BUFFERS, DataBuf);
    request.Spt.SenseInfoOffset = offsetof(SCSI_PASS_THROUGH_WITH_BUFFERS, SenseBuf);
    if (cdbBytes > static_cast<int>(sizeof request.Spt.Cdb))
        cdbBytes = static_cast<int>(sizeof request.Spt.Cdb);
    if (cdbBytes > 0) std::memcpy(request.Spt.Cdb, cdb, static_cast<size_t>(cdbBytes));

    DWORD returned = 0;
    // The device answers by leaving disk mode; the reply itself is not looked at.
    DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH, &request, sizeof(SCSI_PASS_THROUGH), &request,
                    request.Spt.DataBufferOffset + request.Spt.DataTransferLength, &returned,
                    nullptr);
    CloseHandle(device);
    return true;
}

bool SendCdbHex(const std::wstring& hex, const std::wstring& devicePath) {
    if (hex.size() % 2 != 0) return false;
    if (hex.size() > 2 * kMaxHexCommandBytes) return false;
    BYTE command[kMaxHexCommandBytes];
    std::memset(command, 0, sizeof command);
    int pairs = static_cast<int>(hex.size() / 2);
    for (int i = 0; i < pairs; ++i) {
        // Each pair on its own: a pair that does not begin with a digit stays 0; a pair whose
        // second character is no digit gives the first digit's value.
        int high = HexDigitValue(hex[2 * i]);
        if (high < 0) continue;
        int low = HexDigitValue(hex[2 * i + 1]);
        command[i] = static_cast<BYTE>(low < 0 ? high : high * 16 + low);
    }
    if (!devicePath.empty()) return SendScsiCommand(devicePath, command, pairs);
    std::wstring path;
    if (!FindDeviceCdrom(path)) return false;
    return SendScsiCommand(path, command, pairs);
}
