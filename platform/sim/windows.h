// The machine's window records: class, title, visibility, parent, and the order in which
// enumeration meets them (top-level windows newest first, children in creation order). Windows
// that the machine itself runs, such as the system's dialogs, handle posted messages here
// (WM_CLOSE closes them); every posted message is kept for tests to read. The window system with
// per-thread message queues builds on these records.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/wintypes.h"

namespace sim {

struct WindowSpec {
    std::wstring className;
    std::wstring title;
    bool visible = true;
    HWND parent = nullptr;
    // The machine runs the window (a system dialog): WM_CLOSE posted to it destroys it.
    bool systemWindow = false;
};

struct WindowInfo {
    HWND hwnd = nullptr;
    WindowSpec spec;
};

struct PostedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class WindowTable {
public:
    HWND Create(const WindowSpec& spec);
    // Destroys the window and its descendants.
    bool Destroy(HWND hwnd);
    bool Exists(HWND hwnd);
    std::optional<WindowInfo> Get(HWND hwnd);
    void SetVisible(HWND hwnd, bool visible);
    // Visible with every ancestor.
    bool IsVisible(HWND hwnd);

    // Top-level windows, topmost (newest) first.
    std::vector<HWND> TopLevel();
    // Descendants depth first, children in creation order.
    std::vector<HWND> Descendants(HWND hwnd);

    // PostMessageW: false when the window does not exist.
    bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    std::vector<PostedMessage> Posted();

private:
    struct Record {
        WindowSpec spec;
        std::vector<HWND> children;
        std::uint64_t order;
    };
    void DestroyLocked(HWND hwnd);
    void DescendantsLocked(HWND hwnd, std::vector<HWND>& out);

    std::mutex mu_;
    std::map<ULONG_PTR, Record> windows_;
    ULONG_PTR next_ = 0x10010;
    std::uint64_t order_ = 0;
    std::vector<PostedMessage> posted_;
};

}  // namespace sim
