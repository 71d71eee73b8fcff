// The Miravel stand-in: no pixels; every window call goes to a journal that tests read.
#include "miravel/miravel.h"

#include <mutex>

#include "miravel/miravel_sim.h"
#include <winbase.h>

namespace miravel {

namespace {

struct Window {
    void* owner;
    HFONT font = nullptr;
    std::wstring message;
};

struct State {
    std::mutex mu;
    std::vector<Event> journal;
    Listener listener;
    DWORD boxDelay = 0;
    int alive = 0;
};

State& S() {
    static State* state = new State();  // lives until the process ends
    return *state;
}

int Record(Event e) {
    e.tick = GetTickCount();
    e.threadId = GetCurrentThreadId();
    Listener listener;
    {
        std::lock_guard<std::mutex> lk(S().mu);
        S().journal.push_back(e);
        listener = S().listener;
    }
    return listener ? listener(e) : MIRAVEL_IDOK;
}

struct WorkStart {
    PROGRESSDLG_WORKPROC work;
    void* context;
};

DWORD WorkThread(LPVOID parameter) {
    auto* start = static_cast<WorkStart*>(parameter);
    return static_cast<DWORD>(start->work(start->context));
}

}  // namespace

void ResetState() {
    std::lock_guard<std::mutex> lk(S().mu);
    S().journal.clear();
    S().listener = nullptr;
    S().boxDelay = 0;
    S().alive = 0;
}

void SetListener(Listener listener) {
    std::lock_guard<std::mutex> lk(S().mu);
    S().listener = std::move(listener);
}

void SetBoxDelay(DWORD milliseconds) {
    std::lock_guard<std::mutex> lk(S().mu);
    S().boxDelay = milliseconds;
}

std::vector<Event> Journal() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().journal;
}

std::vector<Event> Boxes() {
    std::vector<Event> out;
    for (const Event& e : Journal())
        if (e.kind == EventKind::Box) out.push_back(e);
    return out;
}

std::vector<std::wstring> Messages() {
    std::vector<std::wstring> out;
    for (const Event& e : Journal())
        if (e.kind == EventKind::Message) out.push_back(e.text);
    return out;
}

int WindowsAlive() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().alive;
}

}  // namespace miravel

using miravel::Event;
using miravel::EventKind;

void* ProgressDlg_Create(void* owner) {
    auto* window = new miravel::Window{owner};
    {
        std::lock_guard<std::mutex> lk(miravel::S().mu);
        ++miravel::S().alive;
    }
    miravel::Record({EventKind::Create, window});
    return window;
}

void ProgressDlg_Destroy(void* handle) {
    if (handle == nullptr) return;
    miravel::Record({EventKind::Destroy, handle});
    delete static_cast<miravel::Window*>(handle);
    std::lock_guard<std::mutex> lk(miravel::S().mu);
    --miravel::S().alive;
}

void ProgressDlg_Excute(void* handle, PROGRESSDLG_WORKPROC work, void* context) {
    if (handle == nullptr || work == nullptr) return;
    miravel::Record({EventKind::Show, handle});
    miravel::WorkStart start{work, context};
    HANDLE thread = CreateThread(nullptr, 0, miravel::WorkThread, &start, 0, nullptr);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    miravel::Record({EventKind::Hide, handle});
}

void ProgressDlg_SetFont(void* handle, HFONT font) {
    if (handle == nullptr) return;
    static_cast<miravel::Window*>(handle)->font = font;
    Event e{EventKind::Font, handle};
    LOGFONTW description{};
    if (font != nullptr && GetObjectW(font, sizeof description, &description) > 0) {
        e.text = description.lfFaceName;
        e.type = static_cast<UINT>(description.lfHeight);
    }
    miravel::Record(e);
}

void ProgressDlg_SetMessage(void* handle, const wchar_t* text) {
    if (handle == nullptr) return;
    auto* window = static_cast<miravel::Window*>(handle);
    window->message = text ? text : L"";
    miravel::Record({EventKind::Message, handle, window->message});
}

void ProgressDlg_MessageBox(void* handle, const wchar_t* text, const wchar_t* caption, UINT type) {
    Event e{EventKind::Box, handle, text ? text : L"", caption ? caption : L"", type};
    DWORD delay = 0;
    {
        std::lock_guard<std::mutex> lk(miravel::S().mu);
        delay = miravel::S().boxDelay;
    }
    miravel::Record(e);
    if (delay) Sleep(delay);  // the user reads the box before pressing OK
}
