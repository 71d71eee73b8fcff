#include "dm/packet.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

CDMPacketException::CDMPacketException(const DMPacket& packet, std::uint32_t sizeRead)
    : m_message("DMPacket read failure. size:" + std::to_string(packet.Size()) +
                " pos:" + std::to_string(packet.Position()) + " maxSize:" +
                std::to_string(packet.Capacity()) + " sizeRead:" + std::to_string(sizeRead)) {}

DMPacket::DMPacket(bool bigEndian) : m_bigEndian(bigEndian) {}

DMPacket::DMPacket(bool bigEndian, const void* data, std::size_t n) : m_bigEndian(bigEndian) {
    Append(data, n);
}

DMPacket::DMPacket(DMPacket&& other) noexcept
    : m_bigEndian(other.m_bigEndian),
      m_buffer(std::move(other.m_buffer)),
      m_size(other.m_size),
      m_position(other.m_position),
      m_capacity(other.m_capacity) {
    other.m_size = other.m_position = other.m_capacity = 0;
}

DMPacket& DMPacket::operator=(DMPacket&& other) noexcept {
    if (this != &other) {
        m_bigEndian = other.m_bigEndian;
        m_buffer = std::move(other.m_buffer);
        m_size = other.m_size;
        m_position = other.m_position;
        m_capacity = other.m_capacity;
        other.m_size = other.m_position = other.m_capacity = 0;
    }
    return *this;
}

void DMPacket::SetPosition(std::uint32_t position) {
    if (position > m_size) throw std::out_of_range("DMPacket position past the data");
    m_position = position;
}

void DMPacket::Require(std::uint32_t n) const {
    if (m_size - m_position < n) throw CDMPacketException(*this, n);
}

DMPacket& DMPacket::Append(const void* data, std::size_t n) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    if (n == 0) return *this;
    if (static_cast<std::uint64_t>(n) > kMax - m_size)
        throw std::length_error("DMPacket size would pass 4294967295 bytes");
    const auto count = static_cast<std::uint32_t>(n);
    if (m_size + count > m_capacity) {
        // The capacity grows by exactly n; where that passes the 32-bit limit it is the new size.
        std::uint64_t grown = static_cast<std::uint64_t>(m_capacity) + count;
        if (grown > kMax) grown = static_cast<std::uint64_t>(m_size) + count;
        // Allocate first: a failure leaves the packet as it was.
        std::unique_ptr<std::uint8_t[]> fresh(new std::uint8_t[grown]);
        if (m_size != 0) std::memcpy(fresh.get(), m_buffer.get(), m_size);
        m_buffer = std::move(fresh);
        m_capacity = static_cast<std::uint32_t>(grown);
    }
    std::memcpy(m_buffer.get() + m_size, data, count);
    m_size += count;
    return *this;
}

DMPacket& DMPacket::WriteU8(std::uint8_t value) {
    return Append(&value, 1);
}

DMPacket& DMPacket::WriteU16(std::uint16_t value) {
    std::uint8_t b[2];
    if (m_bigEndian) {
        b[0] = static_cast<std::uint8_t>(value >> 8);
        b[1] = static_cast<std::uint8_t>(value);
    } else {
        b[0] = static_cast<std::uint8_t>(value);
        b[1] = static_cast<std::uint8_t>(value >> 8);
    }
    return Append(b, 2);
}

DMPacket& DMPacket::WriteU32(std::uint32_t value) {
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i) {
        const int shift = m_bigEndian ? 24 - 8 * i : 8 * i;
        b[i] = static_cast<std::uint8_t>(value >> shift);
    }
    return Append(b, 4);
}

DMPacket& DMPacket::ReadBytes(void* destination, std::uint32_t n) {
    Require(n);
    if (n != 0) std::memcpy(destination, m_buffer.get() + m_position, n);
    m_position += n;
    return *this;
}

DMPacket& DMPacket::ReadU8(std::uint8_t& out) {
    Require(1);
    out = m_buffer[m_position++];
    return *this;
}

DMPacket& DMPacket::ReadU16(std::uint16_t& out) {
    Require(2);
    const std::uint8_t* p = m_buffer.get() + m_position;
    out = m_bigEndian ? static_cast<std::uint16_t>((p[0] << 8) | p[1])
                      : static_cast<std::uint16_t>((p[1] << 8) | p[0]);
    m_position += 2;
    return *this;
}

DMPacket& DMPacket::ReadU32(std::uint32_t& out) {
    Require(4);
    const std::uint8_t* p = m_buffer.get() + m_position;
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const int index = m_bigEndian ? i : 3 - i;
        v = (v << 8) | p[index];
    }
    out = v;
    m_position += 4;
    return *this;
}
