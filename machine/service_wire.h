// How a service's status and a list of names travel between a program and the machine server.
#pragma once

#include <string>
#include <vector>

#include <winsvc.h>
#include "machine/wire.h"

namespace sim::wire {

inline void PutStatus(Writer& w, const SERVICE_STATUS_PROCESS& s) {
    w.U32(s.dwServiceType).U32(s.dwCurrentState).U32(s.dwControlsAccepted);
    w.U32(s.dwWin32ExitCode).U32(s.dwServiceSpecificExitCode).U32(s.dwCheckPoint);
    w.U32(s.dwWaitHint).U32(s.dwProcessId).U32(s.dwServiceFlags);
}

inline bool GetStatus(Reader& r, SERVICE_STATUS_PROCESS& s) {
    std::uint32_t v[9];
    for (auto& x : v)
        if (!r.U32(x)) return false;
    s = SERVICE_STATUS_PROCESS{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
    return true;
}

inline void PutNames(Writer& w, const std::vector<std::wstring>& names) {
    w.U32(static_cast<std::uint32_t>(names.size()));
    for (const auto& n : names) w.Text(n);
}

// At most `limit` names: a count past what the payload can hold fails.
inline bool GetNames(Reader& r, std::vector<std::wstring>& names, std::uint32_t limit = 4096) {
    std::uint32_t count = 0;
    if (!r.U32(count) || count > limit) return false;
    names.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        std::wstring n;
        if (!r.Text(n)) return false;
        names.push_back(std::move(n));
    }
    return true;
}

}  // namespace sim::wire
