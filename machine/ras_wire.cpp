#include "machine/ras_wire.h"

#include <cstring>

namespace sim::wire {

namespace {

std::uint32_t HandleBits(HRASCONN handle) {
    return static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(handle));
}

HRASCONN FromBits(std::uint32_t bits) {
    return reinterpret_cast<HRASCONN>(static_cast<ULONG_PTR>(bits));
}

}  // namespace

void WriteNews(Writer& w, const RasNews& news) {
    w.U8(static_cast<std::uint8_t>(news.kind)).U32(HandleBits(news.handle)).U64(news.a).U64(news.b);
}

bool ReadNews(Reader& r, RasNews& news) {
    std::uint8_t kind = 0;
    std::uint32_t handle = 0;
    if (!r.U8(kind) || !r.U32(handle) || !r.U64(news.a) || !r.U64(news.b)) return false;
    if (kind < 1 || kind > 3) return false;
    news.kind = static_cast<RasNews::Kind>(kind);
    news.handle = FromBits(handle);
    return true;
}

void WriteScript(Writer& w, const DialScript& s) {
    w.U32(static_cast<std::uint32_t>(s.steps.size()));
    for (const RasStep& step : s.steps) w.U32(static_cast<std::uint32_t>(step.state)).U32(step.delayMs);
    w.U8(static_cast<std::uint8_t>(s.end)).U32(s.endDelayMs).U32(s.notifyError);
    w.U32(s.statusError).U32(s.syncError).U8(s.syncHandle ? 1 : 0).U32(s.dialStatusError);
    w.U32(s.returnDelayMs);
}

bool ReadScript(Reader& r, DialScript& s) {
    std::uint32_t count = 0;
    if (!r.U32(count) || count > kMaxDialSteps) return false;
    s.steps.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t state = 0, delay = 0;
        if (!r.U32(state) || !r.U32(delay) || state > RASCS_Disconnected) return false;
        s.steps.push_back({static_cast<RASCONNSTATE>(state), delay});
    }
    std::uint8_t end = 0, syncHandle = 0;
    if (!r.U8(end) || end > static_cast<std::uint8_t>(DialScript::End::FailSync) ||
        !r.U32(s.endDelayMs) || !r.U32(s.notifyError) || !r.U32(s.statusError) ||
        !r.U32(s.syncError) || !r.U8(syncHandle) || !r.U32(s.dialStatusError) ||
        !r.U32(s.returnDelayMs))
        return false;
    s.end = static_cast<DialScript::End>(end);
    s.syncHandle = syncHandle != 0;
    return true;
}

void WriteDialRecord(Writer& w, const DialRecord& d) {
    w.Text(d.phonebook).Text(d.entryName).Text(d.phoneNumber).Text(d.userName).Text(d.password);
    w.Text(d.deviceName).U64(d.tick);
}

bool ReadDialRecord(Reader& r, DialRecord& d) {
    return r.Text(d.phonebook) && r.Text(d.entryName) && r.Text(d.phoneNumber) &&
           r.Text(d.userName) && r.Text(d.password) && r.Text(d.deviceName) && r.U64(d.tick);
}

void WriteEntry(Writer& w, const RasEntryRecord& e) {
    w.U32(e.size);
    w.Blob(std::string(reinterpret_cast<const char*>(&e.entry), e.size));
}

bool ReadEntry(Reader& r, RasEntryRecord& e) {
    std::string bytes;
    if (!r.U32(e.size) || !r.Blob(bytes) || bytes.size() != e.size ||
        e.size > sizeof(RASENTRYW) || e.size < sizeof(DWORD))
        return false;
    std::memset(&e.entry, 0, sizeof e.entry);
    std::memcpy(&e.entry, bytes.data(), bytes.size());
    return true;
}

void WriteLine(Writer& w, const RasLine& l) {
    w.U32(HandleBits(l.handle)).U32(l.pid).U8(static_cast<std::uint8_t>(l.phase));
    w.U32(static_cast<std::uint32_t>(l.state)).U32(l.statusError);
    w.Text(l.entryName).Text(l.deviceName).Text(l.phoneNumber);
    w.U64(l.teardownEnd).U64(l.connectedAt).U64(l.sentBase).U64(l.receivedBase).U64(l.since);
    w.U64(l.sentRate).U64(l.receivedRate).U8(l.counting ? 1 : 0);
}

bool ReadLine(Reader& r, RasLine& l) {
    std::uint32_t handle = 0, state = 0;
    std::uint8_t phase = 0, counting = 0;
    if (!r.U32(handle) || !r.U32(l.pid) || !r.U8(phase) || !r.U32(state) ||
        !r.U32(l.statusError) || !r.Text(l.entryName) || !r.Text(l.deviceName) ||
        !r.Text(l.phoneNumber) || !r.U64(l.teardownEnd) || !r.U64(l.connectedAt) ||
        !r.U64(l.sentBase) || !r.U64(l.receivedBase) || !r.U64(l.since) || !r.U64(l.sentRate) ||
        !r.U64(l.receivedRate) || !r.U8(counting))
        return false;
    if (handle == 0 || phase > static_cast<std::uint8_t>(RasPhase::Gone) ||
        state > RASCS_Disconnected)
        return false;
    l.handle = FromBits(handle);
    l.phase = static_cast<RasPhase>(phase);
    l.state = static_cast<RASCONNSTATE>(state);
    l.counting = counting != 0;
    return true;
}

void WriteLines(Writer& w, const std::vector<RasLine>& lines) {
    w.U32(static_cast<std::uint32_t>(lines.size()));
    for (const RasLine& line : lines) WriteLine(w, line);
}

bool ReadLines(Reader& r, std::vector<RasLine>& lines) {
    std::uint32_t count = 0;
    if (!r.U32(count)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        RasLine line;
        if (!ReadLine(r, line)) return false;
        lines.push_back(line);
    }
    return true;
}

}  // namespace sim::wire
