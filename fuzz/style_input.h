// Shared by the style fuzz targets: the input as wide text, two bytes a character (UTF-16LE
// code units, as the layout files' texts arrive), and an owner for the properties under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "docking/property.h"
#include "tests/docking/null_renderable.h"

inline std::wstring WideInput(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return text;
}

// Whether the text names the field at all (its values can only change then).
inline bool Names(const std::wstring& text, const wchar_t* name) {
    return text.find(name) != std::wstring::npos;
}

struct FuzzOwner : NullRenderable {
    System::Docking::PaddingProperty<FuzzOwner> padding{this};
    System::Docking::BackgroundProperty<FuzzOwner> background{this};
    System::Docking::FontProperty<FuzzOwner> font{this};
    System::Docking::BorderProperty<FuzzOwner> border{this};
    System::Docking::WindowProperty<FuzzOwner> window{this};
};
