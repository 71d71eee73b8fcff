// The byte buffer in which every request to the modem is built and from which every reply and
// report is read. 16- and 32-bit fields follow the packet's byte order; raw byte reads do not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

class DMPacket;

// A read past the end of a packet's data. The text names the packet's counters:
// "DMPacket read failure. size:5 pos:4 maxSize:16 sizeRead:2".
class CDMPacketException : public std::exception {
public:
    explicit CDMPacketException(std::string message) : m_message(std::move(message)) {}
    // The failure of a sizeRead-byte read from the packet as it stands.
    CDMPacketException(const DMPacket& packet, std::uint32_t sizeRead);
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& Message() const { return m_message; }

private:
    std::string m_message;
};

class DMPacket {
public:
    // An empty packet (no buffer yet) in the given byte order: true = most significant byte
    // first.
    explicit DMPacket(bool bigEndian);
    // A packet holding a copy of n bytes, read from its start.
    DMPacket(bool bigEndian, const void* data, std::size_t n);
    ~DMPacket() = default;
    DMPacket(const DMPacket&) = delete;
    DMPacket& operator=(const DMPacket&) = delete;
    DMPacket(DMPacket&& other) noexcept;
    DMPacket& operator=(DMPacket&& other) noexcept;

    bool BigEndian() const { return m_bigEndian; }
    std::uint32_t Size() const { return m_size; }
    std::uint32_t Position() const { return m_position; }
    std::uint32_t Capacity() const { return m_capacity; }
    std::uint32_t Remaining() const { return m_size - m_position; }
    // The bytes written so far (null while nothing was ever allocated).
    const std::uint8_t* Data() const { return m_buffer.get(); }

    // Moves the read cursor; a position past the data raises std::out_of_range and moves
    // nothing.
    void SetPosition(std::uint32_t position);
    // Raises CDMPacketException (sizeRead n) unless at least n bytes remain to be read.
    void Require(std::uint32_t n) const;

    // Writing; each returns the packet. Append copies n bytes to the end; the capacity grows by
    // exactly n when the data does not fit. A size beyond 2^32 - 1 bytes is refused with
    // std::length_error, and a failed allocation raises std::bad_alloc; either way the packet
    // keeps its buffer, size, position and capacity.
    DMPacket& Append(const void* data, std::size_t n);
    DMPacket& WriteU8(std::uint8_t value);
    DMPacket& WriteU16(std::uint16_t value);
    DMPacket& WriteU32(std::uint32_t value);

    // Reading; each returns the packet and advances the position. ReadBytes copies the bytes as
    // they are, whatever the byte order. A read of more bytes than remain raises
    // CDMPacketException and leaves the position and the destination as they were.
    DMPacket& ReadBytes(void* destination, std::uint32_t n);
    DMPacket& ReadU8(std::uint8_t& out);
    DMPacket& ReadU16(std::uint16_t& out);
    DMPacket& ReadU32(std::uint32_t& out);

private:
    bool m_bigEndian;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::uint32_t m_size = 0;
    std::uint32_t m_position = 0;
    std::uint32_t m_capacity = 0;
};
