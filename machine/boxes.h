// The machine's message boxes and device broadcasts to windows.
//
// MessageBoxes: the answers tests script for the boxes programs show (one per box, in order) and
// the journal of every box shown. DeviceBroadcast: hears the device tree's interface arrivals and
// removals, and the nodes that come and go, and sends WM_DEVICECHANGE to every top-level window
// that a thread owns (DBT_DEVNODES_CHANGED per node first, then the interfaces' events).
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <windef.h>
#include <winuser.h>

namespace sim {

class DeviceTree;
class WindowTable;
struct InterfaceEvent;

// One box as it was shown.
struct BoxRecord {
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
    UINT type = 0;         // the MB_* flags as given
    HICON icon = nullptr;  // the icon the box shows (MB_USERICON: the program's), or none
    int answer = 0;        // the user's answer (a box its program closed returns IDCANCEL instead)
    DWORD pid = 0;         // the process that showed it (the machine server's journal)
};

class MessageBoxes {
public:
    // How the simulated user answers the next box: the button's id (IDOK .. IDCONTINUE), pressed
    // afterMs milliseconds of machine time after the box came up. False for an id that is no
    // button.
    bool Script(int answer, DWORD afterMs = 0);
    // Control: every box shown, the first first.
    std::vector<BoxRecord> Journal();
    // Scripted answers not used yet.
    std::size_t Pending();

    // For MessageBoxW: the next scripted answer, or the default for the box's kind with no delay:
    // IDOK for MB_OK, IDNO for MB_YESNO, IDABORT for MB_ABORTRETRYIGNORE, IDCANCEL for the others
    // (what closing the box answers). The box goes into the journal.
    struct Answer {
        int id;
        DWORD afterMs;
    };
    Answer Show(const BoxRecord& box);
    // From now on Show asks `show` (the machine server's script and journal, shared by every
    // process on it).
    void UseServer(std::function<Answer(const BoxRecord&)> show);

private:
    std::function<Answer(const BoxRecord&)> server_;
    std::mutex mu_;
    std::deque<Answer> script_;
    std::vector<BoxRecord> journal_;
};

// The broadcast data for an interface event, as services and windows get it
// (DEV_BROADCAST_DEVICEINTERFACE_W with the symbolic link).
std::vector<BYTE> InterfaceBroadcast(const InterfaceEvent& e);

class DeviceBroadcast {
public:
    DeviceBroadcast(DeviceTree& devices, WindowTable& windows);
    ~DeviceBroadcast();
    DeviceBroadcast(const DeviceBroadcast&) = delete;
    DeviceBroadcast& operator=(const DeviceBroadcast&) = delete;

private:
    void OnInterfaceEvent(const InterfaceEvent& e);
    void OnNodesChanged(std::size_t count);
    DeviceTree& devices_;
    WindowTable& windows_;
    int listener_ = 0;
    int nodeListener_ = 0;
};

}  // namespace sim
