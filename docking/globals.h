// The framework's process-wide state, built in one defined order and torn down in the reverse.
//
// Everything lives in one object that is built on first use (by whichever thread comes first)
// and destroyed at exit, after every object that was built before its first use. Its members are
// declared in the order in which the framework's globals are built; parts that later pieces of
// the framework bring take their numbered place in this list. Tables that are built on first use
// elsewhere (the layout file table, the keyword tables) are destroyed before it.
//
// Used by the registries and the skin functions only; the rest of the framework goes through
// them (registry.h, skin.h).
#pragma once

#include <map>
#include <string>

#include "docking/renderable.h"
#include "platform/kernel.h"
#include "platform/user.h"

namespace System::Docking {

class CDocking;

// A container with its own critical section (re-entrant for the thread that holds it).
template <class Container>
struct Guarded {
    Guarded() { InitializeCriticalSection(&lock); }
    ~Guarded() { DeleteCriticalSection(&lock); }
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    Container entries;
    CRITICAL_SECTION lock;
};

struct FrameworkGlobals {
    // 1. The caret painter map. 2. The table of the real window entry points (GetDC, GetDCEx,
    // ReleaseDC, ShowWindow, ShowCaret, HideCaret, SetCaretPos, CreateCaret, DestroyCaret).
    // 3. The installed window hooks (removed in this place at exit).
    // -- these three arrive with the window hooks.

    // 4. The default skin's name.
    const std::wstring defaultSkinName = L"default";
    // 5. The folder of the skins, below the program folder.
    const std::wstring skinFolderName = L"skin";
    // 6. The window-docking map: which window has which docking bound (null: unbound). Used on
    // the user-interface thread only, so not locked.
    std::map<HWND, CDocking*> windowDockings;
    // 7. The current skin's name (empty until first asked for or set).
    std::wstring currentSkin;
    // 8. The id registry: equal ids keep their order of registration.
    Guarded<std::multimap<std::wstring, IRenderable*>> ids;
    // 9. The window registry: which renderable hosts or draws a window.
    Guarded<std::map<HWND, IRenderable*>> windows;

    // 10. The cached program folder. 11. The image cache (and the start of the drawing library).
    // 12. The image cache's critical section. 13. The image draw-mode table. 14. The render pool.
    // -- these arrive with the images and the render pool.
};

// The framework's globals, built on first use.
FrameworkGlobals& Globals();

}  // namespace System::Docking
