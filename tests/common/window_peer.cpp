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
//   info TITLE         prints what it learns of the first window titled TITLE, of any class:
//                      "window <handle> pid <pid> title <title> alive <0|1> thread <0|1>"
// Every line it prints is flushed at once.
#include <windows.h>

#include <corecrt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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

unsigned long Number(const wchar_t* text) {
    return std::wcstoul(text, nullptr, 10);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"window" && argc == 3) return RunWindow(argv[2]);
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
