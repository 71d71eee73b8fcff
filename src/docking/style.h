// The style-text syntax of the layout files and the parsed fields of the visual properties.
#pragma once

#include <map>
#include <string>

#include "docking/color.h"

namespace System::Docking {

// Splits a style text into name -> value: 'name:value;name:(value with ; inside)'. Names are
// kept exactly (blanks and ';' included); a name met twice has its values appended; text after
// the last ':'-less name is dropped. The text ends at its first NUL character.
std::map<std::wstring, std::wstring> ParseStyleText(const std::wstring& text);

// A number of a style text, read as the C runtime's _wtoi reads it: leading blanks, a sign,
// decimal digits up to the first other character, saturating at the int range; 0 without digits.
int ReadStyleNumber(const std::wstring& text);

// Font keywords. Weight: a keyword or else a number (GDI+ font style bits). Alignments: the
// keyword's GDI+ string alignment (near 0, center 1, far 2), 0 for any other text.
int FontWeightFromText(const std::wstring& text);
int FontAlignFromText(const std::wstring& text);
int FontVAlignFromText(const std::wstring& text);

// The parsed fields of each kind of style property. Apply changes only the fields that the text
// names; the others keep their values.

// padding, margin: a plain number sets all four sides; negative numbers count as 0.
struct BoxFields {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    static constexpr bool kKeepsText = false;
    void Apply(const std::wstring& text);
};

// background: a text without pairs is the image.
struct BackgroundFields {
    ColorValue color = kNoColor;
    int x = 0;
    int y = 0;
    std::wstring image;
    std::wstring style;  // the image draw mode
    static constexpr bool kKeepsText = false;
    // A background of no colour and no image is not painted.
    bool IsPainted() const { return color != kNoColor || !image.empty(); }
    void Apply(const std::wstring& text);
};

struct FontFields {
    int align = 0;
    int valign = 0;
    int size = 8;
    ColorValue color = 0xFF000000;
    std::wstring family = L"Microsoft Sans Serif";
    std::wstring style;
    std::wstring flag;
    int weight = 0;
    static constexpr bool kKeepsText = false;
    void Apply(const std::wstring& text);
};

// border: no border is drawn while width is 0 or less. The property keeps its last text.
struct BorderFields {
    int width = 0;
    std::wstring style;  // the dash keyword
    ColorValue color = 0xFF000000;
    static constexpr bool kKeepsText = true;
    void Apply(const std::wstring& text);
};

// window: a text without pairs is the layout.
struct WindowFields {
    std::wstring layout;
    std::wstring style;
    ColorValue mask = kNoColor;
    int minwidth = 0;
    int minheight = 0;
    int defaultwidth = 0;
    int defaultheight = 0;
    static constexpr bool kKeepsText = false;
    void Apply(const std::wstring& text);
};

}  // namespace System::Docking
