#include "machine/boxes.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include <dbt.h>
#include "machine/devices.h"
#include "machine/shell.h"
#include "machine/windows.h"
#include <winuser.h>

namespace sim {

// ---- Message boxes ----

bool MessageBoxes::Script(int answer, DWORD afterMs) {
    if (answer < IDOK || answer > IDCONTINUE || answer == 8 || answer == 9) return false;
    std::lock_guard<std::mutex> lk(mu_);
    script_.push_back({answer, afterMs});
    return true;
}

std::vector<BoxRecord> MessageBoxes::Journal() {
    std::lock_guard<std::mutex> lk(mu_);
    return journal_;
}

std::size_t MessageBoxes::Pending() {
    std::lock_guard<std::mutex> lk(mu_);
    return script_.size();
}

void MessageBoxes::UseServer(std::function<Answer(const BoxRecord&)> show) {
    std::lock_guard<std::mutex> lk(mu_);
    server_ = std::move(show);
}

MessageBoxes::Answer MessageBoxes::Show(const BoxRecord& box) {
    std::unique_lock<std::mutex> lk(mu_);
    if (server_) {
        auto ask = server_;
        lk.unlock();
        return ask(box);
    }
    Answer a{IDCANCEL, 0};
    if (!script_.empty()) {
        a = script_.front();
        script_.pop_front();
    } else {
        switch (box.type & MB_TYPEMASK) {
            case MB_OK:
                a.id = IDOK;
                break;
            case MB_YESNO:
                a.id = IDNO;
                break;
            case MB_ABORTRETRYIGNORE:
                a.id = IDABORT;
                break;
            default:
                break;
        }
    }
    journal_.push_back(box);
    journal_.back().answer = a.id;
    return a;
}

// ---- Device broadcasts ----

std::vector<BYTE> InterfaceBroadcast(const InterfaceEvent& e) {
    std::size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                       (e.symbolicLink.size() + 1) * sizeof(WCHAR);
    if (size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W))
        size = sizeof(DEV_BROADCAST_DEVICEINTERFACE_W);
    std::vector<BYTE> data(size, 0);
    auto* b = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(data.data());
    b->dbcc_size = static_cast<DWORD>(size);
    b->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    b->dbcc_classguid = e.classGuid;
    std::memcpy(b->dbcc_name, e.symbolicLink.c_str(), (e.symbolicLink.size() + 1) * sizeof(WCHAR));
    return data;
}

DeviceBroadcast::DeviceBroadcast(DeviceTree& devices, WindowTable& windows)
    : devices_(devices), windows_(windows) {
    listener_ = devices_.AddListener([this](const InterfaceEvent& e) { OnInterfaceEvent(e); });
    nodeListener_ = devices_.AddNodeListener([this](std::size_t n) { OnNodesChanged(n); });
}

DeviceBroadcast::~DeviceBroadcast() {
    devices_.RemoveListener(listener_);
    devices_.RemoveListener(nodeListener_);
}

void DeviceBroadcast::OnInterfaceEvent(const InterfaceEvent& e) {
    auto data = std::make_shared<const std::vector<BYTE>>(InterfaceBroadcast(e));
    WPARAM type = e.arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    SendToTopLevel(windows_, WM_DEVICECHANGE, type, reinterpret_cast<LPARAM>(data->data()), data);
}

void DeviceBroadcast::OnNodesChanged(std::size_t count) {
    // One DBT_DEVNODES_CHANGED per node that came or went: a device with several functions gives
    // a burst of them, as the platform sends.
    for (std::size_t i = 0; i < count; ++i)
        SendToTopLevel(windows_, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
}

}  // namespace sim
