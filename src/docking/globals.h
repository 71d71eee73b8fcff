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
#include <mutex>
#include <string>

#include "docking/render_pool.h"
#include "docking/hooks.h"
#include "docking/renderable.h"
#include <windows.h>

namespace System::Docking {

class CDocking;
class CDockingImage;

// The image cache's entries: full image path -> image (null when it could not be made). The
// images are destroyed with the cache, at exit.
struct ImageCache {
    ImageCache() = default;
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;
    ~ImageCache();
    std::map<std::wstring, CDockingImage*> images;
};

// The id registry's entries: by id, equal ids in their order of registration; and by renderable,
// so that a pair is found without walking every entry of an id that many renderables share (a
// layout that nests one docking element a thousand times).
struct IdEntries {
    using ById = std::multimap<std::wstring, IRenderable*>;
    ById byId;
    std::multimap<const IRenderable*, ById::iterator> byRenderable;
};

// How an image fills its rectangle: the painter that a draw-mode keyword selects.
enum class ImageDrawMode { Single, TileBoth, TileX, TileY, StretchBoth, StretchX, StretchY };

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
    // 1. The recorded caret and the caret painter map.
    Skin::CaretState caret;
    // 2. The table of the real window entry points (GetDC, GetDCEx, ReleaseDC, ShowWindow,
    // ShowCaret, HideCaret, SetCaretPos, CreateCaret, DestroyCaret).
    Skin::RealApiEntries realApi;
    // 3. The installed window hooks (removed in this place at exit).
    struct ApiHooks {
        explicit ApiHooks(Skin::RealApiEntries& table) : real(table) {
            Skin::InstallApiHooks(real);
        }
        ~ApiHooks() { Skin::RemoveApiHooks(real); }
        ApiHooks(const ApiHooks&) = delete;
        ApiHooks& operator=(const ApiHooks&) = delete;
        Skin::RealApiEntries& real;
    } apiHooks{realApi};

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
    Guarded<IdEntries> ids;
    // 9. The window registry: which renderable hosts or draws a window.
    Guarded<std::map<HWND, IRenderable*>> windows;

    // 10. The cached program folder, found once by whichever thread asks first.
    struct {
        std::once_flag once;
        std::wstring text;
    } programFolder;
    // 11. The start of the drawing library (kept for the life of the process: no stop here),
    // and the image cache with (12.) its critical section, held for a whole lookup-or-load.
    std::once_flag drawingStart;
    ULONG_PTR drawingToken = 0;
    Guarded<ImageCache> imageCache;
    // 13. The image draw-mode table; a keyword not in it selects the single image.
    const std::map<std::wstring, ImageDrawMode> imageDrawModes = {
        {L"repeat", ImageDrawMode::TileBoth},   {L"repeat-xy", ImageDrawMode::TileBoth},
        {L"repeat-x", ImageDrawMode::TileX},    {L"repeat-y", ImageDrawMode::TileY},
        {L"scale", ImageDrawMode::StretchBoth}, {L"scale-xy", ImageDrawMode::StretchBoth},
        {L"scale-x", ImageDrawMode::StretchX},  {L"scale-y", ImageDrawMode::StretchY},
    };
    // 14. The render pool: idle until the first render request. Its destruction cancels the
    // renders in progress and joins the workers.
    CDockingDriverPool renderPool;
};

// The framework's globals, built on first use.
FrameworkGlobals& Globals();

}  // namespace System::Docking
