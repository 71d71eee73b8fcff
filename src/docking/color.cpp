#include "docking/color.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "support/platform_helpers.h"

namespace System::Docking {

const std::map<std::wstring, ColorValue>& NamedColorTable() {
    // Built once (thread-safe first use), never changed: a lookup never inserts.
    static const std::map<std::wstring, ColorValue> table = {
        {L"aliceblue", 0xFFF0F8FF},
        {L"antiquewhite", 0xFFFAEBD7},
        {L"aqua", 0xFF00FFFF},
        {L"aquamarine", 0xFF7FFFD4},
        {L"azure", 0xFFF0FFFF},
        {L"beige", 0xFFF5F5DC},
        {L"bisque", 0xFFFFE4C4},
        {L"black", 0xFF000000},
        {L"blanchedalmond", 0xFFFFEBCD},
        {L"blue", 0xFF0000FF},
        {L"blueviolet", 0xFF8A2BE2},
        {L"brown", 0xFFA52A2A},
        {L"burlywood", 0xFFDEB887},
        {L"cadetblue", 0xFF5F9EA0},
        {L"chartreuse", 0xFF7FFF00},
        {L"chocolate", 0xFFD2691E},
        {L"coral", 0xFFFF7F50},
        {L"cornflowerblue", 0xFF6495ED},
        {L"cornsilk", 0xFFFFF8DC},
        {L"crimson", 0xFFDC143C},
        {L"cyan", 0xFF00FFFF},
        {L"darkblue", 0xFF00008B},
        {L"darkcyan", 0xFF008B8B},
        {L"darkgoldenrod", 0xFFB8860B},
        {L"darkgray", 0xFFA9A9A9},
        {L"darkgreen", 0xFF006400},
        {L"darkkhaki", 0xFFBDB76B},
        {L"darkmagenta", 0xFF8B008B},
        {L"darkolivegreen", 0xFF556B2F},
        {L"darkorange", 0xFFFF8C00},
        {L"darkorchid", 0xFF9932CC},
        {L"darkred", 0xFF8B0000},
        {L"darksalmon", 0xFFE9967A},
        {L"darkseagreen", 0xFF8FBC8F},
        {L"darkslateblue", 0xFF483D8B},
        {L"darkslategray", 0xFF2F4F4F},
        {L"darkturquoise", 0xFF00CED1},
        {L"darkviolet", 0xFF9400D3},
        {L"deeppink", 0xFFFF1493},
        {L"deepskyblue", 0xFF00BFFF},
        {L"dimgray", 0xFF696969},
        {L"dodgerblue", 0xFF1E90FF},
        {L"firebrick", 0xFFB22222},
        {L"floralwhite", 0xFFFFFAF0},
        {L"forestgreen", 0xFF228B22},
        {L"fuchsia", 0xFFFF00FF},
        {L"gainsboro", 0xFFDCDCDC},
        {L"ghostwhite", 0xFFF8F8FF},
        {L"gold", 0xFFFFD700},
        {L"goldenrod", 0xFFDAA520},
        {L"gray", 0xFF808080},
        {L"green", 0xFF008000},
        {L"greenyellow", 0xFFADFF2F},
        {L"honeydew", 0xFFF0FFF0},
        {L"hotpink", 0xFFFF69B4},
        {L"indianred", 0xFFCD5C5C},
        {L"indigo", 0xFF4B0082},
        {L"ivory", 0xFFFFFFF0},
        {L"khaki", 0xFFF0E68C},
        {L"lavender", 0xFFE6E6FA},
        {L"lavenderblush", 0xFFFFF0F5},
        {L"lawngreen", 0xFF7CFC00},
        {L"lemonchiffon", 0xFFFFFACD},
        {L"lightblue", 0xFFADD8E6},
        {L"lightcoral", 0xFFF08080},
        {L"lightcyan", 0xFFE0FFFF},
        {L"lightgoldenrodyellow", 0xFFFAFAD2},
        {L"lightgray", 0xFFD3D3D3},
        {L"lightgreen", 0xFF90EE90},
        {L"lightpink", 0xFFFFB6C1},
        {L"lightsalmon", 0xFFFFA07A},
        {L"lightseagreen", 0xFF20B2AA},
        {L"lightskyblue", 0xFF87CEFA},
        {L"lightslategray", 0xFF778899},
        {L"lightsteelblue", 0xFFB0C4DE},
        {L"lightyellow", 0xFFFFFFE0},
        {L"lime", 0xFF00FF00},
        {L"limegreen", 0xFF32CD32},
        {L"linen", 0xFFFAF0E6},
        {L"magenta", 0xFFFF00FF},
        {L"maroon", 0xFF800000},
        {L"mediumaquamarine", 0xFF66CDAA},
        {L"mediumblue", 0xFF0000CD},
        {L"mediumorchid", 0xFFBA55D3},
        {L"mediumpurple", 0xFF9370DB},
        {L"mediumseagreen", 0xFF3CB371},
        {L"mediumslateblue", 0xFF7B68EE},
        {L"mediumspringgreen", 0xFF00FA9A},
        {L"mediumturquoise", 0xFF48D1CC},
        {L"mediumvioletred", 0xFFC71585},
        {L"midnightblue", 0xFF191970},
        {L"mintcream", 0xFFF5FFFA},
        {L"mistyrose", 0xFFFFE4E1},
        {L"moccasin", 0xFFFFE4B5},
        {L"navajowhite", 0xFFFFDEAD},
        {L"navy", 0xFF000080},
        {L"oldlace", 0xFFFDF5E6},
        {L"olive", 0xFF808000},
        {L"olivedrab", 0xFF6B8E23},
        {L"orange", 0xFFFFA500},
        {L"orangered", 0xFFFF4500},
        {L"orchid", 0xFFDA70D6},
        {L"palegoldenrod", 0xFFEEE8AA},
        {L"palegreen", 0xFF98FB98},
        {L"paleturquoise", 0xFFAFEEEE},
        {L"palevioletred", 0xFFDB7093},
        {L"papayawhip", 0xFFFFEFD5},
        {L"peachpuff", 0xFFFFDAB9},
        {L"peru", 0xFFCD853F},
        {L"pink", 0xFFFFC0CB},
        {L"plum", 0xFFDDA0DD},
        {L"powderblue", 0xFFB0E0E6},
        {L"purple", 0xFF800080},
        {L"red", 0xFFFF0000},
        {L"rosybrown", 0xFFBC8F8F},
        {L"royalblue", 0xFF4169E1},
        {L"saddlebrown", 0xFF8B4513},
        {L"salmon", 0xFFFA8072},
        {L"sandybrown", 0xFFF4A460},
        {L"seagreen", 0xFF2E8B57},
        {L"seashell", 0xFFFFF5EE},
        {L"sienna", 0xFFA0522D},
        {L"silver", 0xFFC0C0C0},
        {L"skyblue", 0xFF87CEEB},
        {L"slateblue", 0xFF6A5ACD},
        {L"slategray", 0xFF708090},
        {L"snow", 0xFFFFFAFA},
        {L"springgreen", 0xFF00FF7F},
        {L"steelblue", 0xFF4682B4},
        {L"tan", 0xFFD2B48C},
        {L"teal", 0xFF008080},
        {L"thistle", 0xFFD8BFD8},
        {L"tomato", 0xFFFF6347},
        {L"transparent", 0x00FFFFFF},
        {L"turquoise", 0xFF40E0D0},
        {L"violet", 0xFFEE82EE},
        {L"wheat", 0xFFF5DEB3},
        {L"white", 0xFFFFFFFF},
        {L"whitesmoke", 0xFFF5F5F5},
        {L"yellow", 0xFFFFFF00},
        {L"yellowgreen", 0xFF9ACD32},
    };
    return table;
}

ColorValue ParseColor(const std::wstring& text) {
    std::wstring_view s(text.c_str());  // up to the first NUL
    if (!s.empty() && s[0] == L'#') {
        // Past the end every position reads as the terminator.
        auto at = [&](std::size_t i) -> wchar_t { return i < s.size() ? s[i] : L'\0'; };
        // A character that is not a hex digit counts as 0.
        auto digit = [](wchar_t c) { return std::max(0, HexDigitValue(c)); };
        auto pair = [&](std::size_t i) -> ColorValue {
            return static_cast<ColorValue>(digit(at(i)) * 16 + digit(at(i + 1)));
        };
        ColorValue alpha = at(7) == L'\0' ? 0xFF : pair(7);
        return alpha << 24 | pair(1) << 16 | pair(3) << 8 | pair(5);
    }
    const auto& table = NamedColorTable();
    auto it = table.find(std::wstring(s));
    return it == table.end() ? 0 : it->second;
}

}  // namespace System::Docking
