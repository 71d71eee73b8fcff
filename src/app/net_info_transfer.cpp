#include "app/net_info_transfer.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <ctime>

#include "docking/cell.h"
#include "docking/docking.h"
#include "docking/image_cache.h"
#include "docking/layout.h"
#include "docking/messages.h"
#include "docking/present.h"
#include "docking/registry.h"
#include "docking/ui_guard.h"
#include "support/auto_lock.h"
#include "textfiles/localizer.h"

using System::Docking::CDockingCell;

namespace {

constexpr const wchar_t* kTextGroup = L"NetConnectUI";
constexpr size_t kMaxPicture = 256;  // characters read of a time picture

CDockingCell* FindCell(const wchar_t* id) {
    return dynamic_cast<CDockingCell*>(System::Docking::FindRenderableById(id));
}

ULONGLONG SaturatingSum(ULONGLONG a, ULONGLONG b) {
    return a > ~0ULL - b ? ~0ULL : a + b;
}

// At least two digits.
std::wstring TwoDigits(ULONGLONG value) {
    std::wstring text = std::to_wstring(value);
    if (text.size() < 2) text.insert(0, 2 - text.size(), L'0');
    return text;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The calendar fields of a valid local time (weekday and day of the year included); false for
// fields out of range.
bool CalendarFields(const ConnectionInfo& info, std::tm& out) {
    if (info.year < 1970 || info.year > 9999 || info.month < 1 || info.month > 12 ||
        info.day < 1 || info.day > DaysInMonth(info.year, info.month) || info.hour < 0 ||
        info.hour > 23 || info.minute < 0 || info.minute > 59 || info.second < 0 ||
        info.second > 59)
        return false;
    int yday = info.day - 1;
    for (int m = 1; m < info.month; ++m) yday += DaysInMonth(info.year, m);
    // Days since 1970-01-01 (a Thursday).
    long long days = yday;
    for (int y = 1970; y < info.year; ++y) days += IsLeapYear(y) ? 366 : 365;
    out = std::tm{};
    out.tm_year = info.year - 1900;
    out.tm_mon = info.month - 1;
    out.tm_mday = info.day;
    out.tm_hour = info.hour;
    out.tm_min = info.minute;
    out.tm_sec = info.second;
    out.tm_yday = yday;
    out.tm_wday = static_cast<int>((days + 4) % 7);
    out.tm_isdst = -1;
    return true;
}

// The user locale's time picture, read once per process.
const std::wstring& LocaleTimePicture() {
    static const std::wstring picture = [] {
        wchar_t buffer[kMaxPicture] = {};
        if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, buffer, kMaxPicture) <= 0)
            return std::wstring(L"HH:mm:ss");
        buffer[kMaxPicture - 1] = 0;
        return std::wstring(buffer);
    }();
    return picture;
}

}  // namespace

std::wstring FormatDurationPicture(const std::wstring& givenPicture, ULONGLONG seconds) {
    const std::wstring picture = givenPicture.substr(0, kMaxPicture);
    const ULONGLONG fields[3] = {seconds / 3600, seconds % 3600 / 60, seconds % 60};
    std::wstring out;
    for (size_t i = 0; i < picture.size();) {
        const wchar_t c = picture[i];
        if (c == L'\'' && i + 1 < picture.size() && picture[i + 1] == L'\'') {
            out += L'\'';  // two quotes outside a literal are one quote
            i += 2;
            continue;
        }
        if (c == L'\'') {
            // A quoted literal; two quotes in a row are one quote.
            ++i;
            while (i < picture.size()) {
                if (picture[i] == L'\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == L'\'') {
                        out += L'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += picture[i++];
            }
            continue;
        }
        const wchar_t lower = static_cast<wchar_t>(std::towlower(c));
        const int field = lower == L'h' ? 0 : lower == L'm' ? 1 : lower == L's' ? 2 : -1;
        if (field >= 0 || lower == L't') {
            while (i < picture.size() && static_cast<wchar_t>(std::towlower(picture[i])) == lower) ++i;
            if (field >= 0) out += TwoDigits(fields[field]);
            continue;
        }
        out += c;
        ++i;
    }
    const size_t last = out.find_last_not_of(L' ');
    if (last == std::wstring::npos) return L"";
    out.erase(last + 1);
    return out.substr(out.find_first_not_of(L' '));
}

// ---- The window ----

CWndNetInfoTransfer::CWndNetInfoTransfer() {
    InitializeCriticalSection(&m_lock);
    m_connection.AddListener(this);
}

CWndNetInfoTransfer::~CWndNetInfoTransfer() {
    // The dial reports to this object: it ends before anything of it goes.
    if (IsRunning()) Disconnect();
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd) &&
        GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId())
        DestroyWindow();
    DeleteCriticalSection(&m_lock);
}

bool CWndNetInfoTransfer::IsRunning() {
    return m_connection.IsRunning();
}

bool CWndNetInfoTransfer::IsConnected() {
    return m_connection.IsConnected();
}

DWORD CWndNetInfoTransfer::Disconnect() {
    m_connection.Stop();
    for (;;) {
        const DWORD result = m_connection.Wait(30);
        if (result != WAIT_TIMEOUT) return result;
        // The thread's queue is emptied meanwhile: paints are handled (a pending paint stays in
        // the queue until it is), and so are the skin's presents (each carries a picture that
        // only its handler frees); everything else is dropped.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_PAINT || msg.message == System::Docking::WM_DOCKING_PRESENT)
                DispatchMessageW(&msg);
        }
    }
}

bool CWndNetInfoTransfer::ConnectOrStop() {
    if (IsRunning()) {
        m_connection.Stop();
        return true;
    }
    // Everything the dial's first reports may change is set before it starts.
    {
        CAutoLock lock(m_lock);
        m_state.connecting = true;
        m_state.connected = false;
        m_state.disconnected = false;
        m_state.samples.clear();
        m_state.largestSum = 0;
    }
    if (m_hWnd != nullptr) {
        ::KillTimer(m_hWnd, IDT_CONNECTING);
        ::SetTimer(m_hWnd, IDT_CONNECTING, kConnectingStepMs, nullptr);
    }
    if (m_connection.Start()) return true;
    if (m_hWnd != nullptr) ::KillTimer(m_hWnd, IDT_CONNECTING);
    {
        CAutoLock lock(m_lock);
        m_state.connecting = false;
        m_state.disconnected = true;
    }
    m_frame = kAnimationFrames - 1;
    Redraw();
    return false;
}

void CWndNetInfoTransfer::AddListener(IConnectionListener* listener) {
    m_connection.AddListener(listener);
}

// ---- Reports, on the dial's threads ----

template <class F>
void CWndNetInfoTransfer::Report(UINT message, F change) {
    {
        CAutoLock lock(m_lock);
        change(m_state);
    }
    if (message != 0) PostToParent(message);
    PostRedraw();
}

void CWndNetInfoTransfer::OnError(const std::wstring& text) {
    Report(WM_CONNECTION_ERROR, [&](NetInfoState& s) {
        s.connecting = false;
        s.connected = false;
        s.statusText = text;
    });
}

void CWndNetInfoTransfer::OnStateText(const std::wstring& text) {
    Report(WM_CONNECTION_STATE, [&](NetInfoState& s) { s.statusText = text; });
}

void CWndNetInfoTransfer::OnConnected() {
    ConnectionInfo info;
    const bool have = m_connection.Client() != nullptr &&
                      (m_connection.Client()->GetStatistics(&info), true);
    Report(WM_CONNECTION_CONNECTED, [&](NetInfoState& s) {
        s.connecting = false;
        s.connected = true;
        if (have) s.info = info;
        s.statusText.clear();
    });
}

void CWndNetInfoTransfer::OnStatistics(const ConnectionInfo& info, ULONGLONG receivedRate,
                                       ULONGLONG sentRate) {
    Report(0, [&](NetInfoState& s) {
        s.info = info;
        s.samples.push_front({receivedRate, sentRate});
        while (s.samples.size() > kMaxSamples) s.samples.pop_back();
        s.largestSum = std::max(s.largestSum, SaturatingSum(receivedRate, sentRate));
    });
}

void CWndNetInfoTransfer::OnDisconnecting() {
    Report(WM_CONNECTION_DISCONNECTING, [](NetInfoState& s) {
        s.connected = false;
        s.statusText = L"正在断开...";
    });
}

void CWndNetInfoTransfer::OnDisconnected() {
    Report(WM_CONNECTION_DISCONNECTED, [](NetInfoState& s) {
        s.connecting = false;
        s.connected = false;
        s.disconnected = true;
        s.statusText = L"网络已经断开";
    });
}

void CWndNetInfoTransfer::PostToParent(UINT message) {
    const HWND window = m_hWnd;
    const HWND parent = window != nullptr ? ::GetParent(window) : nullptr;
    if (parent != nullptr) PostMessageW(parent, message, 0, 0);
}

void CWndNetInfoTransfer::PostRedraw() {
    const HWND window = m_hWnd;
    if (window == nullptr || m_redrawPosted.exchange(true)) return;
    if (!PostMessageW(window, WM_CONNECTION_REDRAW, 0, 0)) m_redrawPosted = false;
}

NetInfoState CWndNetInfoTransfer::State() const {
    CAutoLock lock(m_lock);
    return m_state;
}

// ---- The window's thread ----

void CWndNetInfoTransfer::SetStatusText(const std::wstring& text) {
    {
        CAutoLock lock(m_lock);
        m_state.statusText = text;
    }
    Redraw();
}

void CWndNetInfoTransfer::Redraw() {
    if (m_hWnd == nullptr) return;
    if (GetWindowThreadProcessId(m_hWnd, nullptr) != GetCurrentThreadId()) {
        PostRedraw();
        return;
    }
    if (CDockingCell* cell = dynamic_cast<CDockingCell*>(
            System::Docking::FindRenderableByWindow(m_hWnd)))
        cell->Redraw();
}

void CWndNetInfoTransfer::OnAnimationStep() {
    m_frame = m_frame >= kAnimationFrames - 1 ? 0 : m_frame + 1;
    bool connecting;
    {
        CAutoLock lock(m_lock);
        connecting = m_state.connecting;
    }
    if (!connecting) {
        m_frame = kAnimationFrames - 1;
        ::KillTimer(m_hWnd, IDT_CONNECTING);
    }
    Redraw();
}

BOOL CWndNetInfoTransfer::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    LRESULT answer = 0;
    switch (message) {
        case WM_TIMER:
            OnAnimationStep();
            break;
        case WM_LBUTTONDBLCLK:
            m_graphView = !m_graphView;
            Redraw();
            break;
        case WM_CONNECTION_REDRAW:
            m_redrawPosted = false;
            Redraw();
            break;
        case System::Docking::WM_DOCKING_PAINT:
            if (wParam != 0) Paint(wParam);
            answer = 1;
            break;
        case System::Docking::WM_DOCKING_GETOBJECT:
            answer = reinterpret_cast<LRESULT>(static_cast<CWnd*>(this));
            break;
        case WM_ERASEBKGND:
            answer = EraseBackground();
            break;
        case WM_DESTROY:
            // The dial posts to this window and its parent: it ends while both still exist.
            if (IsRunning()) Disconnect();
            return CWnd::OnWndMsg(message, wParam, lParam, result);
        default:
            return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
    if (result != nullptr) *result = answer;
    return TRUE;
}

// ---- Texts and drawing ----

std::wstring CWndNetInfoTransfer::RateText(const std::wstring& label, ULONGLONG bytesPerSecond) {
    // rate x 8 / 1024 in whole kilobits, without the product's overflow.
    double value = static_cast<double>(bytesPerSecond / 128);
    const wchar_t* unit = L"(Kbps)";
    if (value > 10000) {
        value /= 1024;
        unit = L"(Mbps)";
    }
    wchar_t number[64];
    std::swprintf(number, 64, L"%.1f", value);
    return label + L":\r\n   " + number + unit;
}

std::wstring CWndNetInfoTransfer::DurationText(ULONGLONG seconds) {
    return FormatDurationPicture(LocaleTimePicture(), seconds);
}

std::wstring CWndNetInfoTransfer::StartTimeText(const ConnectionInfo& info) {
    std::tm fields;
    if (!CalendarFields(info, fields)) return L"InvalidTime";
    const std::wstring picture =
        CLocalizer::Instance().GetTimeFormat(L"HourMinuteSecond").substr(0, kMaxPicture);
    wchar_t buffer[4 * kMaxPicture];
    if (std::wcsftime(buffer, std::size(buffer), picture.c_str(), &fields) == 0) return L"";
    return buffer;
}

std::wstring CWndNetInfoTransfer::StatisticsText(const NetInfoState& s) {
    const std::wstring kb = CLocalizer::Instance().GetText(L"KB", kTextGroup);
    const RateSample newest = s.samples.empty() ? RateSample{} : s.samples.front();
    const ULONGLONG duration = s.info.duration > 0 ? static_cast<ULONGLONG>(s.info.duration) : 0;
    return L"开始时间: " + StartTimeText(s.info) + L"\r\n" +
           L"持续时间: " + DurationText(duration) + L"\r\n" +
           L"发送:" + std::to_wstring(s.info.bytesSent / 1024) + kb + L"\r\n" +
           L"接收:" + std::to_wstring(s.info.bytesReceived / 1024) + kb + L"\r\n" +
           RateText(L"发送速率", newest.sent) + L"\r\n" + RateText(L"接收速率", newest.received);
}

std::vector<POINT> CWndNetInfoTransfer::GraphPoints(const NetInfoState& s, const RECT& content) {
    std::vector<POINT> points;
    if (s.samples.empty() || s.largestSum == 0) return points;
    const long long height = std::max<long long>(0, content.bottom - content.top - 8);
    long long x = static_cast<long long>(content.right) - kGraphStep;
    for (const RateSample& sample : s.samples) {
        if (x <= content.left) break;
        const ULONGLONG sum = std::min(SaturatingSum(sample.received, sample.sent), s.largestSum);
        const auto rise = static_cast<long long>(static_cast<unsigned __int128>(sum) * height /
                                                 s.largestSum);
        points.push_back({static_cast<LONG>(x), static_cast<LONG>(content.bottom - rise)});
        x -= kGraphStep;
    }
    return points;
}

void CWndNetInfoTransfer::Paint(WPARAM request) {
    auto& context = *reinterpret_cast<System::Docking::RenderContext*>(request);
    CDockingCell* content = FindCell(L"connectContent");
    CDockingCell* title = FindCell(L"connectTitle");
    CDockingCell* message = FindCell(L"connectMessage");
    if (content == nullptr || title == nullptr || message == nullptr) return;
    Gdiplus::Graphics* graphics = context.graphics;
    const NetInfoState s = State();
    const Gdiplus::Rect box = content->GetBounds();

    System::Docking::UiWrite write(*content);
    if (graphics != nullptr) graphics->SetClip(System::Docking::Intersect(box, context.clip));
    content->text.Assign(L"");
    title->text.Assign(L"");
    if (!s.statusText.empty()) {
        message->font.color = 0xFF000000;
        message->text.Assign(CLocalizer::Instance().GetText(s.statusText, kTextGroup));
        if (!s.connected) content->background.y = -kFrameHeight * m_frame;
    }
    if (s.connected) {
        message->font.color = 0xFF0000FF;
        message->text.Assign(L"双击切换视图");
        content->background.y = kConnectedOffset;
        if (m_graphView) {
            title->text.Assign(L"最大流速");
            const System::Docking::CDocking* grid = content->docking.Value();
            System::Docking::CDockingImage* image =
                content->background.image.empty() || grid == nullptr
                    ? nullptr
                    : System::Docking::LoadDockingImage(grid->handle.layoutFile,
                                                        content->background.image);
            if (graphics != nullptr && image != nullptr && image->HasPicture()) {
                EnterCriticalSection(&image->Lock());
                const INT width = static_cast<INT>(image->GetWidth());
                graphics->DrawImage(image, Gdiplus::Rect(box.X + 4, box.Y, width, kFrameHeight),
                                    0, kGraphStripTop, width, kFrameHeight, Gdiplus::UnitPixel);
                LeaveCriticalSection(&image->Lock());
            }
            const RECT edges{box.X, box.Y, box.X + box.Width, box.Y + box.Height};
            const std::vector<POINT> points = GraphPoints(s, edges);
            if (graphics != nullptr && points.size() > 1) {
                Gdiplus::Pen pen(Gdiplus::Color(0xFF000000), 1.0f);
                for (size_t i = 0; i + 1 < points.size(); ++i)
                    graphics->DrawLine(&pen, points[i].x, points[i].y, points[i + 1].x,
                                       points[i + 1].y);
            }
        } else {
            title->text.Assign(L"已连接");
            content->text.Assign(StatisticsText(s));
        }
    }
    if (graphics != nullptr) graphics->ResetClip();
}
