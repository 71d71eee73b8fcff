// Colour values of the skins and the colour text syntax of the layout files.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace System::Docking {

// 32-bit ARGB: alpha in the top byte, then red, green, blue.
using ColorValue = std::uint32_t;

// The colour that stands for "no colour" (white with alpha 0).
constexpr ColorValue kNoColor = 0x00FFFFFF;

// The named colours (lower case, matched exactly); built once, read-only afterwards.
const std::map<std::wstring, ColorValue>& NamedColorTable();

// Reads a colour text: "#RRGGBB" (opaque) or "#RRGGBBAA", or a name of NamedColorTable. A
// character that is not a hex digit counts as 0; digits missing at the end of a short "#" text
// count as 0 (alpha stays opaque unless a seventh digit is present); an unknown name gives 0.
// The text ends at its first NUL character.
ColorValue ParseColor(const std::wstring& text);

}  // namespace System::Docking
