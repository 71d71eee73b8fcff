// A small program of the server tests that owns a window or talks to another process's window.
// Its first argument says what it does:
//   window TITLE       makes a hidden top-level window titled TITLE and handles its messages
//                      until it is closed: a sent kAskUser shows a box (owned by the window,
//                      titled TITLE) and answers 100 + the box's answer; a sent kAdd answers
//                      wParam + 1; WM_COPYDATA prints what came and answers 7; a posted kNote
//                      prints its wParam; WM_CLOSE ends it
//   send TITLE MSG W   sends MSG (a number) with wParam W to the first window of this program's
//                      class titled TITLE; prints "result <r> at <tick>"
//   copy TITLE TEXT N  sends WM_COPYDATA (dwData 5556) with TEXT as UTF-16 and N more bytes of
//                      zero; prints "result <r>"
//   post TITLE MSG W   posts MSG with wParam W; prints "posted" or "no window"
//   show TITLE RRGGBB X Y W H
//                      makes a visible popup window titled TITLE at X,Y of W x H pixels painted
//                      in the colour and handles its messages until it is closed: the first
//                      paint sets the event "shown TITLE"; a left button press prints
//                      "down <x> <y>", a double click "double <x> <y>" (client points), a key
//                      "key <vk>", each then setting the event "input TITLE"
//   show TITLE RRGGBB X Y W H keyed
//                      the same as a layered window whose right half is painted in the colour
//                      key (magenta): it shows nothing there and lets clicks through
//   tray TITLE TIP     makes a hidden window titled TITLE with a notification-area icon (id 9,
//                      tip TIP, balloon "Ready" titled "Peer") and handles its messages until it
//                      is closed: a double click on the icon prints "tray <id> double" and sets
//                      the event "input TITLE"; the icon goes with the window
//   info TITLE         prints what it learns of the first window titled TITLE, of any class:
//                      "window <handle> pid <pid> title <title> alive <0|1> thread <0|1>"
// Every line it prints is flushed at once.
#include <windows.h>
#include <shellapi.h>

#include <corecrt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr UINT kAskUser = WM_APP + 1;
constexpr UINT kAdd = WM_APP + 2;
constexpr UINT kNote = WM_APP + 3;

std::wstring g_title;

unsigned long Tick() {
    return static_cast<unsigned long>(GetTickCount());
}

LRESULT CALLBACK PeerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kAskUser:
            return 100 + MessageBoxW(window, L"busy", g_title.c_str(), MB_OKCANCEL);
        case kAdd:
            crt::wprintf(L"add %lu at %lu\n", static_cast<unsigned long>(wParam), Tick());
            std::fflush(stdout);
            return static_cast<LRESULT>(wParam + 1);
        case kNote:
            crt::wprintf(L"note %lu at %lu\n", static_cast<unsigned long>(wParam), Tick());
            std::fflush(stdout);
            return 0;
        case WM_COPYDATA: {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            std::u16string units(data->cbData / 2, u'\0');
            if (!units.empty()) std::memcpy(units.data(), data->lpData, units.size() * 2);
            crt::wprintf(L"copy %lu %lu %s\n", static_cast<unsigned long>(data->dwData),
                         static_cast<unsigned long>(data->cbData),
                         std::wstring(units.begin(), units.end()).c_str());
            std::fflush(stdout);
            return 7;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

unsigned long Number(const wchar_t* text) {
    return std::wcstoul(text, nullptr, 10);
}

COLORREF g_colour = 0;
constexpr COLORREF kKey = RGB(255, 0, 255);
bool g_keyed = false;

// Sets the named event of the machine (made by the test).
void Signal(const std::wstring& name) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    if (event == nullptr) return;
    SetEvent(event);
    CloseHandle(event);
}

void Report(const wchar_t* what, long a, long b = -1) {
    if (b < 0)
        crt::wprintf(L"%s %ld\n", what, a);
    else
        crt::wprintf(L"%s %ld %ld\n", what, a, b);
    std::fflush(stdout);
    Signal(L"input " + g_title);
}

LRESULT CALLBACK ShownProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static bool painted = false;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            RECT all;
            GetClientRect(window, &all);
            HBRUSH brush = CreateSolidBrush(g_colour);
            FillRect(dc, &all, brush);
            DeleteObject(brush);
            if (g_keyed) {
                RECT right = all;
                right.left = (all.left + all.right) / 2;
                HBRUSH key = CreateSolidBrush(kKey);
                FillRect(dc, &right, key);
                DeleteObject(key);
            }
            EndPaint(window, &ps);
            if (!std::exchange(painted, true)) Signal(L"shown " + g_title);
            return 0;
        }
        case WM_LBUTTONDOWN:
            Report(L"down", static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_LBUTTONDBLCLK:
            Report(L"double", static_cast<short>(LOWORD(lParam)),
                   static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_KEYDOWN:
            Report(L"key", static_cast<long>(wParam));
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

int RunShown(wchar_t** argv, bool keyed) {
    g_title = argv[2];
    g_keyed = keyed;
    unsigned long rgb = std::wcstoul(argv[3], nullptr, 16);
    g_colour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    WNDCLASSW c{};
    c.style = CS_DBLCLKS;
    c.lpfnWndProc = ShownProcedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"PeerWindow";
    RegisterClassW(&c);
    HWND window =
        CreateWindowExW(g_keyed ? WS_EX_LAYERED : 0, L"PeerWindow", argv[2], WS_POPUP | WS_VISIBLE,
                        static_cast<int>(Number(argv[4])), static_cast<int>(Number(argv[5])),
                        static_cast<int>(Number(argv[6])), static_cast<int>(Number(argv[7])),
                        nullptr, nullptr, c.hInstance, nullptr);
    if (window == nullptr) return 1;
    if (g_keyed) SetLayeredWindowAttributes(window, kKey, 0, LWA_COLORKEY);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

constexpr UINT kTrayCallback = WM_APP + 4;
constexpr UINT kTrayId = 9;

template <std::size_t N>
void CopyText(WCHAR (&to)[N], const std::wstring& text) {
    std::size_t n = std::min(text.size(), N - 1);
    for (std::size_t i = 0; i < n; ++i) to[i] = static_cast<WCHAR>(text[i]);
    to[n] = 0;
}

LRESULT CALLBACK TrayProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kTrayCallback:
            if (lParam == WM_LBUTTONDBLCLK) Report(L"tray double", static_cast<long>(wParam));
            return 0;
        case WM_DESTROY: {
            NOTIFYICONDATAW icon{};
            icon.cbSize = sizeof(icon);
            icon.hWnd = window;
            icon.uID = kTrayId;
            Shell_NotifyIconW(NIM_DELETE, &icon);
            PostQuitMessage(0);
            return 0;
        }
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

int RunTray(const wchar_t* title, const wchar_t* tip) {
    g_title = title;
    WNDCLASSW c{};
    c.lpfnWndProc = TrayProcedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"PeerWindow";
    RegisterClassW(&c);
    HWND window = CreateWindowExW(0, L"PeerWindow", title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, c.hInstance, nullptr);
    if (window == nullptr) return 1;
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window;
    icon.uID = kTrayId;
    icon.uFlags = NIF_MESSAGE | NIF_TIP;
    icon.uCallbackMessage = kTrayCallback;
    CopyText(icon.szTip, tip);
    if (!Shell_NotifyIconW(NIM_ADD, &icon)) return 2;
    icon.uFlags = NIF_INFO;
    CopyText(icon.szInfo, L"Ready");
    CopyText(icon.szInfoTitle, L"Peer");
    if (!Shell_NotifyIconW(NIM_MODIFY, &icon)) return 3;
    Signal(L"shown " + g_title);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

int RunWindow(const wchar_t* title) {
    g_title = title;
    WNDCLASSW c{};
    c.lpfnWndProc = PeerProcedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"PeerWindow";
    RegisterClassW(&c);
    HWND window = CreateWindowExW(0, L"PeerWindow", title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, c.hInstance, nullptr);
    if (window == nullptr) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

HWND Find(const wchar_t* title, const wchar_t* className = L"PeerWindow") {
    HWND found = FindWindowW(className, title);
    if (found == nullptr) {
        crt::wprintf(L"no window\n");
        std::fflush(stdout);
    }
    return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"window" && argc == 3) return RunWindow(argv[2]);
    if (mode == L"show" && argc == 8) return RunShown(argv, false);
    if (mode == L"show" && argc == 9 && std::wstring(argv[8]) == L"keyed")
        return RunShown(argv, true);
    if (mode == L"tray" && argc == 4) return RunTray(argv[2], argv[3]);
    if (mode == L"send" && argc == 5) {
        HWND to = Find(argv[2]);
        if (to == nullptr) return 1;
        LRESULT r = SendMessageW(to, Number(argv[3]), Number(argv[4]), 0);
        crt::wprintf(L"result %ld at %lu\n", static_cast<long>(r), Tick());
        return 0;
    }
    if (mode == L"copy" && argc == 5) {
        HWND to = Find(argv[2]);
        if (to == nullptr) return 1;
        std::wstring text = argv[3];
        std::vector<char16_t> units(text.begin(), text.end());
        units.resize(units.size() + 1, u'\0');
        COPYDATASTRUCT data{};
        data.dwData = 5556;
        data.cbData = static_cast<DWORD>(text.size() * 2 + Number(argv[4]));
        data.lpData = units.data();
        LRESULT r = SendMessageW(to, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        crt::wprintf(L"result %ld\n", static_cast<long>(r));
        return 0;
    }
    if (mode == L"post" && argc == 5) {
        HWND to = Find(argv[2]);
        if (to == nullptr) return 1;
        BOOL ok = PostMessageW(to, Number(argv[3]), Number(argv[4]), 0);
        crt::wprintf(ok ? L"posted\n" : L"post failed\n");
        return 0;
    }
    if (mode == L"info" && argc == 3) {
        HWND to = Find(argv[2], nullptr);
        if (to == nullptr) return 1;
        DWORD pid = 0;
        DWORD thread = GetWindowThreadProcessId(to, &pid);
        wchar_t title[64] = L"?";
        GetWindowTextW(to, title, 64);
        crt::wprintf(L"window %lu pid %lu title %s alive %d thread %d\n",
                     static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(to)),
                     static_cast<unsigned long>(pid), title, IsWindow(to) ? 1 : 0,
                     thread != 0 ? 1 : 0);
        return 0;
    }
    crt::wprintf(L"usage\n");
    return 64;
}
