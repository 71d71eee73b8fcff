// Shared pieces of the device command library's tests.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "dm/command.h"
#include "dm/packet.h"
#include <winbase.h>
#include "tests/common/sim_fixture.h"

namespace dmtest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Contents(const DMPacket& p) {
    return p.Size() == 0 ? Bytes() : Bytes(p.Data(), p.Data() + p.Size());
}

// A reply as the reader offers it: positioned after the command code byte.
inline DMPacket Reader(bool big, const Bytes& body) {
    return DMPacket(big, body.data(), body.size());
}

// A machine thread running a function; joined by Join or the destructor.
class MachineThread {
public:
    explicit MachineThread(std::function<void()> body) : m_body(std::move(body)) {
        m_handle = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    ~MachineThread() { Join(); }
    void Join() {
        if (m_handle == nullptr) return;
        WaitForSingleObject(m_handle, INFINITE);
        CloseHandle(m_handle);
        m_handle = nullptr;
    }

private:
    static DWORD Run(LPVOID self) {
        static_cast<MachineThread*>(self)->m_body();
        return 0;
    }
    std::function<void()> m_body;
    HANDLE m_handle = nullptr;
};

}  // namespace dmtest
