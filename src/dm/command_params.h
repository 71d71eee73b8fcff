// A building block of the category commands: a parameter type that names its header. (A command
// whose only request parameter is one number is CDMParamCmd, in dm/service_call.h.)
#pragma once

#include <cstdint>

#include "dm/command.h"

template <std::uint8_t Category, std::uint16_t Sub>
struct DMCmdParamOf {
    static constexpr std::uint8_t kCategory = Category;
    static constexpr std::uint16_t kSubCommand = Sub;
};
