// A program's windows on a machine server: its top-level windows are told to the server's window
// directory, and windows of other processes are found, read, posted and sent to through it. The
// message boxes' script and journal are the server's. Without a server (the unit tests) every
// function here answers "no such window" and the machine's own table is all there is.
//
// Of a message for a window of another process, only the numbers travel: a pointer in wParam or
// lParam means nothing there, except WM_COPYDATA's, whose bytes are copied.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <windef.h>
#include <winuser.h>

#include "machine/wire.h"

namespace sim {

class ServerLink;
class SentMessage;

// At the program's start on a server (remote.cpp): its windows get handles of its own range and
// are told to the server; its message boxes ask the server.
void ShareWindows(ServerLink& link, std::uint32_t pid);
// A frame from the server: a message for one of the process's windows is queued to the window's
// thread (no kernel lock held). Anything else is left alone.
void HandleWindowPush(ServerLink& link, const wire::Frame& f);

struct OtherWindow {
    HWND hwnd = nullptr;
    DWORD pid = 0;
    DWORD thread = 0;  // machine-wide
    std::wstring className;
    std::wstring title;
    bool visible = false;
};
// A top-level window of another process, or nothing.
std::optional<OtherWindow> WindowOfOtherProcess(HWND hwnd);
// FindWindowW over every process's top-level windows (class and title null: any); nothing
// without a server.
std::optional<HWND> FindWindowOnServer(const wchar_t* className, const wchar_t* title);
// PostMessageW to a window of another process: false when there is no such window.
bool PostToOtherProcess(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// SendMessageW to a window of another process: the message, whose ReplyLocked comes with the
// result once the window's thread has handled it (0 when its process ended first); null when
// there is no such window. WM_COPYDATA's structure is read here (the caller has checked it).
std::shared_ptr<SentMessage> SendToOtherProcess(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam);

}  // namespace sim
