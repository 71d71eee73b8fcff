// The machine's control API for the shell: the notification area's icons as the user sees them,
// clicks on them, the shell's restart, and the power manager's suspend and resume.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windef.h>

namespace control {

struct TrayIconInfo {
    HWND owner = nullptr;
    UINT id = 0;
    bool hasPicture = false;
    std::wstring tip;
    // The last balloon (empty when none came, or the last one was taken away) and when it came
    // (machine milliseconds).
    std::wstring balloonText;
    std::wstring balloonTitle;
    std::uint64_t balloonTick = 0;
};

// The icons in the order they were added (the first at the taskbar's right end).
std::vector<TrayIconInfo> TrayIcons();

enum class TrayClickKind { Left, LeftDouble, Right };
// The user clicks the icon: its owner is posted the callback messages (see Shell_NotifyIconW).
// False for an unknown icon or one without a callback message.
bool ClickTrayIcon(HWND owner, UINT id, TrayClickKind kind);

// The shell starts again: every icon is gone and every top-level window is sent the registered
// message "TaskbarCreated".
void RestartShell();

// The machine suspends: every top-level window is sent WM_POWERBROADCAST with PBT_APMSUSPEND.
// False when it is suspended already.
bool SuspendMachine();
// The machine resumes: WM_POWERBROADCAST with PBT_APMRESUMEAUTOMATIC. False when it is not
// suspended.
bool ResumeMachine();

}  // namespace control
