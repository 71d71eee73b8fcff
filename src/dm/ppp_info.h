// The PPP settings the application reads for R-UIM dialling: the account stored on the device,
// read through the device information service.
#pragma once

#include <cstdint>

#include "dm/device_info.h"

// The stored account. state 0xFF: nothing stored (the record is left as the caller prepared it
// unless the device answered).
struct DMPPPInfo {
    std::uint8_t state;
    std::uint8_t value;
    char user[128];
    char password[128];
};

class IPPPInfo {
public:
    // Slots 0 to 3 are reserved; they do nothing.
    virtual void Reserved0() {}
    virtual void Reserved1() {}
    virtual void Reserved2() {}
    virtual void Reserved3() {}
    // Slot 4. Fills the record with the device's stored account and writes the service status (0 =
    // success). On success the state is 0 when the device holds a user name or a password and
    // 0xFF when it holds neither; on any other status the record is not touched.
    virtual void ReadPPPInfo(DMPPPInfo* record, int* status) = 0;

protected:
    ~IPPPInfo() = default;
};

// The class behind IPPPInfo: one read of the device information service's PPP command.
class CPPPInfo final : public IPPPInfo {
public:
    explicit CPPPInfo(IDMCommon& common) : m_common(common) {}
    void ReadPPPInfo(DMPPPInfo* record, int* status) override;

private:
    IDMCommon& m_common;
};
