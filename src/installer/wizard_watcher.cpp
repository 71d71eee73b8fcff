#include "installer/wizard_watcher.h"

#include "support/platform_helpers.h"

namespace {

using VoidFn = void (*)();
using HandleFn = HANDLE (*)();
using CountFn = int (*)();

template <class Fn>
Fn Export(HMODULE library, const char* name) {
    if (library == nullptr) return nullptr;
    return reinterpret_cast<Fn>(GetProcAddress(library, name));
}

}  // namespace

CWizardWatcher::CWizardWatcher(const std::wstring& folder) {
    m_library = LoadLibraryW((folder + L"Quosset.dll").c_str());
    auto startWizard = Export<VoidFn>(m_library, "StartWatchWizard");
    auto wizardThread = Export<HandleFn>(m_library, "WizardThreadHandle");
    auto startSignature = Export<VoidFn>(m_library, "StartWatchSignature");
    auto signatureHandle = Export<HandleFn>(m_library, "SignatureHandle");
    if (!startWizard || !wizardThread || !startSignature || !signatureHandle) {
        if (m_library) FreeLibrary(m_library);
        m_library = nullptr;
        throw CWatcherError("Quosset.dll not found or crashed");
    }
    startWizard();
    startSignature();
    SetThreadPriority(wizardThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    m_started = true;
}

CWizardWatcher::~CWizardWatcher() {
    try {
        Stop();
    } catch (const CWatcherError& e) {
        DebugLog(L"Wizard watcher: %hs", e.what());
    }
}

void CWizardWatcher::Stop() {
    if (m_library == nullptr) return;
    HMODULE library = m_library;
    bool started = m_started;
    m_library = nullptr;
    m_started = false;
    if (started) {
        auto stopSignature = Export<VoidFn>(library, "StopWatchSignature");
        auto stopWizard = Export<VoidFn>(library, "StopWatchWizard");
        if (!stopSignature || !stopWizard) {
            FreeLibrary(library);
            throw CWatcherError("function StopWatchSignature or StopWatchWizard not difined");
        }
        stopSignature();
        stopWizard();
    }
    FreeLibrary(library);
}

int CWizardWatcher::WizardWindowCount() const {
    auto count = Export<CountFn>(m_library, "WizardWindowCount");
    return count ? count() : 0;
}
