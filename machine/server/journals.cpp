// Journals: what each program wrote to its console and told a debugger, kept by process for the
// control client. Each is bounded: the console keeps its latest characters, the debugger its
// latest lines, each line cut to a length, so that a journal always fits one answer.
#include <deque>
#include <map>

#include <winbase.h>
#include "machine/server/core.h"

namespace sim::server {

namespace {

constexpr std::size_t kConsoleKept = 128 * 1024;  // characters
constexpr std::size_t kDebugLinesKept = 512;
constexpr std::size_t kDebugLineKept = 512;  // characters

}  // namespace

struct Journals {
    struct Journal {
        std::wstring console;
        std::deque<std::wstring> debug;
    };
    std::map<std::uint32_t, Journal> byPid;
};

void Core::OnJournal(Client& c, const wire::Frame& f, wire::Reader& r) {
    if (!journals_) journals_ = std::make_shared<Journals>();
    if (f.kind == wire::Kind::JournalAppend) {
        std::uint8_t stream = 0;
        std::wstring text;
        if (!r.U8(stream) || !r.Text(text) || !r.AtEnd() || (stream != 1 && stream != 2))
            return Reply(c, f.id, ERROR_INVALID_PARAMETER);
        // Only a program has a journal.
        if (PidOf(c) == 0) return Reply(c, f.id, ERROR_INVALID_OPERATION);
        Journals::Journal& j = journals_->byPid[PidOf(c)];
        if (stream == 1) {
            j.console += text;
            if (j.console.size() > kConsoleKept)
                j.console.erase(0, j.console.size() - kConsoleKept);
        } else {
            if (text.size() > kDebugLineKept) text.resize(kDebugLineKept);
            j.debug.push_back(std::move(text));
            if (j.debug.size() > kDebugLinesKept) j.debug.pop_front();
        }
        return Reply(c, f.id, 0);
    }
    std::uint32_t pid = 0;
    if (!r.U32(pid) || !r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    wire::Writer w;
    auto it = journals_->byPid.find(pid);
    if (it == journals_->byPid.end()) {
        w.Text(L"").U32(0);
    } else {
        w.Text(it->second.console).U32(static_cast<std::uint32_t>(it->second.debug.size()));
        for (const auto& line : it->second.debug) w.Text(line);
    }
    Reply(c, f.id, 0, w);
}

}  // namespace sim::server
