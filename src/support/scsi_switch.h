// The vendor SCSI command that switches the modem out of CD-ROM mode, and its sending through
// SCSI pass-through.
#pragma once

#include <cstddef>
#include <string>

#include <ntddscsi.h>

// The request buffer the storage driver receives: the pass-through header, then room for the
// sense data and the data.
struct SCSI_PASS_THROUGH_WITH_BUFFERS {
    SCSI_PASS_THROUGH Spt;
    ULONG Filler;
    UCHAR SenseBuf[32];
    UCHAR DataBuf[512];
};
static_assert(sizeof(SCSI_PASS_THROUGH_WITH_BUFFERS) == 592);
static_assert(offsetof(SCSI_PASS_THROUGH_WITH_BUFFERS, Filler) == 44);
static_assert(offsetof(SCSI_PASS_THROUGH_WITH_BUFFERS, SenseBuf) == 48);
static_assert(offsetof(SCSI_PASS_THROUGH_WITH_BUFFERS, DataBuf) == 80);

// The most command bytes the hexadecimal form may give.
inline constexpr int kMaxHexCommandBytes = 6;

// Writes the switch command's first three bytes for the running Windows version; mode 0 or 1.
bool BuildSwitchCdb(int mode, BYTE* cdb, int& length);
// Opens the device and issues the command (at most 16 bytes; always sent as a 6-byte block).
bool SendScsiCommand(const std::wstring& devicePath, const BYTE* cdb, int cdbBytes);
// Sends a command given as hexadecimal text (two digits a byte, at most 12 digits) to the
// device path, or to the modem's CD-ROM when the path is empty. False for text of odd length
// or of more than 12 digits (nothing is sent), or when nothing could be sent.
bool SendCdbHex(const std::wstring& hex, const std::wstring& devicePath);
