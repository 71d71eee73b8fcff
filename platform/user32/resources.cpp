// Finding a module's resources by id.
#include <winres.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <mutex>
#include <string>
#include <utility>

#include <winbase.h>
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

// The links the host program's start-up objects made: image file name (lower case; empty: the
// host program's own module) -> the tables' function.
struct Links {
    std::mutex mu;
    std::vector<std::pair<std::wstring, resources::ModuleLink::Tables>> entries;
};
Links& LinkTable() {
    static Links links;
    return links;
}

std::wstring LowerFileName(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return name;
}

// The tables linked for the calling thread's process: by its image's file name, or, for the
// machine's own program, those of the host program's own module.
const resources::ModuleResources* LinkedTables() {
    sim::ProcessRec& process = sim::CurrentProcess();
    const bool own = &process == sim::machine().processes().Self().get();
    const std::wstring image = LowerFileName(process.info.imagePath);
    resources::ModuleLink::Tables found = nullptr;
    {
        Links& links = LinkTable();
        std::lock_guard<std::mutex> lk(links.mu);
        for (const auto& [name, tables] : links.entries)
            if ((name.empty() && own) || (!name.empty() && name == image)) found = tables;
    }
    return found != nullptr ? &found() : nullptr;
}

// The process's tables when the instance is its own module (or null), else none.
const resources::ModuleResources* TablesOf(HINSTANCE instance) {
    if (instance != nullptr && instance != GetModuleHandleW(nullptr)) return nullptr;
    if (const resources::ModuleResources* given = sim::CurrentProcess().resources.Get())
        return given;
    return LinkedTables();
}

template <class T>
const T* FindById(const std::vector<T>& list, LPCWSTR name) {
    if (!IS_INTRESOURCE(name)) return nullptr;  // named resources: none are declared
    int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    auto it = std::find_if(list.begin(), list.end(), [&](const T& t) { return t.id == id; });
    return it == list.end() ? nullptr : &*it;
}

}  // namespace

namespace resources {

ModuleLink::ModuleLink(LPCWSTR imageName, Tables tables) {
    if (tables == nullptr) return;
    Links& links = LinkTable();
    std::lock_guard<std::mutex> lk(links.mu);
    links.entries.emplace_back(imageName != nullptr ? LowerFileName(imageName) : std::wstring(),
                               tables);
}

ModuleLink::~ModuleLink() = default;

const DialogTemplate* FindDialog(HINSTANCE instance, LPCWSTR name) {
    const ModuleResources* r = TablesOf(instance);
    return r ? FindById(r->dialogs, name) : nullptr;
}

const MenuTemplate* FindMenu(HINSTANCE instance, LPCWSTR name) {
    const ModuleResources* r = TablesOf(instance);
    return r ? FindById(r->menus, name) : nullptr;
}

const IconEntry* FindIcon(HINSTANCE instance, LPCWSTR name) {
    const ModuleResources* r = TablesOf(instance);
    return r ? FindById(r->icons, name) : nullptr;
}

const IconEntry* FirstIcon(HINSTANCE instance) {
    const ModuleResources* r = TablesOf(instance);
    if (r == nullptr || r->icons.empty()) return nullptr;
    return &*std::min_element(r->icons.begin(), r->icons.end(),
                              [](const IconEntry& a, const IconEntry& b) { return a.id < b.id; });
}

}  // namespace resources

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int maxCount) {
    API_TRACE(Windows, LoadStringW, instance, id, buffer, maxCount);
    if (buffer == nullptr) return Fail(0, ERROR_INVALID_PARAMETER);
    const resources::ModuleResources* r = TablesOf(instance);
    const resources::StringEntry* entry = nullptr;
    if (r != nullptr)
        for (const auto& s : r->strings)
            if (s.id == id) entry = &s;
    if (entry == nullptr) {
        if (maxCount > 0) buffer[0] = 0;
        return Fail(0, ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    int length = static_cast<int>(std::wcslen(entry->text));
    if (maxCount == 0) {
        *reinterpret_cast<LPCWSTR*>(buffer) = entry->text;
        return length;
    }
    if (maxCount < 0) return Fail(0, ERROR_INVALID_PARAMETER);
    int n = std::min(length, maxCount - 1);
    std::wmemcpy(buffer, entry->text, static_cast<std::size_t>(n));
    buffer[n] = 0;
    return n;
}
