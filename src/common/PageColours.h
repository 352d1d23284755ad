#pragma once
// How a page picture's colours are stored: the palette of its image object and, for 16 gray levels,
// how the levels in between are rendered. The device profiles carry a default; the command line
// may override it.

#include <optional>
#include <string_view>

namespace vellumet {

enum class Palette {
    Rgb,     // 24-bit DeviceRGB, the page picture's own pixels
    Gray,    // 8-bit DeviceGray
    Gray16,  // 4-bit DeviceGray: 16 evenly spaced levels
};

enum class Dither {
    Ordered,  // an 8 x 8 Bayer pattern between the two nearest levels
    None,     // the nearest level
};

struct PageColours {
    Palette palette = Palette::Rgb;
    Dither dither = Dither::Ordered;  // used by Gray16 only
    bool operator==(const PageColours&) const = default;
};

// "rgb", "gray", "gray16": the names of the command line and of the stored devices.
std::wstring_view PaletteName(Palette palette);
std::optional<Palette> PaletteFromName(std::wstring_view name);

// "ordered", "none".
std::wstring_view DitherName(Dither dither);
std::optional<Dither> DitherFromName(std::wstring_view name);

}  // namespace vellumet
