#include "quosset/quosset.h"

#include <cstring>
#include <mutex>
#include <set>

#include "quosset/quosset_sim.h"
#include "machine/control/modules.h"
#include <winbase.h>
#include <setupapi.h>

namespace quosset {

namespace {

struct Watcher {
    HANDLE thread = nullptr;
    HANDLE stop = nullptr;
};

struct State {
    std::mutex mu;
    Watcher wizard;
    Watcher signature;
    int pendingWizards = 0;
    int pendingSignatures = 0;
    int wizardsClosed = 0;
    int signaturesClosed = 0;
    std::vector<std::string> calls;
};

State& S() {
    static State* state = new State();  // lives until the process ends
    return *state;
}

void Note(const char* call) {
    std::lock_guard<std::mutex> lk(S().mu);
    S().calls.push_back(call);
}

std::set<std::wstring> PresentUsbNodes() {
    std::set<std::wstring> ids;
    HDEVINFO set =
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return ids;
    SP_DEVINFO_DATA device;
    std::memset(&device, 0, sizeof device);
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        wchar_t id[512] = {};
        if (SetupDiGetDeviceInstanceIdW(set, &device, id, 512, nullptr) &&
            std::wcsncmp(id, L"USB\\", 4) == 0)
            ids.insert(id);
    }
    SetupDiDestroyDeviceInfoList(set);
    return ids;
}

DWORD WizardThread(LPVOID parameter) {
    HANDLE stop = parameter;
    std::set<std::wstring> seen = PresentUsbNodes();
    while (WaitForSingleObject(stop, 100) == WAIT_TIMEOUT) {
        std::set<std::wstring> now = PresentUsbNodes();
        int arrivals = 0;
        for (const auto& id : now)
            if (!seen.count(id)) ++arrivals;
        seen = now;
        std::lock_guard<std::mutex> lk(S().mu);
        S().wizardsClosed += arrivals + S().pendingWizards;
        S().pendingWizards = 0;
    }
    return 0;
}

DWORD SignatureThread(LPVOID parameter) {
    HANDLE stop = parameter;
    while (WaitForSingleObject(stop, 100) == WAIT_TIMEOUT) {
        std::lock_guard<std::mutex> lk(S().mu);
        S().signaturesClosed += S().pendingSignatures;
        S().pendingSignatures = 0;
    }
    return 0;
}

void Start(Watcher State::*which, LPTHREAD_START_ROUTINE routine) {
    std::lock_guard<std::mutex> lk(S().mu);
    Watcher& w = S().*which;
    if (w.thread != nullptr) return;
    w.stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    w.thread = CreateThread(nullptr, 0, routine, w.stop, 0, nullptr);
}

void Stop(Watcher State::*which) {
    Watcher w;
    {
        std::lock_guard<std::mutex> lk(S().mu);
        w = S().*which;
        S().*which = Watcher();
    }
    if (w.thread == nullptr) return;
    SetEvent(w.stop);
    WaitForSingleObject(w.thread, INFINITE);
    CloseHandle(w.thread);
    CloseHandle(w.stop);
}

// ---- Exports ----

void StartWatchWizard() {
    Note("StartWatchWizard");
    Start(&State::wizard, WizardThread);
}
HANDLE WizardThreadHandle() {
    Note("WizardThreadHandle");
    std::lock_guard<std::mutex> lk(S().mu);
    return S().wizard.thread;
}
void StartWatchSignature() {
    Note("StartWatchSignature");
    Start(&State::signature, SignatureThread);
}
HANDLE SignatureHandle() {
    Note("SignatureHandle");
    std::lock_guard<std::mutex> lk(S().mu);
    return S().signature.thread;
}
void StopWatchSignature() {
    Note("StopWatchSignature");
    Stop(&State::signature);
}
void StopWatchWizard() {
    Note("StopWatchWizard");
    Stop(&State::wizard);
}
int WizardWindowCount() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().wizardsClosed;
}

}  // namespace

void Install(const std::wstring& folder, const std::vector<std::string>& missing) {
    control::ModuleExports exports = {
        {"StartWatchWizard", reinterpret_cast<void*>(&StartWatchWizard)},
        {"WizardThreadHandle", reinterpret_cast<void*>(&WizardThreadHandle)},
        {"StartWatchSignature", reinterpret_cast<void*>(&StartWatchSignature)},
        {"SignatureHandle", reinterpret_cast<void*>(&SignatureHandle)},
        {"StopWatchSignature", reinterpret_cast<void*>(&StopWatchSignature)},
        {"StopWatchWizard", reinterpret_cast<void*>(&StopWatchWizard)},
        {"WizardWindowCount", reinterpret_cast<void*>(&WizardWindowCount)},
    };
    for (const auto& name : missing) exports.erase(name);
    control::InstallModule(folder, L"Quosset.dll", exports);
}

void ResetState() {
    Stop(&State::wizard);
    Stop(&State::signature);
    std::lock_guard<std::mutex> lk(S().mu);
    S().pendingWizards = S().pendingSignatures = 0;
    S().wizardsClosed = S().signaturesClosed = 0;
    S().calls.clear();
}

void ShowWizardWindow() {
    std::lock_guard<std::mutex> lk(S().mu);
    ++S().pendingWizards;
}

void ShowSignatureDialog() {
    std::lock_guard<std::mutex> lk(S().mu);
    ++S().pendingSignatures;
}

int WizardWindowsClosed() {
    return WizardWindowCount();
}

int SignatureDialogsClosed() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().signaturesClosed;
}

bool WizardWatching() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().wizard.thread != nullptr;
}

bool SignatureWatching() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().signature.thread != nullptr;
}

std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().calls;
}

}  // namespace quosset
