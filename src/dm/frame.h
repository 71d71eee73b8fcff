// The device link's frames. Every message on the link, in either direction, is one frame:
//
//   length   2 bytes, least significant first: the bytes from kind to the end of the payload
//   kind     1 byte (DMFrameKind)
//   report   4 bytes, least significant first: the report id of a report frame, 0 otherwise
//   payload  length - 5 bytes
//   check    2 bytes, least significant first: CRC-16 (polynomial 0x1021, start 0xFFFF) over
//            length, kind, report and payload
//
// The frame fields keep this fixed order whatever byte order the packets inside use. A request
// payload is the command's packet (code first); a reply payload starts with the code it answers; a
// not-supported payload echoes the request's first bytes (code, category, sub-command).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

enum class DMFrameKind : std::uint8_t {
    Request = 1,
    Reply = 2,
    Report = 3,
    NotSupported = 4,
};

struct DMFrame {
    DMFrameKind kind = DMFrameKind::Request;
    std::uint32_t reportId = 0;
    std::vector<std::uint8_t> payload;
};

constexpr std::size_t kDMFrameOverhead = 2 + 1 + 4 + 2;
// The largest length field: every request, reply and report fits well within it, and a length
// damaged on the line holds the decoder back by at most this many bytes before it resynchronises.
constexpr std::size_t kDMFrameMaxLength = 4096;
constexpr std::size_t kDMFrameMaxPayload = kDMFrameMaxLength - 5;

std::uint16_t DMFrameChecksum(const std::uint8_t* data, std::size_t n);

// Encodes one frame onto the end of `out`. False (and `out` unchanged) when the payload is too
// large for the length field.
bool EncodeDMFrame(const DMFrame& frame, std::vector<std::uint8_t>& out);
std::vector<std::uint8_t> EncodeDMFrame(DMFrameKind kind, std::uint32_t reportId,
                                        const std::uint8_t* payload, std::size_t n);

// Decodes a byte stream that arrives in pieces of any size. Bytes that cannot start a valid frame
// (a length below 5 or above kDMFrameMaxLength, an unknown kind, a wrong check) are skipped one at
// a time, so that the decoder finds the next frame boundary after line noise. What stays buffered
// between calls is always less than one whole frame.
class DMFrameDecoder {
public:
    using Sink = std::function<void(DMFrame&&)>;

    // Calls `sink` for every complete frame, in order. An exception from `sink` propagates after
    // the frame has been consumed; the bytes after it stay buffered for the next call.
    void Feed(const std::uint8_t* data, std::size_t n, const Sink& sink);

    // Bytes skipped as noise since construction.
    std::size_t SkippedBytes() const { return m_skipped; }
    std::size_t Buffered() const { return m_buffer.size() - m_start; }

private:
    // One frame from the buffer's front into `frame`: 1 done, 0 more bytes needed, -1 noise.
    int TakeOne(DMFrame& frame);
    void Compact();

    std::vector<std::uint8_t> m_buffer;
    std::size_t m_start = 0;
    std::size_t m_skipped = 0;
};
