#include "dm/frame.h"

namespace {

void PutLE(std::vector<std::uint8_t>& out, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t GetLE(const std::uint8_t* p, int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) value |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return value;
}

bool KnownKind(std::uint8_t kind) {
    return kind >= static_cast<std::uint8_t>(DMFrameKind::Request) &&
           kind <= static_cast<std::uint8_t>(DMFrameKind::NotSupported);
}

}  // namespace

std::uint16_t DMFrameChecksum(const std::uint8_t* data, std::size_t n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
    }
    return crc;
}

bool EncodeDMFrame(const DMFrame& frame, std::vector<std::uint8_t>& out) {
    if (frame.payload.size() > kDMFrameMaxPayload) return false;
    const std::size_t start = out.size();
    out.reserve(start + kDMFrameOverhead + frame.payload.size());
    PutLE(out, static_cast<std::uint32_t>(frame.payload.size() + 5), 2);
    out.push_back(static_cast<std::uint8_t>(frame.kind));
    PutLE(out, frame.reportId, 4);
    out.insert(out.end(), frame.payload.begin(), frame.payload.end());
    PutLE(out, DMFrameChecksum(out.data() + start, out.size() - start), 2);
    return true;
}

std::vector<std::uint8_t> EncodeDMFrame(DMFrameKind kind, std::uint32_t reportId,
                                        const std::uint8_t* payload, std::size_t n) {
    DMFrame frame{kind, reportId, std::vector<std::uint8_t>(payload, payload + n)};
    std::vector<std::uint8_t> out;
    EncodeDMFrame(frame, out);
    return out;
}

int DMFrameDecoder::TakeOne(DMFrame& frame) {
    const std::uint8_t* p = m_buffer.data() + m_start;
    const std::size_t have = m_buffer.size() - m_start;
    if (have < 3) return 0;
    const std::size_t length = GetLE(p, 2);
    if (length < 5 || length > kDMFrameMaxLength || !KnownKind(p[2])) return -1;
    const std::size_t total = 2 + length + 2;
    if (have < total) return 0;
    if (GetLE(p + 2 + length, 2) != DMFrameChecksum(p, 2 + length)) return -1;
    frame.kind = static_cast<DMFrameKind>(p[2]);
    frame.reportId = GetLE(p + 3, 4);
    frame.payload.assign(p + 7, p + 2 + length);
    m_start += total;
    return 1;
}

void DMFrameDecoder::Compact() {
    if (m_start == 0) return;
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start));
    m_start = 0;
}

void DMFrameDecoder::Feed(const std::uint8_t* data, std::size_t n, const Sink& sink) {
    Compact();
    m_buffer.insert(m_buffer.end(), data, data + n);
    for (;;) {
        DMFrame frame;
        int taken = TakeOne(frame);
        if (taken == 0) break;
        if (taken < 0) {
            ++m_start;
            ++m_skipped;
            continue;
        }
        sink(std::move(frame));
    }
    Compact();
}
