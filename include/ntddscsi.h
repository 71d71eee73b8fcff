// SCSI pass-through requests to a storage device. The header's byte layout is the one the
// storage driver reads: the system builds the request buffer by hand around it.
#pragma once

#include <cstddef>

#include <windef.h>

#define IOCTL_SCSI_PASS_THROUGH 0x0004D004u
#define SCSI_IOCTL_DATA_OUT 0
#define SCSI_IOCTL_DATA_IN 1
#define SCSI_IOCTL_DATA_UNSPECIFIED 2

// The 32-bit layout: DataBufferOffset is a ULONG_PTR there and is kept at 4 bytes here so that
// the header stays 44 bytes on every host.
struct SCSI_PASS_THROUGH {
    USHORT Length;
    UCHAR ScsiStatus;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    UCHAR CdbLength;
    UCHAR SenseInfoLength;
    UCHAR DataIn;
    UCHAR Reserved[3];
    ULONG DataTransferLength;
    ULONG TimeOutValue;
    std::uint32_t DataBufferOffset;
    ULONG SenseInfoOffset;
    UCHAR Cdb[16];
};
static_assert(sizeof(SCSI_PASS_THROUGH) == 44);
static_assert(offsetof(SCSI_PASS_THROUGH, CdbLength) == 6);
static_assert(offsetof(SCSI_PASS_THROUGH, DataTransferLength) == 12);
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == 20);
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoOffset) == 24);
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == 28);
