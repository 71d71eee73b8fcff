// The machine's control API for windows that the machine itself shows (a dialog of the system, a
// window of a program that tests do not run): ordinary windows owned by the machine's own thread,
// which runs a message loop for them. Their procedure notes every message in a journal for tests
// to read and otherwise answers as DefWindowProcW does: WM_CLOSE destroys the window.
#pragma once

#include <string>
#include <vector>

#include <winuser.h>

namespace control {

struct MachineWindow {
    std::wstring className;  // any name: the machine's windows need no registered class
    std::wstring title;
    bool visible = true;
    HWND parent = nullptr;  // another machine window: the new one is its child
};

// Adds the window (on top of the top-level windows; a child below its siblings). Null when the
// parent is not a window of the machine's thread.
HWND AddMachineWindow(const MachineWindow& spec);

struct JournalEntry {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
// Every message the machine's windows received on this machine, in order.
std::vector<JournalEntry> MachineWindowJournal();

}  // namespace control
