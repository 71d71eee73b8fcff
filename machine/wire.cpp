#include "machine/wire.h"

#include <cerrno>
#include <cstring>

#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

extern char** environ;

namespace sim::wire {

Writer& Writer::U8(std::uint8_t v) {
    out_ += static_cast<char>(v);
    return *this;
}

Writer& Writer::U16(std::uint16_t v) {
    out_ += static_cast<char>(v & 0xFF);
    out_ += static_cast<char>(v >> 8);
    return *this;
}

Writer& Writer::U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_ += static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
}

Writer& Writer::U64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out_ += static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
}

Writer& Writer::Text(const std::wstring& s) {
    std::vector<std::uint16_t> units;
    for (wchar_t wc : s) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            units.push_back(static_cast<std::uint16_t>(0xD800 | (c >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 | (c & 0x3FF)));
        } else {
            units.push_back(c > 0x10FFFF ? 0xFFFD : static_cast<std::uint16_t>(c));
        }
    }
    U32(static_cast<std::uint32_t>(units.size()));
    for (std::uint16_t u : units) U16(u);
    return *this;
}

Writer& Writer::Blob(const std::string& bytes) {
    U32(static_cast<std::uint32_t>(bytes.size()));
    out_ += bytes;
    return *this;
}

bool Reader::Blob(std::string& bytes) {
    std::uint32_t count;
    const char* p;
    if (!U32(count) || !Take(count, p)) return false;
    bytes.assign(p, count);
    return true;
}

bool Reader::Take(std::size_t n, const char*& p) {
    if (!ok_ || bytes_.size() - pos_ < n) return ok_ = false;
    p = bytes_.data() + pos_;
    pos_ += n;
    return true;
}

bool Reader::U8(std::uint8_t& v) {
    const char* p;
    if (!Take(1, p)) return false;
    v = static_cast<std::uint8_t>(p[0]);
    return true;
}

bool Reader::U16(std::uint16_t& v) {
    const char* p;
    if (!Take(2, p)) return false;
    v = static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                   (static_cast<unsigned char>(p[1]) << 8));
    return true;
}

bool Reader::U32(std::uint32_t& v) {
    const char* p;
    if (!Take(4, p)) return false;
    v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return true;
}

bool Reader::U64(std::uint64_t& v) {
    const char* p;
    if (!Take(8, p)) return false;
    v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return true;
}

bool Reader::I32(std::int32_t& v) {
    std::uint32_t u;
    if (!U32(u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
}

bool Reader::Text(std::wstring& s) {
    std::uint32_t count;
    if (!U32(count)) return false;
    if (count > (bytes_.size() - pos_) / 2) return ok_ = false;
    s.clear();
    s.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint16_t u = 0;
        U16(u);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < count) {
            std::uint16_t low = 0;
            U16(low);
            ++i;
            if (low >= 0xDC00 && low < 0xE000) {
                s += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                continue;
            }
            s += L'\uFFFD';
            u = low;
        }
        // A lone surrogate half stands for the replacement character.
        s += (u >= 0xD800 && u < 0xE000) ? L'\uFFFD' : static_cast<wchar_t>(u);
    }
    return ok_;
}

std::string Encode(const Frame& frame) {
    Writer w;
    w.U32(static_cast<std::uint32_t>(kHeaderSize - 4 + frame.payload.size()));
    w.U16(frame.version);
    w.U16(static_cast<std::uint16_t>(frame.kind));
    w.U32(frame.id);
    return w.Bytes() + frame.payload;
}

std::optional<Frame> FrameBuffer::Next() {
    if (broken_) return std::nullopt;
    if (buf_.size() - pos_ < 4) return std::nullopt;
    std::string head = buf_.substr(pos_, kHeaderSize);
    Reader r(head);
    std::uint32_t length = 0;
    r.U32(length);
    if (length < kHeaderSize - 4 || length > kMaxFrame) {
        broken_ = true;
        return std::nullopt;
    }
    if (buf_.size() - pos_ < 4 + static_cast<std::size_t>(length)) return std::nullopt;
    Frame f;
    std::uint16_t kind = 0;
    r.U16(f.version);
    r.U16(kind);
    r.U32(f.id);
    f.kind = static_cast<Kind>(kind);
    f.payload = buf_.substr(pos_ + kHeaderSize, length - (kHeaderSize - 4));
    pos_ += 4 + length;
    if (pos_ == buf_.size()) {
        buf_.clear();
        pos_ = 0;
    } else if (pos_ > 4096) {
        buf_.erase(0, pos_);
        pos_ = 0;
    }
    return f;
}

bool SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<Frame> ReadFrame(int fd, FrameBuffer& buffer) {
    for (;;) {
        if (auto f = buffer.Next()) return f;
        if (buffer.Broken()) return std::nullopt;
        char chunk[4096];
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        buffer.Append(chunk, static_cast<std::size_t>(n));
    }
}

}  // namespace sim::wire

namespace sim::wire {

std::string SocketPath(const std::string& folder) {
    return folder + "/server.sock";
}

int ConnectToFolder(const std::string& folder) {
    std::string path = SocketPath(folder);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return -1;
    std::strcpy(addr.sun_path, path.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int StartServer(const std::string& serverProgram, const std::string& folder, int* serverPid,
                const std::vector<std::string>& extraArgs) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
    // The server's end is inherited under its own number.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    std::vector<std::string> args = {serverProgram, folder, "--client-fd", "3"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, serverProgram.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (rc != 0) {
        ::close(pair[0]);
        return -1;
    }
    if (serverPid) *serverPid = pid;
    return pair[0];
}

std::optional<Frame> Call(int fd, FrameBuffer& buffer, Kind kind, std::uint32_t id,
                          const std::string& payload) {
    Frame f;
    f.kind = kind;
    f.id = id;
    f.payload = payload;
    if (!SendAll(fd, Encode(f))) return std::nullopt;
    for (;;) {
        auto in = ReadFrame(fd, buffer);
        if (!in) return std::nullopt;
        if (in->kind == Kind::Reply && in->id == id) return in;
    }
}

}  // namespace sim::wire
