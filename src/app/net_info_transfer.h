// The connection status window: the child window of the connection view that owns the dial,
// starts and stops it, hears its reports, forwards each report to its parent as a posted message,
// and draws the connection's state into three cells of the view's skin: the connecting
// animation, the state text, and, while connected, a speed graph of the last samples or six
// lines of totals, rates, start time and duration.
//
// The dial's reports arrive on the dial thread and on RAS's notification thread. Those threads
// only change the window's state under its lock and post messages; the window's own thread looks
// the skin cells up and redraws them.
#pragma once

#include <atomic>
#include <deque>
#include <string>
#include <vector>

#include "app/connection.h"
#include <afxwin.h>

// Posted to the status window's parent (wParam 0, lParam 0).
constexpr UINT WM_CONNECTION_STATE = WM_USER + 101;          // a state text (0x465)
constexpr UINT WM_CONNECTION_CONNECTED = WM_USER + 102;      // 0x466
constexpr UINT WM_CONNECTION_ERROR = WM_USER + 103;          // 0x467
constexpr UINT WM_CONNECTION_DISCONNECTING = WM_USER + 104;  // 0x468
constexpr UINT WM_CONNECTION_DISCONNECTED = WM_USER + 105;   // 0x469
// The status window asks its own thread to redraw it (posted to itself).
constexpr UINT WM_CONNECTION_REDRAW = WM_USER + 106;

constexpr UINT IDC_NetInfo = 7999;     // the status window's id
constexpr UINT IDT_CONNECTING = 511;   // the connecting animation's timer
constexpr UINT kConnectingStepMs = 150;

// What the connection view and the main dialog ask of the dial.
class IConnectionExport {
public:
    virtual bool IsRunning() = 0;
    virtual bool IsConnected() = 0;
    // Asks a running dial to stop and waits for its thread, dropping the calling thread's queued
    // messages meanwhile (paints and the skin's presents are handled); the first wait result
    // that is not a time-out.
    virtual DWORD Disconnect() = 0;
    // Starts the dial, or asks a running one to stop (true); false when it cannot start.
    virtual bool ConnectOrStop() = 0;
    // Only before the first start.
    virtual void AddListener(IConnectionListener* listener) = 0;

protected:
    ~IConnectionExport() = default;
};

// One statistics sample, bytes per second.
struct RateSample {
    ULONGLONG received = 0;
    ULONGLONG sent = 0;
};

// The state the status window draws: written by the dial's threads under the window's lock,
// copied by the window's thread before it draws.
struct NetInfoState {
    bool connecting = false;
    bool connected = false;  // from the connected report until the dial leaves the line
    bool disconnected = true;
    std::wstring statusText = L"未连接网络";
    ConnectionInfo info;
    std::deque<RateSample> samples;  // newest first, at most kMaxSamples
    ULONGLONG largestSum = 0;        // the largest received + sent rate since the last start
};

class CWndNetInfoTransfer : public CWnd, public IConnectionListener, public IConnectionExport {
public:
    static constexpr size_t kMaxSamples = 40;
    static constexpr int kAnimationFrames = 5;   // frames 0..4; 4 is the idle picture
    static constexpr int kFrameHeight = 108;     // the animation strip's frame pitch
    static constexpr int kConnectedOffset = -648;
    static constexpr int kGraphStripTop = 540;
    static constexpr int kGraphStep = 4;         // pixels between two samples

    CWndNetInfoTransfer();
    // Stops and joins a dial that still runs, then the connection goes.
    ~CWndNetInfoTransfer() override;

    // IConnectionExport.
    bool IsRunning() override;
    bool IsConnected() override;
    DWORD Disconnect() override;
    bool ConnectOrStop() override;
    void AddListener(IConnectionListener* listener) override;

    // IConnectionListener: on the dial's threads.
    void OnError(const std::wstring& text) override;
    void OnStateText(const std::wstring& text) override;
    void OnConnected() override;
    void OnStatistics(const ConnectionInfo& info, ULONGLONG receivedRate,
                      ULONGLONG sentRate) override;
    void OnDisconnecting() override;
    void OnDisconnected() override;

    // Sets the status text, then redraws.
    virtual void SetStatusText(const std::wstring& text);
    virtual void Reserved1() {}
    virtual void Reserved2() {}
    // True: nothing is erased (the skin draws the whole area).
    virtual BOOL EraseBackground() { return TRUE; }
    virtual void Reserved3() {}
    // Asks the skin cell that hosts the window to redraw itself (on the window's thread: from
    // another thread the request is posted).
    virtual void Redraw();

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // A copy of the state, taken under the lock.
    NetInfoState State() const;
    int AnimationFrame() const { return m_frame; }
    bool GraphView() const { return m_graphView; }
    CConnection& Connection() { return m_connection; }

    // The texts the window draws, for the state given.
    // "<label>:\r\n   <value>(Kbps)" or "(Mbps)" above 10000 kbit/s.
    static std::wstring RateText(const std::wstring& label, ULONGLONG bytesPerSecond);
    // The duration in the user locale's time picture (hours, minutes, seconds).
    static std::wstring DurationText(ULONGLONG seconds);
    // The start time in the language file's "HourMinuteSecond" picture; "InvalidTime" when the
    // time is not valid.
    static std::wstring StartTimeText(const ConnectionInfo& info);
    // The six lines of the connected text view.
    static std::wstring StatisticsText(const NetInfoState& state);
    // The graph's points for the content rectangle, newest first: x from the right edge less 4,
    // 4 pixels apart, while x stays right of the left edge.
    static std::vector<POINT> GraphPoints(const NetInfoState& state, const RECT& content);

private:
    void OnAnimationStep();
    void Paint(WPARAM request);
    // A report from the dial: the state changed under the lock, then the parent is posted the
    // message and the window is asked to redraw.
    template <class F>
    void Report(UINT message, F change);
    // Posts to the parent (nothing without one).
    void PostToParent(UINT message);
    // Asks the window's own thread to redraw (one request in flight at a time).
    void PostRedraw();

    mutable CRITICAL_SECTION m_lock;  // guards m_state
    NetInfoState m_state;
    std::atomic<bool> m_redrawPosted{false};
    // The window's thread only.
    int m_frame = 4;
    bool m_graphView = false;
    CConnection m_connection;
};

// The time pictures, used as pictures and never as printf formats.
// A user-locale time picture ("HH:mm:ss", "h:mm:ss tt", ...) for a duration: runs of h or H give
// the hours (at least two digits), of m the minutes, of s the seconds, of t nothing; text in
// single quotes is copied without the quotes ('' gives one quote); every other character,
// '%' included, is copied. Blanks are trimmed at both ends; at most 256 characters are read.
std::wstring FormatDurationPicture(const std::wstring& picture, ULONGLONG seconds);
