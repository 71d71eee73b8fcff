#include <winbase.h>

#include "machine/handles.h"
#include "machine/serial.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

// The port behind a handle; sets the last error when there is none or it has gone.
std::shared_ptr<sim::SerialHandle> PortOf(HANDLE file) {
    auto obj = sim::HandleTable::Get().Find(file);
    if (!obj) return Fail<std::shared_ptr<sim::SerialHandle>>(nullptr, ERROR_INVALID_HANDLE);
    auto port = std::dynamic_pointer_cast<sim::SerialHandle>(obj);
    if (!port) return Fail<std::shared_ptr<sim::SerialHandle>>(nullptr, ERROR_INVALID_FUNCTION);
    if (!port->Present())
        return Fail<std::shared_ptr<sim::SerialHandle>>(nullptr, ERROR_GEN_FAILURE);
    return port;
}

bool ValidState(const DCB& d) {
    if (d.BaudRate == 0 || d.ByteSize < 5 || d.ByteSize > 8) return false;
    if (d.Parity > SPACEPARITY || d.StopBits > TWOSTOPBITS) return false;
    if (d.StopBits == ONE5STOPBITS && d.ByteSize != 5) return false;
    if (d.StopBits == TWOSTOPBITS && d.ByteSize == 5) return false;
    if ((d.fOutX || d.fInX) && d.XonChar == d.XoffChar) return false;
    return true;
}

}  // namespace

BOOL GetCommState(HANDLE file, LPDCB dcb) {
    API_TRACE(Devices, GetCommState, file, dcb);
    auto port = PortOf(file);
    if (!port) return FALSE;
    if (dcb == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    *dcb = port->port->State();
    dcb->DCBlength = sizeof(DCB);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetCommState(HANDLE file, LPDCB dcb) {
    API_TRACE(Devices, SetCommState, file, dcb);
    auto port = PortOf(file);
    if (!port) return FALSE;
    if (dcb == nullptr || !ValidState(*dcb)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    port->port->ApplyState(*dcb);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
    API_TRACE(Devices, SetCommTimeouts, file, timeouts);
    auto port = PortOf(file);
    if (!port) return FALSE;
    if (timeouts == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    port->port->ApplyTimeouts(*timeouts);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
