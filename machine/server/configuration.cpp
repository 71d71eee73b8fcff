// The machine's configuration, set by a control client before the programs start and given to
// each program in the answer to its hello.
#include <winbase.h>
#include "machine/config_wire.h"
#include "machine/server/core.h"

namespace sim::server {

void Core::OnConfigure(Client& c, const wire::Frame& f) {
    Config check;
    if (!wire::DecodeConfig(f.payload, check)) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    // Programs that run keep the machine they started on.
    if (ProgramsStarted()) return Reply(c, f.id, ERROR_INVALID_OPERATION);
    configBytes_ = f.payload;
    Reply(c, f.id, 0);
}

}  // namespace sim::server
