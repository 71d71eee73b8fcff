#include "machine/server/ras.h"

#include <winbase.h>
#include "machine/ras_wire.h"

namespace sim::server {

namespace {

std::uint32_t Bits(HRASCONN handle) {
    return static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(handle));
}

}  // namespace

RasHost::RasHost(std::function<std::uint64_t()> now) : now_(std::move(now)) {}

void RasHost::Purge() {
    const std::uint64_t now = now_();
    std::erase_if(lines_, [&](const auto& l) {
        return l.second.line.phase == RasPhase::TearingDown && now >= l.second.line.teardownEnd;
    });
}

RasHost::Owned* RasHost::Current() {
    Purge();
    for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
        if (it->second.line.phase != RasPhase::TearingDown) return &it->second;
    return lines_.empty() ? nullptr : &lines_.rbegin()->second;
}

void RasHost::Tell(int client, const RasNews& news) {
    wire::Writer w;
    wire::WriteNews(w, news);
    news_.emplace_back(client, w.Bytes());
}

std::vector<std::pair<int, std::string>> RasHost::TakeNews() {
    return std::exchange(news_, {});
}

void RasHost::Disconnect(int client) {
    std::erase_if(lines_, [&](const auto& l) { return l.second.client == client; });
}

std::uint32_t RasHost::Handle(int client, std::uint32_t pid, wire::Reader& r,
                              wire::Writer& reply) {
    using wire::RasOp;
    std::uint16_t op = 0;
    if (!r.U16(op)) return ERROR_INVALID_PARAMETER;
    switch (static_cast<RasOp>(op)) {
        case RasOp::SetEntry:
        case RasOp::DeleteEntry:
        case RasOp::GetEntry: {
            std::wstring phonebook, name;
            if (!r.Text(phonebook) || !r.Text(name) || name.empty()) return ERROR_INVALID_PARAMETER;
            if (static_cast<RasOp>(op) == RasOp::SetEntry) {
                RasEntryRecord entry;
                if (!wire::ReadEntry(r, entry) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
                book_.SetEntry(phonebook, name, entry);
                return 0;
            }
            if (!r.AtEnd()) return ERROR_INVALID_PARAMETER;
            if (static_cast<RasOp>(op) == RasOp::DeleteEntry)
                return book_.DeleteEntry(phonebook, name) ? 0 : ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
            auto entry = book_.Entry(phonebook, name);
            if (!entry) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
            wire::WriteEntry(reply, *entry);
            return 0;
        }
        case RasOp::Dial: {
            DialRecord record;
            if (!wire::ReadDialRecord(r, record) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
            record.tick = now_();
            RasBook::Begun begun = book_.BeginDial(record);
            reply.U32(begun.error).U32(Bits(begun.handle));
            wire::WriteScript(reply, begun.script);
            wire::WriteDialRecord(reply, record);
            reply.U32(book_.hangUpMs).U64(book_.sentRate).U64(book_.receivedRate);
            if (begun.handle) {
                // Known from the dial on, until the program reports it (or goes).
                Owned& o = lines_[Bits(begun.handle)];
                o.client = client;
                o.line.handle = begun.handle;
                o.line.pid = pid;
                o.line.entryName = record.entryName;
                o.line.deviceName = record.deviceName;
                o.line.phoneNumber = record.phoneNumber;
            }
            return 0;
        }
        case RasOp::Report: {
            RasLine line;
            if (!wire::ReadLine(r, line) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
            auto it = lines_.find(Bits(line.handle));
            if (it == lines_.end() || it->second.client != client) return ERROR_INVALID_HANDLE;
            if (line.phase == RasPhase::Gone) {
                lines_.erase(it);
                return 0;
            }
            line.pid = pid;
            it->second.line = line;
            return 0;
        }
        case RasOp::HangUpCall: {
            std::uint8_t began = 0;
            if (!r.U8(began) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
            ++book_.hangUpCalls;
            if (began) ++book_.hangUps;
            return 0;
        }
        case RasOp::Lines: {
            if (!r.AtEnd()) return ERROR_INVALID_PARAMETER;
            Purge();
            std::vector<RasLine> lines;
            for (const auto& [handle, o] : lines_) lines.push_back(o.line);
            wire::WriteLines(reply, lines);
            return 0;
        }
        case RasOp::ScriptNextDial:
        case RasOp::SetDefaultScript: {
            DialScript script;
            if (!wire::ReadScript(r, script) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
            if (static_cast<RasOp>(op) == RasOp::ScriptNextDial)
                book_.ScriptNextDial(script);
            else
                book_.SetDefaultScript(script);
            return 0;
        }
        case RasOp::SetCounters:
        case RasOp::SetTrafficRates: {
            std::uint64_t sent = 0, received = 0;
            if (!r.U64(sent) || !r.U64(received) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
            if (static_cast<RasOp>(op) == RasOp::SetTrafficRates) {
                book_.sentRate = sent;
                book_.receivedRate = received;
                Tell(kEveryProgram, {RasNews::Kind::Rates, nullptr, sent, received});
                return 0;
            }
            Owned* o = Current();
            if (o) Tell(o->client, {RasNews::Kind::Counters, o->line.handle, sent, received});
            reply.U8(o ? 1 : 0);
            return 0;
        }
        case RasOp::DropLine: {
            std::uint32_t error = 0;
            if (!r.U32(error) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
            Owned* o = Current();
            bool live = o && (o->line.phase == RasPhase::Connected ||
                              o->line.phase == RasPhase::Dialling);
            if (live) Tell(o->client, {RasNews::Kind::Drop, o->line.handle, error, 0});
            reply.U8(live ? 1 : 0);
            return 0;
        }
        case RasOp::SetHangUpTime: {
            std::uint32_t ms = 0;
            if (!r.U32(ms) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
            book_.hangUpMs = ms;
            return 0;
        }
        case RasOp::Journal: {
            if (!r.AtEnd()) return ERROR_INVALID_PARAMETER;
            reply.U32(static_cast<std::uint32_t>(book_.dials))
                .U32(static_cast<std::uint32_t>(book_.hangUps))
                .U32(static_cast<std::uint32_t>(book_.hangUpCalls))
                .U32(static_cast<std::uint32_t>(book_.dialRecords.size()));
            for (const DialRecord& d : book_.dialRecords) wire::WriteDialRecord(reply, d);
            return 0;
        }
    }
    return ERROR_INVALID_FUNCTION;
}

}  // namespace sim::server
