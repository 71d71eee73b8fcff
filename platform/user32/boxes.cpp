// Windows: message boxes. WM_COPYDATA is copied in user32/messages.cpp (SendAcross); device
// broadcasts come from the machine (machine/boxes.h).
#include <string>

#include <winbase.h>
#include "machine/boxes.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/trace.h"
#include <winuser.h>
#include "platform/user32/icons.h"

using sim::Fail;

namespace {

// The box is a dialog (its icon in its creation parameter); a button command (WM_CLOSE makes
// IDCANCEL) closes it.
INT_PTR CALLBACK BoxProcedure(HWND box, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(box, DWLP_USER, lParam);
            return TRUE;
        case WM_PAINT: {
            auto icon = reinterpret_cast<HICON>(GetWindowLongPtrW(box, DWLP_USER));
            if (icon == nullptr) return FALSE;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(box, &ps);
            if (dc != nullptr) DrawIcon(dc, 11, 11, icon);
            EndPaint(box, &ps);
            return TRUE;
        }
        case WM_COMMAND:
            DestroyWindow(box);
            return TRUE;
        default:
            return FALSE;
    }
}

// Runs the thread's messages until the box is answered (its deadline), closed or a WM_QUIT
// comes. Returns false when the box was closed.
bool ModalLoop(HWND box, ULONGLONG deadline, bool& quit, int& quitCode) {
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = static_cast<int>(msg.wParam);
                return IsWindow(box) != FALSE;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!IsWindow(box)) return false;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) return true;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT, 0);
    }
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    API_TRACE(Windows, MessageBoxW, owner, text, caption, type);
    if (owner != nullptr && !IsWindow(owner)) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
    sim::BoxRecord record;
    record.owner = owner;
    record.caption = caption != nullptr ? caption : L"Error";
    record.text = text != nullptr ? text : L"";
    record.type = type;
    if (type & MB_USERICON) record.icon = ProgramIcon(GetSystemMetrics(SM_CXICON));
    sim::MessageBoxes::Answer answer = sim::machine().boxes().Show(record);

    resources::DialogTemplate form;
    form.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    form.cx = 200;
    form.cy = 74;
    form.caption = record.caption.c_str();
    HWND box = CreateDialogIndirectParamW(nullptr, &form, owner, BoxProcedure,
                                          reinterpret_cast<LPARAM>(record.icon));
    if (box == nullptr) return 0;  // last error from the dialog's making
    // EnableWindow answers whether the owner was disabled before: only then it stays so.
    bool reenable = owner != nullptr && !EnableWindow(owner, FALSE);

    bool quit = false;
    int quitCode = 0;
    bool answered = ModalLoop(box, GetTickCount64() + answer.afterMs, quit, quitCode);

    if (reenable && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(box)) DestroyWindow(box);
    if (quit) PostQuitMessage(quitCode);
    return answered ? answer.id : IDCANCEL;
}
