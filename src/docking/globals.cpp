#include "docking/globals.h"

namespace System::Docking {

FrameworkGlobals& Globals() {
    // Built once, on first use, whole and in member order; destroyed in reverse at exit.
    static FrameworkGlobals globals;
    return globals;
}

}  // namespace System::Docking
