// Small building blocks of the category commands: a parameter type that names its header, and a
// command whose only request parameter is one byte.
#pragma once

#include <cstdint>

#include "dm/command.h"

template <std::uint8_t Category, std::uint16_t Sub>
struct DMCmdParamOf {
    static constexpr std::uint8_t kCategory = Category;
    static constexpr std::uint16_t kSubCommand = Sub;
};

template <class P>
class CByteParamDMCmd : public CSimpleDMCmd<P> {
public:
    explicit CByteParamDMCmd(std::uint8_t value) : m_value(value) {}

protected:
    void WriteParams(DMPacket& packet) override { packet.WriteU8(m_value); }

private:
    std::uint8_t m_value;
};
