#include "machine/control/modules.h"

#include "machine/machine.h"

namespace control {

void RegisterModule(const std::wstring& fileName, const ModuleExports& exports) {
    sim::ModuleDef def;
    def.name = fileName;
    def.exports = exports;
    sim::machine().RegisterModule(std::move(def));
}

void InstallModule(const std::wstring& folder, const std::wstring& fileName,
                   const ModuleExports& exports) {
    RegisterModule(fileName, exports);
    sim::machine().WriteFile(folder + fileName, "MZ");
}

}  // namespace control
