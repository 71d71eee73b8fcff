// Hexadecimal command text, as the service's command line passes it, sent to the simulated modem.
// One machine and one modem serve every input: the modem's request log is emptied after each, so
// that the memory stays flat and the fuzzer keeps checking each input for leaks.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "machine/machine.h"
#include "machine/modem.h"
#include "support/scsi_switch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::shared_ptr<sim::SimModem> modem = [] {
        sim::Machine::Reset();
        auto plugged = sim::SimModem::Plug();
        plugged->RejectSwitch(true);  // stay in disk mode so that every input reaches the parser
        return plugged;
    }();
    std::wstring hex;
    for (std::size_t i = 0; i < size; ++i) hex.push_back(static_cast<wchar_t>(data[i]));
    bool sent = SendCdbHex(hex, L"");
    bool reached = !modem->Requests().empty();
    modem->ClearRequests();
    if (sent != reached) __builtin_trap();  // "sent" means the device got the command
    if (hex.size() % 2 != 0 || hex.size() > 12) {
        if (reached) __builtin_trap();  // refused text must never reach the device
    }
    return 0;
}
