// The devices of a program on a machine server: the process's device tree mirrors the server's
// (the server sends it after every change; the listeners of this process hear the change on a
// thread of its own, as they would hear the machine's re-enumeration), and what the process
// changes, opens, asks of a device or ejects goes to the server, as do its serial ports' opens.
#pragma once

#include <string>

namespace sim {

class ServerLink;

// Takes the server's tree (the bytes of its Tree answer) into the process's machine and sends
// the process's device requests to the server from here on. False when the bytes are no tree.
bool JoinServedDevices(ServerLink& link, const std::string& tree);
// Starts the thread that tells the process's listeners of the changes (the link runs by then).
void StartDeviceNotices();
// The server sent the tree after a change (the link's receive thread, kernel lock held).
void ReceiveDeviceTreeLocked(const std::string& payload);

}  // namespace sim
