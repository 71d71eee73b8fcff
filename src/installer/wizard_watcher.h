// Watching Windows' new-hardware wizard and driver-signature dialogs through Quosset, loaded
// from the program's folder.
#pragma once

#include <stdexcept>
#include <string>

#include <windows.h>

// Raised when Quosset cannot be used.
class CWatcherError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CWizardWatcher {
public:
    // Loads folder + "Quosset.dll" and starts both watchers. Throws CWatcherError ("Quosset.dll
    // not found or crashed") when the library or one of its start exports is missing; the
    // library is then freed.
    explicit CWizardWatcher(const std::wstring& folder);
    // Frees the library (stopping the watchers when they still run; errors are only logged).
    ~CWizardWatcher();
    CWizardWatcher(const CWizardWatcher&) = delete;
    CWizardWatcher& operator=(const CWizardWatcher&) = delete;

    // Stops both watchers and frees the library. Throws CWatcherError ("function
    // StopWatchSignature or StopWatchWizard not difined") when a stop export is missing; the
    // library is freed either way.
    void Stop();
    // How many new-hardware wizard windows Quosset has seen; 0 without the library or export.
    int WizardWindowCount() const;

private:
    HMODULE m_library = nullptr;
    bool m_started = false;
};
