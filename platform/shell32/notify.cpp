// The shell's notification area: Shell_NotifyIconW over the machine's shell (machine/shell.h).
#include <shellapi.h>

#include <memory>
#include <string>

#include <winbase.h>
#include "platform/user32/icons.h"
#include "machine/machine.h"
#include "machine/shell.h"
#include "machine/trace.h"
#include "machine/waits.h"
#include "machine/windows.h"

using sim::Fail;

namespace {

// The field's text up to its terminator (or the field's end), cut to `limit` UTF-16 units; a
// character outside the basic plane counts two units and is not split.
template <std::size_t N>
std::wstring FieldText(const WCHAR (&field)[N], std::size_t limit) {
    std::wstring text;
    std::size_t units = 0;
    for (std::size_t i = 0; i < N && field[i] != 0; ++i) {
        std::size_t width = static_cast<std::uint32_t>(field[i]) > 0xFFFF ? 2 : 1;
        if (units + width > limit) break;
        units += width;
        text.push_back(field[i]);
    }
    return text;
}

std::shared_ptr<cairo_surface_t> Picture(HICON icon) {
    cairo_surface_t* picture = IconPicture(icon);
    if (picture == nullptr) return nullptr;
    return std::shared_ptr<cairo_surface_t>(picture, cairo_surface_destroy);
}

// The fields the flags name, read from the caller's structure before the shell's record is
// locked (the icon's picture and the clock have locks of their own).
struct Change {
    explicit Change(const NOTIFYICONDATAW& data)
        : flags(data.uFlags), message(data.uCallbackMessage), timeoutMs(data.uTimeout) {
        if (flags & NIF_ICON) picture = Picture(data.hIcon);
        if (flags & NIF_TIP) tip = FieldText(data.szTip, 127);
        if (flags & NIF_INFO) {
            text = FieldText(data.szInfo, 255);
            title = FieldText(data.szInfoTitle, 63);
            tick = sim::Kernel::Get().Now();
        }
    }
    void ApplyTo(sim::TrayIcon& icon) const {
        if (flags & NIF_MESSAGE) icon.callbackMessage = message;
        if (flags & NIF_ICON) icon.picture = picture;
        if (flags & NIF_TIP) icon.tip = tip;
        if (flags & NIF_INFO) {
            icon.balloonText = text;
            icon.balloonTitle = title;
            icon.hasBalloon = !text.empty();
            icon.balloonTick = tick;
            icon.balloonTimeoutMs = timeoutMs;
        }
    }
    UINT flags;
    UINT message;
    DWORD timeoutMs;
    std::shared_ptr<cairo_surface_t> picture;
    std::wstring tip, text, title;
    std::uint64_t tick = 0;
};

}  // namespace

BOOL Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data) {
    API_TRACE(Windows, Shell_NotifyIconW, message, data);
    if (data == nullptr ||
        (data->cbSize != sizeof(NOTIFYICONDATAW) && data->cbSize != NOTIFYICONDATAW_952_SIZE))
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    sim::Shell& shell = sim::machine().shell();
    switch (message) {
        case NIM_ADD: {
            if (!sim::machine().windows().Exists(data->hWnd))
                return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
            sim::TrayIcon icon;
            icon.owner = data->hWnd;
            icon.id = data->uID;
            Change(*data).ApplyTo(icon);
            return shell.AddIcon(icon) ? TRUE : Fail(FALSE, ERROR_INVALID_PARAMETER);
        }
        case NIM_MODIFY: {
            const Change change(*data);
            return shell.ModifyIcon(data->hWnd, data->uID,
                                    [&](sim::TrayIcon& icon) { change.ApplyTo(icon); })
                       ? TRUE
                       : Fail(FALSE, ERROR_INVALID_PARAMETER);
        }
        case NIM_DELETE:
            return shell.DeleteIcon(data->hWnd, data->uID) ? TRUE
                                                           : Fail(FALSE, ERROR_INVALID_PARAMETER);
        default:
            return Fail(FALSE, ERROR_INVALID_PARAMETER);
    }
}
