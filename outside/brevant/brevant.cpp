// The Brevant stand-in. Drivers are bound to device functions in the library's own store (one
// binding per device instance); modem and port functions take the lowest free COM number from
// the system's COM-port database when their driver is first bound.
#include "brevant/brevant.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "brevant/brevant_sim.h"
#include <winbase.h>
#include <winreg.h>
#include <setupapi.h>

namespace brevant {

namespace {

const wchar_t kComDbKey[] = L"SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
const wchar_t kComDbValue[] = L"ComDB";

std::wstring LowerAscii(std::wstring s) {
    for (auto& c : s)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}

bool SameId(const std::wstring& a, const std::wstring& b) {
    return LowerAscii(a) == LowerAscii(b);
}

struct FailScript {
    DWORD error;
    int count;
    std::wstring hardwareId;
};

struct State {
    std::mutex mu;
    std::vector<UpdateRecord> updates;
    std::vector<std::wstring> uninstalls;
    std::vector<Binding> bindings;
    std::vector<FailScript> failures;
    bool restart = false;
    int created = 0;
    int alive = 0;
};

State& S() {
    static State* state = new State();  // lives until the process ends
    return *state;
}

struct PresentDevice {
    std::wstring instanceId;
    std::vector<std::wstring> ids;  // hardware IDs, then compatible IDs
    std::vector<std::wstring> hardwareIds;
};

std::vector<std::wstring> MultiSz(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    std::vector<std::wstring> out;
    DWORD size = 0, type = 0;
    SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &size);
    if (size == 0) return out;
    std::vector<BYTE> buffer(size + sizeof(wchar_t) * 2, 0);
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, buffer.data(), size,
                                           &size))
        return out;
    const auto* p = reinterpret_cast<const wchar_t*>(buffer.data());
    const auto* end = p + size / sizeof(wchar_t);
    while (p < end && *p) {
        std::wstring s(p);
        out.push_back(s);
        p += s.size() + 1;
    }
    return out;
}

std::vector<PresentDevice> PresentDevices() {
    std::vector<PresentDevice> devices;
    HDEVINFO set =
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return devices;
    SP_DEVINFO_DATA device;
    std::memset(&device, 0, sizeof device);
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        PresentDevice d;
        wchar_t id[512] = {};
        if (!SetupDiGetDeviceInstanceIdW(set, &device, id, 512, nullptr)) continue;
        d.instanceId = id;
        d.hardwareIds = MultiSz(set, device, SPDRP_HARDWAREID);
        d.ids = d.hardwareIds;
        for (auto& c : MultiSz(set, device, SPDRP_COMPATIBLEIDS)) d.ids.push_back(c);
        devices.push_back(d);
    }
    SetupDiDestroyDeviceInfoList(set);
    return devices;
}

bool Carries(const std::vector<std::wstring>& ids, const std::wstring& id) {
    return std::any_of(ids.begin(), ids.end(),
                       [&](const std::wstring& x) { return SameId(x, id); });
}

// Takes the lowest free number in the COM-port database and marks it taken; 0 when the
// database cannot be opened. `before` receives the value as found.
int TakeComNumber(std::vector<BYTE>& before) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kComDbKey, 0, nullptr, 0, KEY_READ | KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0, size = 0;
    std::vector<BYTE> bits;
    if (RegQueryValueExW(key, kComDbValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_BINARY) {
        bits.resize(size);
        if (size > 0 &&
            RegQueryValueExW(key, kComDbValue, nullptr, &type, bits.data(), &size) != ERROR_SUCCESS)
            bits.clear();
        bits.resize(size);
    }
    before = bits;
    if (bits.size() < 32) bits.resize(32, 0);
    int number = 0;
    for (std::size_t i = 0; i < bits.size() * 8 && number == 0; ++i) {
        if (!(bits[i / 8] & (1u << (i % 8)))) {
            bits[i / 8] = static_cast<BYTE>(bits[i / 8] | (1u << (i % 8)));
            number = static_cast<int>(i) + 1;
        }
    }
    if (number != 0)
        RegSetValueExW(key, kComDbValue, 0, REG_BINARY, bits.data(),
                       static_cast<DWORD>(bits.size()));
    RegCloseKey(key);
    return number;
}

struct InfModels {
    std::wstring setupClass;
    std::vector<std::wstring> hardwareIds;  // the IDs of every model line, in file order
};

std::wstring Field(const INFCONTEXT& context, DWORD index) {
    DWORD size = 0;
    if (!SetupGetStringFieldW(&context, index, nullptr, 0, &size) || size == 0) return L"";
    std::wstring value(size, L'\0');
    if (!SetupGetStringFieldW(&context, index, value.data(), size, nullptr)) return L"";
    value.resize(size - 1);
    return value;
}

// The models that the file's [Manufacturer] lines name, each section with and without its
// decorations ("QOB" and "QOB.NTamd64"). False (last error set) when the file cannot be opened
// as an .inf file or names no device.
bool ReadInfModels(const std::wstring& path, InfModels& out) {
    UINT errorLine = 0;
    HINF inf = SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
    if (inf == INVALID_HANDLE_VALUE || inf == nullptr) return false;
    INFCONTEXT line;
    if (SetupFindFirstLineW(inf, L"Version", L"Class", &line)) out.setupClass = Field(line, 1);
    std::vector<std::wstring> sections;
    for (BOOL ok = SetupFindFirstLineW(inf, L"Manufacturer", nullptr, &line); ok;
         ok = SetupFindNextLine(&line, &line)) {
        std::wstring base = Field(line, 1);
        if (base.empty()) continue;
        sections.push_back(base);
        DWORD count = SetupGetFieldCount(&line);
        for (DWORD i = 2; i <= count; ++i) {
            std::wstring decoration = Field(line, i);
            if (!decoration.empty()) sections.push_back(base + L"." + decoration);
        }
    }
    for (const std::wstring& section : sections) {
        for (BOOL ok = SetupFindFirstLineW(inf, section.c_str(), nullptr, &line); ok;
             ok = SetupFindNextLine(&line, &line)) {
            DWORD count = SetupGetFieldCount(&line);
            for (DWORD i = 2; i <= count; ++i) {
                std::wstring id = Field(line, i);
                if (!id.empty() && !Carries(out.hardwareIds, id)) out.hardwareIds.push_back(id);
            }
        }
    }
    SetupCloseInfFile(inf);
    if (out.hardwareIds.empty()) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    return true;
}

class DriverInstaller : public IDriverInstaller {
public:
    DriverInstaller(std::wstring path, InfModels models)
        : m_path(std::move(path)), m_models(std::move(models)) {}
    ~DriverInstaller() override = default;

    const wchar_t* InfPath() const override { return m_path.c_str(); }
    int HardwareIdCount() const override { return static_cast<int>(m_models.hardwareIds.size()); }

    bool Uninstall() override {
        State& s = S();
        std::lock_guard<std::mutex> lk(s.mu);
        s.uninstalls.push_back(m_path);
        auto mine = [&](const Binding& b) { return SameId(b.infPath, m_path); };
        bool any = std::any_of(s.bindings.begin(), s.bindings.end(), mine);
        s.bindings.erase(std::remove_if(s.bindings.begin(), s.bindings.end(), mine),
                         s.bindings.end());
        SetLastError(ERROR_SUCCESS);
        return any;
    }

    bool IsPresent(int anyDevice, const wchar_t* hardwareId) override {
        std::wstring wanted = hardwareId ? hardwareId : L"";
        for (const PresentDevice& d : PresentDevices()) {
            if (anyDevice) {
                for (const auto& id : m_models.hardwareIds)
                    if (Carries(d.ids, id)) return true;
            } else if (!wanted.empty() && Carries(d.hardwareIds, wanted)) {
                return true;
            }
        }
        return false;
    }

    bool Update(const wchar_t* hardwareId, bool* rebootNeeded) override {
        if (rebootNeeded) *rebootNeeded = false;
        UpdateRecord record;
        record.infPath = m_path;
        record.hardwareId = hardwareId ? hardwareId : L"";
        DWORD error = ScriptedFailure(record.hardwareId);
        std::vector<PresentDevice> targets;
        if (error == 0) {
            if (record.hardwareId.empty() || !Carries(m_models.hardwareIds, record.hardwareId)) {
                error = ERROR_INVALID_PARAMETER;  // the .inf file has no driver for this ID
            } else {
                for (const PresentDevice& d : PresentDevices())
                    if (Carries(d.hardwareIds, record.hardwareId)) targets.push_back(d);
                if (targets.empty()) error = ERROR_NO_SUCH_DEVINST;
            }
        }
        bool takesCom =
            SameId(m_models.setupClass, L"Modem") || SameId(m_models.setupClass, L"Ports");
        bool restart = false;
        if (error == 0) {
            for (const PresentDevice& d : targets) {
                int com = 0;
                {
                    std::lock_guard<std::mutex> lk(S().mu);
                    for (const Binding& b : S().bindings)
                        if (SameId(b.instanceId, d.instanceId)) com = b.comPort;
                }
                if (takesCom && com == 0) {
                    std::vector<BYTE> before;
                    com = TakeComNumber(before);
                    if (record.comDbBefore.empty()) record.comDbBefore = before;
                }
                record.instanceIds.push_back(d.instanceId);
                record.comPorts.push_back(com);
                std::lock_guard<std::mutex> lk(S().mu);
                auto& bindings = S().bindings;
                bindings.erase(std::remove_if(bindings.begin(), bindings.end(),
                                              [&](const Binding& b) {
                                                  return SameId(b.instanceId, d.instanceId);
                                              }),
                               bindings.end());
                bindings.push_back({d.instanceId, record.hardwareId, m_path, com});
            }
            std::lock_guard<std::mutex> lk(S().mu);
            restart = S().restart;
        }
        record.succeeded = error == 0;
        record.error = error;
        {
            std::lock_guard<std::mutex> lk(S().mu);
            S().updates.push_back(record);
        }
        if (error != 0) {
            SetLastError(error);
            return false;
        }
        if (rebootNeeded) *rebootNeeded = restart;
        SetLastError(ERROR_SUCCESS);
        return true;
    }

private:
    static DWORD ScriptedFailure(const std::wstring& hardwareId) {
        State& s = S();
        std::lock_guard<std::mutex> lk(s.mu);
        for (auto it = s.failures.begin(); it != s.failures.end(); ++it) {
            if (!it->hardwareId.empty() && !SameId(it->hardwareId, hardwareId)) continue;
            DWORD error = it->error;
            if (--it->count <= 0) s.failures.erase(it);
            return error;
        }
        return 0;
    }

    std::wstring m_path;
    InfModels m_models;
};

}  // namespace

void ResetState() {
    State& s = S();
    std::lock_guard<std::mutex> lk(s.mu);
    s.updates.clear();
    s.uninstalls.clear();
    s.bindings.clear();
    s.failures.clear();
    s.restart = false;
    s.created = 0;
    s.alive = 0;
}

void FailUpdates(DWORD error, int count, const std::wstring& hardwareId) {
    std::lock_guard<std::mutex> lk(S().mu);
    if (count > 0 && error != 0) S().failures.push_back({error, count, hardwareId});
}

void RequireRestart(bool restart) {
    std::lock_guard<std::mutex> lk(S().mu);
    S().restart = restart;
}

std::vector<UpdateRecord> Updates() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().updates;
}

std::vector<std::wstring> Uninstalls() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().uninstalls;
}

std::vector<Binding> Bindings() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().bindings;
}

int InstallersCreated() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().created;
}

int InstallersAlive() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().alive;
}

}  // namespace brevant

IDriverInstaller* CreateInstaller(const wchar_t* infPath) {
    if (infPath == nullptr || *infPath == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    brevant::InfModels models;
    if (!brevant::ReadInfModels(infPath, models)) return nullptr;
    auto* installer = new brevant::DriverInstaller(infPath, std::move(models));
    {
        std::lock_guard<std::mutex> lk(brevant::S().mu);
        ++brevant::S().created;
        ++brevant::S().alive;
    }
    SetLastError(ERROR_SUCCESS);
    return installer;
}

void ReleaseInstaller(IDriverInstaller* installer) {
    if (installer == nullptr) return;
    delete static_cast<brevant::DriverInstaller*>(installer);
    std::lock_guard<std::mutex> lk(brevant::S().mu);
    --brevant::S().alive;
}
