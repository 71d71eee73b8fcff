// The service over the simulated modem with its device handlers, in both byte orders, and a
// recorder of reports for the sinks.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dm/dm_test.h"
#include "dm/engine_fixture.h"
#include "dm_peer/device_handlers.h"
#include "support/auto_lock.h"

namespace dmtest {

class DeviceTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        dmpeer::InstallDeviceHandlers(*peer, state);
        StartService();
    }

public:
    // The request the service would send: code 0x4B, category, sub-command, then the params.
    Bytes Request(std::uint8_t category, std::uint16_t sub, const Bytes& params = {}) const {
        DMPacket p(GetParam());
        p.WriteU8(0x4B).WriteU8(category).WriteU16(sub);
        if (!params.empty()) p.Append(params.data(), params.size());
        return Contents(p);
    }
    Bytes U16(std::uint16_t v) const {
        DMPacket p(GetParam());
        p.WriteU16(v);
        return Contents(p);
    }
    Bytes U32(std::uint32_t v) const {
        DMPacket p(GetParam());
        p.WriteU32(v);
        return Contents(p);
    }
    std::vector<Bytes> Requests() const { return peer->Requests(); }
    Bytes LastRequest() const {
        const std::vector<Bytes> all = peer->Requests();
        return all.empty() ? Bytes() : all.back();
    }
    dmpeer::CommandKey Key(std::uint8_t category, std::uint16_t sub) const {
        return {0x4B, category, sub};
    }
    dmpeer::DeviceState state;
};

// A text field of `width` bytes after its length byte.
inline Bytes Field(const std::string& text, std::uint32_t width, std::uint8_t length) {
    return dmpeer::TextFieldPayload(text, width, length);
}
inline Bytes Field(const std::string& text, std::uint32_t width) {
    return dmpeer::TextFieldPayload(text, width);
}
inline Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Calls recorded as text, in order, from whichever thread delivers them.
class CallRecorder {
public:
    CallRecorder() : m_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        InitializeCriticalSection(&m_lock);
    }
    ~CallRecorder() {
        CloseHandle(m_event);
        DeleteCriticalSection(&m_lock);
    }
    void Add(std::string call) {
        {
            CAutoLock guard(m_lock);
            m_calls.push_back(std::move(call));
        }
        SetEvent(m_event);
    }
    // Waits on the machine clock for at least n calls; returns what was recorded.
    std::vector<std::string> WaitFor(std::size_t n, DWORD timeoutMs = 10000) {
        const DWORD start = GetTickCount();
        for (;;) {
            {
                CAutoLock guard(m_lock);
                if (m_calls.size() >= n) return m_calls;
            }
            const DWORD spent = GetTickCount() - start;
            if (spent >= timeoutMs) break;
            WaitForSingleObject(m_event, timeoutMs - spent);
        }
        CAutoLock guard(m_lock);
        return m_calls;
    }

private:
    CRITICAL_SECTION m_lock;
    HANDLE m_event;
    std::vector<std::string> m_calls;
};

}  // namespace dmtest
