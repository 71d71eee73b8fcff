// The machine's keyboard: the United States layout.
#include <iterator>

#include "machine/window_input.h"

namespace sim {

namespace {

struct LayoutKey {
    UINT vk;
    wchar_t plain;
    wchar_t shifted;
};

// The keys that type a character, other than letters.
const LayoutKey kLayout[] = {
    {'0', L'0', L')'},          {'1', L'1', L'!'},           {'2', L'2', L'@'},
    {'3', L'3', L'#'},          {'4', L'4', L'$'},           {'5', L'5', L'%'},
    {'6', L'6', L'^'},          {'7', L'7', L'&'},           {'8', L'8', L'*'},
    {'9', L'9', L'('},          {VK_SPACE, L' ', L' '},      {VK_RETURN, L'\r', L'\r'},
    {VK_TAB, L'\t', L'\t'},     {VK_BACK, L'\b', L'\b'},     {VK_ESCAPE, 0x1B, 0x1B},
    {VK_OEM_1, L';', L':'},     {VK_OEM_PLUS, L'=', L'+'},   {VK_OEM_COMMA, L',', L'<'},
    {VK_OEM_MINUS, L'-', L'_'}, {VK_OEM_PERIOD, L'.', L'>'}, {VK_OEM_2, L'/', L'?'},
    {VK_OEM_3, L'`', L'~'},     {VK_OEM_4, L'[', L'{'},      {VK_OEM_5, L'\\', L'|'},
    {VK_OEM_6, L']', L'}'},     {VK_OEM_7, L'\'', L'"'},
};

}  // namespace

std::optional<wchar_t> CharOfKey(UINT vk, bool shift) {
    if (vk >= 'A' && vk <= 'Z') return static_cast<wchar_t>(shift ? vk : vk - 'A' + 'a');
    for (const LayoutKey& k : kLayout)
        if (k.vk == vk) return shift ? k.shifted : k.plain;
    return std::nullopt;
}

std::optional<std::pair<UINT, bool>> KeyOfChar(wchar_t ch) {
    if (ch >= L'a' && ch <= L'z') return std::pair<UINT, bool>{ch - L'a' + 'A', false};
    if (ch >= L'A' && ch <= L'Z') return std::pair<UINT, bool>{static_cast<UINT>(ch), true};
    if (ch == L'\n') ch = L'\r';
    for (const LayoutKey& k : kLayout) {
        if (k.plain == ch) return std::pair<UINT, bool>{k.vk, false};
        if (k.shifted == ch) return std::pair<UINT, bool>{k.vk, true};
    }
    return std::nullopt;
}

}  // namespace sim
