#include "docking/style.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include <corecrt.h>

namespace System::Docking {

std::map<std::wstring, std::wstring> ParseStyleText(const std::wstring& whole) {
    std::wstring_view text(whole.c_str());  // up to the first NUL
    std::map<std::wstring, std::wstring> pairs;
    std::wstring name;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        if (text[i] != L':') {
            name += text[i++];
            continue;
        }
        std::wstring& value = pairs[name];
        ++i;
        if (i < n && text[i] == L'(') {
            // Up to the first ')' (or the end), then the character after the ')' is skipped.
            std::size_t close = text.find(L')', i + 1);
            std::size_t end = close == std::wstring_view::npos ? n : close;
            value.append(text.substr(i + 1, end - i - 1));
            i = std::min(n, end + 2);
        } else {
            std::size_t semicolon = text.find(L';', i);
            std::size_t end = semicolon == std::wstring_view::npos ? n : semicolon;
            value.append(text.substr(i, end - i));
            i = std::min(n, end + 1);
        }
        name.clear();
    }
    return pairs;
}

int ReadStyleNumber(const std::wstring& text) {
    return _wtoi(text.c_str());
}

namespace {

int KeywordOr(const std::map<std::wstring, int>& table, const std::wstring& text, int other) {
    auto it = table.find(text);
    return it == table.end() ? other : it->second;
}

// Calls apply(value) when the pairs hold that name.
template <class Apply>
void IfPresent(const std::map<std::wstring, std::wstring>& pairs, const wchar_t* name,
               Apply apply) {
    auto it = pairs.find(name);
    if (it != pairs.end()) apply(it->second);
}

int NonNegative(const std::wstring& text) {
    return std::max(0, ReadStyleNumber(text));
}

}  // namespace

int FontWeightFromText(const std::wstring& text) {
    static const std::map<std::wstring, int> table = {
        {L"regular", 0},   {L"bold", 1},          {L"italic", 2},    {L"bolditalic", 3},
        {L"underline", 4}, {L"boldunderline", 5}, {L"strikeout", 8},
    };
    auto it = table.find(text);
    return it == table.end() ? ReadStyleNumber(text) : it->second;
}

int FontAlignFromText(const std::wstring& text) {
    // "top" and "bottom" name the horizontal alignments center and far.
    static const std::map<std::wstring, int> table = {
        {L"left", 0}, {L"center", 1}, {L"right", 2}, {L"top", 1}, {L"bottom", 2},
    };
    return KeywordOr(table, text, 0);
}

int FontVAlignFromText(const std::wstring& text) {
    static const std::map<std::wstring, int> table = {
        {L"top", 0},
        {L"center", 1},
        {L"bottom", 2},
    };
    return KeywordOr(table, text, 0);
}

void BoxFields::Apply(const std::wstring& text) {
    auto pairs = ParseStyleText(text);
    if (pairs.empty() && !text.empty()) left = right = top = bottom = NonNegative(text);
    IfPresent(pairs, L"left", [&](const std::wstring& v) { left = NonNegative(v); });
    IfPresent(pairs, L"right", [&](const std::wstring& v) { right = NonNegative(v); });
    IfPresent(pairs, L"top", [&](const std::wstring& v) { top = NonNegative(v); });
    IfPresent(pairs, L"bottom", [&](const std::wstring& v) { bottom = NonNegative(v); });
}

void BackgroundFields::Apply(const std::wstring& text) {
    auto pairs = ParseStyleText(text);
    if (pairs.empty() && !text.empty()) image = text;
    IfPresent(pairs, L"image", [&](const std::wstring& v) { image = v; });
    IfPresent(pairs, L"color", [&](const std::wstring& v) { color = ParseColor(v); });
    IfPresent(pairs, L"style", [&](const std::wstring& v) { style = v; });
    IfPresent(pairs, L"x", [&](const std::wstring& v) { x = ReadStyleNumber(v); });
    IfPresent(pairs, L"y", [&](const std::wstring& v) { y = ReadStyleNumber(v); });
}

void FontFields::Apply(const std::wstring& text) {
    auto pairs = ParseStyleText(text);
    IfPresent(pairs, L"size", [&](const std::wstring& v) { size = ReadStyleNumber(v); });
    IfPresent(pairs, L"color", [&](const std::wstring& v) { color = ParseColor(v); });
    IfPresent(pairs, L"family", [&](const std::wstring& v) { family = v; });
    IfPresent(pairs, L"weight", [&](const std::wstring& v) { weight = FontWeightFromText(v); });
    IfPresent(pairs, L"align", [&](const std::wstring& v) { align = FontAlignFromText(v); });
    IfPresent(pairs, L"valign", [&](const std::wstring& v) { valign = FontVAlignFromText(v); });
    IfPresent(pairs, L"style", [&](const std::wstring& v) { style = v; });
    IfPresent(pairs, L"flag", [&](const std::wstring& v) { flag = v; });
}

void BorderFields::Apply(const std::wstring& text) {
    auto pairs = ParseStyleText(text);
    IfPresent(pairs, L"width", [&](const std::wstring& v) { width = ReadStyleNumber(v); });
    IfPresent(pairs, L"color", [&](const std::wstring& v) { color = ParseColor(v); });
    IfPresent(pairs, L"style", [&](const std::wstring& v) { style = v; });
}

void WindowFields::Apply(const std::wstring& text) {
    auto pairs = ParseStyleText(text);
    if (pairs.empty() && !text.empty()) layout = text;
    IfPresent(pairs, L"layout", [&](const std::wstring& v) { layout = v; });
    IfPresent(pairs, L"style", [&](const std::wstring& v) { style = v; });
    IfPresent(pairs, L"mask", [&](const std::wstring& v) { mask = ParseColor(v); });
    IfPresent(pairs, L"minwidth", [&](const std::wstring& v) { minwidth = ReadStyleNumber(v); });
    IfPresent(pairs, L"minheight", [&](const std::wstring& v) { minheight = ReadStyleNumber(v); });
    IfPresent(pairs, L"defaultwidth",
              [&](const std::wstring& v) { defaultwidth = ReadStyleNumber(v); });
    IfPresent(pairs, L"defaultheight",
              [&](const std::wstring& v) { defaultheight = ReadStyleNumber(v); });
}

}  // namespace System::Docking
