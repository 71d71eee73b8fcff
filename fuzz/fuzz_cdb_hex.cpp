// Hexadecimal command text, as the service's command line passes it, sent to the simulated modem.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/sim/machine.h"
#include "platform/sim/modem.h"
#include "support/scsi_switch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::shared_ptr<sim::SimModem> modem;
    static int runs = 0;
    if (runs++ % 512 == 0) {
        sim::Machine::Reset();
        modem = sim::SimModem::Plug();
        modem->RejectSwitch(true);  // stay in disk mode so that every input reaches the parser
    }
    std::wstring hex;
    for (std::size_t i = 0; i < size; ++i) hex.push_back(static_cast<wchar_t>(data[i]));
    bool sent = SendCdbHex(hex, L"");
    if (hex.size() % 2 != 0 || hex.size() > 12) {
        if (sent) __builtin_trap();  // refused text must never reach the device
    }
    return 0;
}
