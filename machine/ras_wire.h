// The RAS requests of the machine server's wire (wire::Kind::Ras) and what the server tells a
// program of its connections (wire::Kind::RasNews).
#pragma once

#include <cstdint>

#include "machine/ras.h"
#include "machine/wire.h"

namespace sim::wire {

// A Ras request is a u16 operation and its fields; what each answers follows the status.
enum class RasOp : std::uint16_t {
    // A program's.
    SetEntry = 1,     // text phone book, text name, entry
    DeleteEntry = 2,  // text phone book, text name; status: 0 or ERROR_CANNOT_FIND_PHONEBOOK_ENTRY
    GetEntry = 3,     // text phone book, text name; answer: entry (status 623 when none)
    Dial = 4,         // dial record; answer: u32 error, u32 handle (0: none), dial script, the
                      // journalled record, u32 hang-up time, u64 sent rate, u64 received rate
    Report = 5,       // line: a connection of the program changed (phase Gone: it is no more)
    HangUpCall = 6,   // u8 began a teardown
    Lines = 7,        // answer: u32 count, lines
    // The control client's.
    ScriptNextDial = 8,     // dial script
    SetDefaultScript = 9,   // dial script
    SetCounters = 10,       // u64 sent, u64 received: the current connection's; answer: u8 done
    SetTrafficRates = 11,   // u64 sent per second, u64 received per second
    DropLine = 12,          // u32 error; answer: u8 done
    SetHangUpTime = 13,     // u32 milliseconds
    Journal = 14,           // answer: u32 dials, u32 hang-ups, u32 hang-up calls, u32 count,
                            // dial records
};

// The most steps a dial script carries.
inline constexpr std::uint32_t kMaxDialSteps = 64;

// A RasNews push: u8 kind, u32 handle, u64 a, u64 b (RasNews).
void WriteNews(Writer& w, const RasNews& news);
bool ReadNews(Reader& r, RasNews& news);

// u32 step count, (u32 state, u32 delay) each, u8 end, u32 end delay, u32 notification error,
// u32 status error, u32 synchronous error, u8 handle despite it, u32 status error while
// dialling, u32 return delay.
void WriteScript(Writer& w, const DialScript& script);
bool ReadScript(Reader& r, DialScript& script);

// Texts phone book, entry, number, user, password, device; u64 tick.
void WriteDialRecord(Writer& w, const DialRecord& record);
bool ReadDialRecord(Reader& r, DialRecord& record);

// u32 size, bytes (the entry as written, `size` bytes at most sizeof(RASENTRYW)).
void WriteEntry(Writer& w, const RasEntryRecord& entry);
bool ReadEntry(Reader& r, RasEntryRecord& entry);

// u32 handle, u32 pid, u8 phase, u32 state, u32 status error, texts entry, device, number,
// u64 teardown end, connected at, sent base, received base, since, sent rate, received rate,
// u8 counting.
void WriteLine(Writer& w, const RasLine& line);
bool ReadLine(Reader& r, RasLine& line);
// A Lines answer: u32 count, lines. False when it is malformed (the lines before it are kept).
void WriteLines(Writer& w, const std::vector<RasLine>& lines);
bool ReadLines(Reader& r, std::vector<RasLine>& lines);

}  // namespace sim::wire
