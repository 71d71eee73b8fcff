// Test controls and journal of the Miravel stand-in (not part of the library's exports).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windef.h>

namespace miravel {

enum class EventKind { Create, Destroy, Show, Hide, Font, Message, Box };

struct Event {
    EventKind kind;
    void* window = nullptr;
    std::wstring text;     // Message: the text; Box: the box text; Font: the face name
    std::wstring caption;  // Box: the caption
    UINT type = 0;         // Box: the type flags; Font: the font's height
    DWORD tick = 0;        // the machine's tick count when it happened
    DWORD threadId = 0;
};

#define MIRAVEL_IDOK 1

// Hears every event as it happens, on the thread that caused it. For a box the result is the
// button the user presses (the library returns nothing of it to its caller); a listener that
// wants to act while the box is up (unplug a device, say) does so here.
using Listener = std::function<int(const Event&)>;

void ResetState();
void SetListener(Listener listener);
// How long (machine time) a box stays up before the user answers it.
void SetBoxDelay(DWORD milliseconds);

std::vector<Event> Journal();
std::vector<Event> Boxes();
std::vector<std::wstring> Messages();
int WindowsAlive();

}  // namespace miravel
