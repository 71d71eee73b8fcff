// The machine server's wire format. A frame is a 32-bit little-endian length (of what follows),
// then the protocol version (16 bits), the message kind (16 bits), the request id (32 bits) and
// the payload. Payloads are plain data: integers little-endian, text as a 32-bit count of UTF-16
// code units and the units (little-endian, surrogate pairs for characters past the BMP).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim::wire {

inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 12;  // length, version, kind, request id
inline constexpr std::uint32_t kMaxFrame = 1u << 20;
inline constexpr std::uint64_t kNever = UINT64_MAX;  // a wait without a deadline

enum class Kind : std::uint16_t {
    // Client to server. Every request but Idle, Exit and ThreadEnded is answered by a Reply with
    // its id.
    Hello = 1,      // u16 role, u32 host pid, u32 machine pid (0: none given), text program
    Ping = 2,       //
    Idle = 3,       // u64 messages seen, u64 earliest deadline (no reply)
    Exit = 4,       // u32 exit code (no reply)
    CreateNamed = 5,  // u16 object kind, text name, u32 thread, i32 a, i32 b
    OpenNamed = 6,    // u16 object kind, text name
    Wait = 7,         // u32 thread, u8 all, u64 deadline, u32 count, count x u32 handle
    Signal = 8,       // u16 operation, u32 handle, u32 thread, i32 count
    Close = 9,        // u32 handle
    Spawn = 10,       // text image, text command line, text user, text desktop, u16 show,
                      // u8 use show, text host stdout path ("" inherit); answer: u32 pid,
                      // u32 host pid, u32 handle of the process (waitable: signalled once ended)
    RegisterProgram = 11,  // text image file name, text host executable
    Processes = 12,        // answer: u32 count, count x (u32 pid, u32 host pid, text image,
                           // text command line, text user, u8 running, u32 exit code)
    WaitProcess = 13,      // u32 machine pid, u64 deadline
    Now = 14,              //
    Stop = 15,             //
    Terminate = 16,        // u32 machine pid, u32 exit code
    ExitCode = 17,         // u32 process handle; answer: u32 exit code (STILL_ACTIVE: running)
    Registry = 18,         // u16 operation, text canonical key path, text value name, u32 type,
                           // bytes data; answer: see RegistryOp
    HoldClock = 19,        // u8 hold: whether a control client keeps the clock still while it
                           // waits for nothing of the server's (it does from its hello on)
    ThreadEnded = 20,      // u32 thread: a thread of the program ended (no reply); mutexes of
                           // the server's that it owned are abandoned
    AddProcess = 21,       // text image, text user, text desktop: a process that runs nothing
                           // (the user's shell); answer: u32 pid
    OpenProcess = 22,      // u32 pid; answer: u32 handle of the running process, text its user
    Devices = 0x20,        // u16 operation and its fields (machine/device_wire.h)
    // The service control manager (machine/server/services.h). A status is 9 x u32: type, state,
    // controls accepted, Win32 exit code, service exit code, check point, wait hint, process id,
    // flags. Dependencies are a u32 count and the texts.
    ScCreate = 0x40,        // text name, text display name, u32 type, u32 start type, u32 error
                            // control, text binary path, dependencies, text account
    ScOpen = 0x41,          // text name: counts a handle of the client's
    ScClose = 0x42,         // text name
    ScQuery = 0x43,         // text name; answer: status
    ScChangeConfig = 0x44,  // text name, u32 type, u32 start type, u32 error control, u8 has
                            // binary path, text, u8 has display name, text, u8 has dependencies,
                            // dependencies
    ScDelete = 0x45,        // text name
    ScStart = 0x46,         // text name; answered once the service's dispatcher has connected
    ScControl = 0x47,       // text name, u32 control, u32 event type; answered once the
                            // handler has returned: status
    ScDependents = 0x48,    // text name, u32 state filter; answer: u32 count, count x (text
                            // name, text display name, status)
    ScWho = 0x49,           // answer: text the service the calling process was started for
    ScConnect = 0x4A,       // text name; answer: u32 launch (the status handle)
    ScSetStatus = 0x4B,     // u32 launch, status with the process id and flags ignored
    ScControlDone = 0x4C,   // u32 control sequence number, u32 the handler's result
    ScInfo = 0x4D,          // text name; answer: status, text binary path, text account, u32
                            // start type, u8 marked for delete, u32 count, count x u32 every
                            // state it had since its last start
    ScWaitState = 0x4E,     // text name, u32 state, u64 time-out (ms); answer: u32 the state
                            // (status WAIT_TIMEOUT at the time-out)
    // Windows and message boxes between processes (machine/server/windows.h). Notes from a
    // program about its own top-level windows (no reply):
    WindowAdded = 0x60,    // u64 window, u32 thread, text class, text title, u8 visible
    WindowChanged = 0x61,  // u64 window, text title, u8 visible
    WindowPlaced = 0x62,   // u64 window, u64 the window now directly above it (0: on top)
    WindowRemoved = 0x63,  // u64 window
    SentDone = 0x64,       // u32 id of a SentMessage, u64 its result
    // Requests:
    FindWindow = 0x68,   // u8 has class, text class, u8 has title, text title; answer: u64 window
    WindowInfo = 0x69,   // u64 window; answer: see WindowEntry
    PostWindow = 0x6A,   // u64 window, u32 message, u64 wParam, u64 lParam
    SendWindow = 0x6B,   // u64 window, u32 message, u64 wParam, u64 lParam, u8 copy data,
                         // u64 dwData, bytes; answered once the window's thread has handled it:
                         // u64 result (0 when the window's process ended first)
    Windows = 0x6C,      // answer: u32 count, count x WindowEntry, topmost first
    WatchWindow = 0x6D,  // text title, u32 count, u32 event handle: the event is set once
                         // `count` top-level windows of that title (case ignored) exist
    ShowBox = 0x70,      // text caption, text text, u32 type, u64 owner; answer: i32 the
                         // button's id, u32 after how many milliseconds
    ScriptBox = 0x71,    // i32 answer, u32 after milliseconds
    BoxJournal = 0x72,   // answer: u32 count, count x (u32 pid, text caption, text text,
                         // u32 type, i32 answer)
    // Waits that mix the server's objects with a program's own (kernel engineer's range).
    WaitPeek = 0x80,    // u32 thread, u8 all, u32 count, count x u32 handle; answered (u32 index)
                        // once such a wait would be satisfied, taking nothing; no time-out
    CancelPeek = 0x81,  // u32 id of a WaitPeek: a peek still pending is answered
                        // ERROR_INVALID_OPERATION
    Take = 0x82,        // as WaitPeek, but takes at once what such a wait would take; answer:
                        // u32 WAIT_OBJECT_0 + i, WAIT_ABANDONED + i or WAIT_TIMEOUT (nothing taken)
    GiveBack = 0x83,    // u32 thread: gives back what the thread's last Take took
    Configure = 0x84,   // the machine's configuration (machine/config_wire.h), before any program
                        // runs (else ERROR_INVALID_OPERATION); the hello answer ends with it
                        // (blob: empty when none was set)
    // The files' share table: host paths (inside the machine folder) as UTF-8 blobs.
    FileOpen = 0x85,    // blob host path, u32 access, u32 share; answer: u32 open id, or
                        // ERROR_SHARING_VIOLATION when an open of another's conflicts
    FileClose = 0x86,   // u32 open id
    FileDelete = 0x87,  // blob host path: deletes the file unless an open does not share deletion
                        // (ERROR_SHARING_VIOLATION); ERROR_ACCESS_DENIED outside the folder
    // Journals: what each program wrote to its console and told a debugger.
    JournalAppend = 0x88,  // u8 stream (1 console, 2 debugger), text
    Journal = 0x89,        // u32 machine pid; answer: text console, u32 count, count x text
                           // debugger line (the latest ones when there were many)
    Ras = 0xA0,            // u16 operation and its fields (machine/ras_wire.h)
    // The screen and input across processes (machine/server/screen.h). Requests of a control
    // client:
    ScreenPng = 0xB0,    // answer: blob the composed screen as a PNG file's bytes
    ScreenPixel = 0xB1,  // i32 x, i32 y; answer: u32 0x00RRGGBB of the composed screen there
    InjectInput = 0xB2,  // u8 InputOp, u8 button (0 left, 1 right), i32 x, i32 y, u32 key;
                         // answer: u32 pid of the process the input went to
    TrayIcons = 0xB3,    // answer: u32 count, count x (u32 pid, u64 owner, u32 id, u8 has
                         // callback, text tip, u8 has balloon, text balloon title, text
                         // balloon text), in the order they were added
    TrayClick = 0xB4,    // u64 owner, u32 id, u8 TrayClick (0 left, 1 double, 2 right)
    // Notes from a program answering LayersWanted (no reply):
    LayerBand = 0xB8,   // u32 gather, u64 window, u32 width, u32 height, u32 first row, blob
                        // rows of premultiplied 0xAARRGGBB pixels (width x 4 bytes a row)
    LayersDone = 0xB9,  // u32 gather, u32 count, count x (u64 window, i32 left, top, right,
                        // bottom, u8 alpha, u8 passes clicks at the gather's point): the
                        // program's visible top-level windows
    // Notes from a program about its notification-area icons (no reply):
    TrayIconSet = 0xBA,   // u64 owner, u32 id, u8 has callback, text tip, u8 has balloon, text
                          // balloon title, text balloon text: added or changed
    TrayIconGone = 0xBB,  // u64 owner, u32 id
    // Server to client.
    Reply = 0x100,  // u32 status (0 or an error code), then what the request gives back
    Time = 0x101,   // u64 the machine clock's new reading
    DeviceTree = 0x120,  // the device tree after a change (machine/device_wire.h), to programs
    ScControlPush = 0x140,  // u32 sequence number, u32 control, u32 event type, bytes data: a
                            // control for the service the process runs
    // Messages for a program's window from another process:
    PostedMessage = 0x160,  // u64 window, u32 message, u64 wParam, u64 lParam
    SentMessage = 0x161,    // frame id: the message's id; then as SendWindow. The program answers
                            // with SentDone.
    RasNews = 0x1A0,     // what the control client asks of a program's connection (ras_wire.h)
    // The screen and input (machine/remote_screen.h):
    LayersWanted = 0x1B0,  // frame id: the gather; u8 with pictures, i32 x, i32 y: the point a
                           // mouse input is for. The program answers with
                           // LayerBand notes (with pictures) and one LayersDone
    InputEvent = 0x1B1,    // u8 InputOp, u8 button, i32 x, i32 y, u32 key
    TrayClicked = 0x1B2,   // u64 owner, u32 id, u8 TrayClick: the shell's click on the icon
};
enum class InputOp : std::uint8_t {
    Move = 0,
    Press = 1,
    Release = 2,
    Click = 3,
    DoubleClick = 4,
    KeyDown = 5,
    KeyUp = 6,
    Key = 7,  // down and up
};
// A WindowEntry: u64 window, u32 pid, u32 thread, text class, text title, u8 visible.

enum class Role : std::uint16_t { Program = 1, Control = 2 };
enum class ObjectKind : std::uint16_t { Event = 1, Semaphore = 2, Mutex = 3, Process = 4 };
enum class SignalOp : std::uint16_t { SetEvent = 1, ResetEvent = 2, ReleaseSemaphore = 3,
                                      ReleaseMutex = 4 };

// Registry operations and what each answers after the status.
enum class RegistryOp : std::uint16_t {
    CreateKey = 1,    // u8 done, u8 created
    KeyExists = 2,    // u8 exists
    DeleteKey = 3,    // u8 done
    SetValue = 4,     // u8 done
    GetValue = 5,     // u8 found, u32 type, bytes data
    DeleteValue = 6,  // u32 result (0, ERROR_FILE_NOT_FOUND, ERROR_KEY_DELETED)
    SubKeys = 7,      // u32 count, count x text
    ValueNames = 8,   // u32 count, count x text
};

struct Frame {
    std::uint16_t version = kVersion;
    Kind kind = Kind::Ping;
    std::uint32_t id = 0;
    std::string payload;
};

// Builds a payload.
class Writer {
public:
    Writer& U8(std::uint8_t v);
    Writer& U16(std::uint16_t v);
    Writer& U32(std::uint32_t v);
    Writer& U64(std::uint64_t v);
    Writer& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
    Writer& Text(const std::wstring& s);
    Writer& Blob(const std::string& bytes);  // a 32-bit count and the bytes
    const std::string& Bytes() const { return out_; }

private:
    std::string out_;
};

// Reads a payload; every getter fails (false) past its end or on a malformed text, and then
// stays failed.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    explicit Reader(std::string&&) = delete;  // it keeps a reference to the bytes
    bool U8(std::uint8_t& v);
    bool U16(std::uint16_t& v);
    bool U32(std::uint32_t& v);
    bool U64(std::uint64_t& v);
    bool I32(std::int32_t& v);
    bool Text(std::wstring& s);
    bool Blob(std::string& bytes);
    bool Ok() const { return ok_; }
    bool AtEnd() const { return ok_ && pos_ == bytes_.size(); }

private:
    bool Take(std::size_t n, const char*& p);
    const std::string& bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// The frame's bytes, length included.
std::string Encode(const Frame& frame);

// Cuts a byte stream into frames. A length below the header or above kMaxFrame breaks the stream
// (the peer is out of step and is dropped).
class FrameBuffer {
public:
    void Append(const char* data, std::size_t n) { buf_.append(data, n); }
    // The next whole frame, if one has arrived.
    std::optional<Frame> Next();
    bool Broken() const { return broken_; }
    // Bytes received but not yet a whole frame (a socket closed now cut a request short).
    bool Partial() const { return buf_.size() > pos_; }

private:
    std::string buf_;
    std::size_t pos_ = 0;
    bool broken_ = false;
};

// Writes the whole buffer to a blocking socket; false when the peer is gone.
bool SendAll(int fd, const std::string& bytes);
// Reads the next frame from a blocking socket into buffer; nullopt when the peer has gone or the
// stream broke.
std::optional<Frame> ReadFrame(int fd, FrameBuffer& buffer);

}  // namespace sim::wire

namespace sim::wire {

// The socket of a machine folder.
std::string SocketPath(const std::string& folder);
// Connects to the server of the folder; -1 when none answers there.
int ConnectToFolder(const std::string& folder);
// Starts `serverProgram` for the folder with a socket pair whose other end is its first client;
// returns this end (-1 on failure) and the server's host pid.
int StartServer(const std::string& serverProgram, const std::string& folder, int* serverPid,
                const std::vector<std::string>& extraArgs = {});
// Sends a request and reads frames until its answer (frames meanwhile are skipped); nullopt
// when the peer has gone. For clients that do nothing else meanwhile.
std::optional<Frame> Call(int fd, FrameBuffer& buffer, Kind kind, std::uint32_t id,
                          const std::string& payload);

}  // namespace sim::wire
