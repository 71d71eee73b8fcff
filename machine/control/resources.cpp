#include "platform/control/resources.h"

#include "platform/sim/processes.h"

namespace control {

void LinkResources(const resources::ModuleResources* tables) {
    sim::CurrentProcess().resources.Set(tables);
}

}  // namespace control
