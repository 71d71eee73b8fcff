#include "machine/control/resources.h"

#include "machine/processes.h"

namespace control {

void LinkResources(const resources::ModuleResources* tables) {
    sim::CurrentProcess().resources.Set(tables);
}

}  // namespace control
