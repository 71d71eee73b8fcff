// App's application object: starts GDI+ and the locale, loads the language file, lets one
// instance run (a second start hands its command line over to the running one, or is refused),
// runs the main dialog modally and ends the process when it ends.
#pragma once

#include <string>

#include <afxwin.h>

// The hand-over message between instances: WM_COPYDATA whose dwData is this value.
constexpr ULONG_PTR COPYDATA_ID = 5556;
// The named semaphore that only the running instance holds.
constexpr const wchar_t* kInstanceSemaphoreName = L"QOB Raza Zevi";

// The program's entry once its application object exists: AfxWinMain with the command line after
// the program name; the process's exit code.
int AppWinMain(int showCommand);

// Loads "<program folder>plugins\<name>" as the language file; a missing file changes nothing.
void LoadAppLanguage(const std::wstring& name);

class CQOBUIApp : public CWinApp {
public:
    // Creates (or opens) the instance semaphore; the instance does not hold it yet.
    CQOBUIApp();
    // Closes the semaphore's handle.
    ~CQOBUIApp() override;

    // GDI+, the locale, the language, the hand-over or the refusal, then the main dialog; always
    // FALSE: there is no message loop after the dialog.
    BOOL InitInstance() override;
    // Releases the semaphore when this instance holds it.
    int ExitInstance() override;
    // The system caret-blink timer drives the skinned controls' caret.
    BOOL PreTranslateMessage(MSG* msg) override;
    // F1 (HELP_CONTEXT) does nothing.
    void WinHelp(DWORD_PTR data, UINT command = HELP_CONTEXT) override;

    // Sends the command line to the running instance's main window: false when it did, true
    // when no such window was found.
    bool ForwardCommandLine();
    // Waits 10 ms for the semaphore; tells the user when another instance holds it.
    bool AcquireInstanceSemaphore();

    bool HoldsSemaphore() const { return m_held; }
    HANDLE Semaphore() const { return m_semaphore; }
    // App's own GDI+ start (0 when it has none running).
    ULONG_PTR GdiplusToken() const { return m_gdiplusToken; }

private:
    HANDLE m_semaphore = nullptr;
    bool m_held = false;
    ULONG_PTR m_gdiplusToken = 0;
};
