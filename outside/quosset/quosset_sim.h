// The Quosset stand-in: puts the library beside a program and simulates the dialogs it answers.
//
// A new-hardware wizard window opens for every USB device node that arrives (becomes present)
// while the wizard watcher runs, and for every window a test shows; the watcher closes each on
// its next pass (every 100 ms of machine time) and counts it. The signature watcher closes the
// signature dialogs a test shows.
#pragma once

#include <string>
#include <vector>

#include <windef.h>

namespace quosset {

// Registers "Quosset.dll" with the process's machine and writes its file into the folder
// (ending in a backslash). Exports named in `missing` are left out.
void Install(const std::wstring& folder, const std::vector<std::string>& missing = {});
void ResetState();

void ShowWizardWindow();
void ShowSignatureDialog();

int WizardWindowsClosed();
int SignatureDialogsClosed();
bool WizardWatching();
bool SignatureWatching();
// Every export call, in order ("StartWatchWizard", ...).
std::vector<std::string> Calls();

}  // namespace quosset
