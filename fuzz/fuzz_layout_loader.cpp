// Skin layout files: any bytes as a layout file, loaded into a dialog's docking tree (style texts
// of every attribute included). A load either fails before touching the tree or builds a tree
// within the nesting and size limits, with the dialog window inside the work area.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "docking/docking.h"
#include "docking/globals.h"
#include "docking/loader.h"
#include "machine/machine.h"
#include <winuser.h>

using namespace System::Docking;

namespace {

const wchar_t* const kPath = L"C:\\Program Files\\Modem\\skin\\default\\fuzz.xml";

int Count(CDocking& docking, int depth, int* deepest) {
    if (depth > *deepest) *deepest = depth;
    int count = 1;
    for (int k = 0; k < 9; ++k)
        if (CDocking* nested = docking.Cell(k / 3, k % 3).child.Value())
            count += Count(*nested, depth + 1, deepest);
    return count;
}

// The machine's drives in memory when the host has a memory file system: every input is written
// once and read once, and a disk would write each one back besides.
std::filesystem::path MemoryDrives() {
    char name[] = "/dev/shm/fuzz-layout-XXXXXX";
    const char* made = mkdtemp(name);
    return made != nullptr ? std::filesystem::path(made) : std::filesystem::path();
}

// One machine and one dialog window for the whole run; each input gets a tree of its own. The
// window is put back as it was after every input, so that an input frees what it allocated (the
// per-input leak check stays on) and no input inherits another's window.
struct Fixture {
    std::filesystem::path drives = MemoryDrives();  // empty: the machine's own temporary folder
    HWND dialog = nullptr;
    HWND button = nullptr;

    Fixture() {
        sim::Config config = sim::Config::WindowsXP();
        config.hostFolder = drives;
        sim::Machine::Reset(config);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"FuzzDialog";
        RegisterClassExW(&wc);
        dialog = CreateWindowExW(0, L"FuzzDialog", L"", WS_POPUP, 10, 10, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
        button =
            CreateWindowExW(0, L"Button", L"", WS_CHILD, 0, 0, 20, 10, dialog,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(803)), nullptr, nullptr);
    }
    ~Fixture() {
        std::error_code ignored;
        if (!drives.empty()) std::filesystem::remove_all(drives, ignored);
    }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;

    void Restore() const {
        SetWindowLongPtrW(dialog, GWL_STYLE, WS_POPUP);
        SetWindowLongPtrW(dialog, GWL_EXSTYLE, 0);
        SetWindowTextW(dialog, L"");
        MoveWindow(dialog, 10, 10, 200, 100, FALSE);
        MoveWindow(button, 0, 0, 20, 10, FALSE);
    }
};

// After an input's tree is gone, nothing of it is left in the framework's process-wide tables:
// no id, no window entry, no bound window, no cached image, and no message waits in the queue.
// What stayed there would be found by a later input, whose outcome would then depend on the
// inputs before it.
void CheckNothingLeft() {
    FrameworkGlobals& globals = Globals();
    if (!globals.ids.entries.byId.empty() || !globals.ids.entries.byRenderable.empty() ||
        !globals.windows.entries.empty() || !globals.windowDockings.empty() ||
        !globals.imageCache.entries.images.empty())
        __builtin_trap();
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) __builtin_trap();
}

void Check(HWND dialog) {
    CDocking root(nullptr);
    root.id.Assign(L"before");
    bool loaded = true;
    try {
        LoadDockingLayout(kPath, root, dialog);
    } catch (const LayoutLoadError&) {
        loaded = false;
    }
    if (!loaded && root.id.Ref() != L"before") __builtin_trap();  // untouched
    int deepest = 0;
    if (Count(root, 0, &deepest) > kMaxLayoutDockings || deepest > kMaxLayoutDepth)
        __builtin_trap();
    RECT work{}, r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(dialog, &r);
    if (r.right - r.left > std::max<LONG>(200, work.right - work.left) ||
        r.bottom - r.top > std::max<LONG>(100, work.bottom - work.top))
        __builtin_trap();
}

}  // namespace

// A layout of a thousand dockings makes some hundred thousand allocations: a smaller quarantine
// (still many inputs deep), shorter allocation stacks in reports and no fill of new blocks make
// the address checks about twice as fast; every check stays.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16:malloc_context_size=5:max_malloc_fill_size=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Fixture fixture;
    sim::machine().WriteFile(kPath, std::string(reinterpret_cast<const char*>(data), size));
    Check(fixture.dialog);
    fixture.Restore();
    CheckNothingLeft();
    return 0;
}
