// Modules: the program's own image, and the modules LoadLibraryW finds on the machine.
#include <cstring>
#include <cwchar>
#include <string>

#include <winbase.h>
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/trace.h"

using sim::Fail;

// ---- Modules ----

namespace {

struct ModuleObj : sim::KObject {
    sim::ModuleDef def;
    std::wstring path;
};

std::wstring FileNamePart(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void NativeSystemInfo(LPSYSTEM_INFO info) {
    GetSystemInfo(info);
    if (sim::machine().config().is64Bit)
        info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
}

}  // namespace

namespace sim {
void RegisterRasModule(Machine& m);  // machine/ras.cpp

// The system's own modules, registered by every machine reset.
void RegisterSystemModules(Machine& m) {
    RegisterRasModule(m);
    ModuleDef kernel32;
    kernel32.name = L"kernel32.dll";
    kernel32.system = true;
    kernel32.exports["GetSystemInfo"] = reinterpret_cast<void*>(&GetSystemInfo);
    const Config& c = m.config();
    bool xpOrLater = c.platformId == 2 && (c.major > 5 || (c.major == 5 && c.minor >= 1));
    if (xpOrLater)
        kernel32.exports["GetNativeSystemInfo"] = reinterpret_cast<void*>(&NativeSystemInfo);
    m.RegisterModule(kernel32);
}
}  // namespace sim

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    API_TRACE(Kernel, GetModuleFileNameW, module, fileName, size);
    std::wstring path;
    if (module == nullptr) {
        path = sim::CurrentProcess().info.imagePath;
    } else {
        auto m = sim::HandleTable::Get().FindAs<ModuleObj>(reinterpret_cast<HANDLE>(module));
        if (!m) return Fail<DWORD>(0, ERROR_MOD_NOT_FOUND);
        path = m->path;
    }
    if (fileName == nullptr || size == 0) return Fail<DWORD>(0, ERROR_INSUFFICIENT_BUFFER);
    if (path.size() >= size) {
        std::wmemcpy(fileName, path.c_str(), size - 1);
        fileName[size - 1] = 0;
        return Fail<DWORD>(size, ERROR_INSUFFICIENT_BUFFER);
    }
    std::wmemcpy(fileName, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    API_TRACE(Kernel, GetModuleHandleW, moduleName);
    // The program's image: a fixed handle that no kernel object uses.
    if (moduleName == nullptr) return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x400000));
    return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
}

HMODULE LoadLibraryW(LPCWSTR fileName) {
    API_TRACE(Kernel, LoadLibraryW, fileName);
    if (fileName == nullptr || *fileName == 0)
        return Fail<HMODULE>(nullptr, ERROR_INVALID_PARAMETER);
    std::wstring requested = fileName;
    std::wstring name = FileNamePart(requested);
    auto& m = sim::machine();
    const std::optional<sim::ModuleDef> def = m.FindModule(name);
    if (!def) return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
    std::wstring path;
    if (def->system) {
        path = L"C:\\WINDOWS\\system32\\" + name;
    } else if (requested.find_first_of(L"\\/") != std::wstring::npos) {
        if (!m.FileExists(requested)) return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
        path = requested;
    } else {
        // Bare names are searched in the program's folder, then the system folder.
        path = sim::CurrentProcess().Folder() + name;
        if (!m.FileExists(path)) {
            path = L"C:\\WINDOWS\\system32\\" + name;
            if (!m.FileExists(path)) return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
        }
    }
    auto obj = std::make_shared<ModuleObj>();
    obj->def = *def;
    obj->path = path;
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<HMODULE>(sim::HandleTable::Get().Add(obj));
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    API_TRACE(Kernel, GetProcAddress, module, procName);
    auto m = sim::HandleTable::Get().FindAs<ModuleObj>(reinterpret_cast<HANDLE>(module));
    if (!m) return Fail<FARPROC>(nullptr, ERROR_INVALID_HANDLE);
    if (procName == nullptr) return Fail<FARPROC>(nullptr, ERROR_PROC_NOT_FOUND);
    auto it = m->def.exports.find(procName);
    if (it == m->def.exports.end()) return Fail<FARPROC>(nullptr, ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(it->second);
}

BOOL FreeLibrary(HMODULE module) {
    API_TRACE(Kernel, FreeLibrary, module);
    if (!sim::HandleTable::Get().FindAs<ModuleObj>(reinterpret_cast<HANDLE>(module)))
        return Fail(FALSE, ERROR_INVALID_HANDLE);
    sim::HandleTable::Get().Close(reinterpret_cast<HANDLE>(module));
    return TRUE;
}
