#include "common/PageColours.h"

namespace vellumet {

std::wstring_view PaletteName(Palette palette) {
    switch (palette) {
        case Palette::Gray:
            return L"gray";
        case Palette::Gray16:
            return L"gray16";
        case Palette::Rgb:
            break;
    }
    return L"rgb";
}

std::optional<Palette> PaletteFromName(std::wstring_view name) {
    for (const Palette palette : {Palette::Rgb, Palette::Gray, Palette::Gray16}) {
        if (name == PaletteName(palette)) {
            return palette;
        }
    }
    return std::nullopt;
}

std::wstring_view DitherName(Dither dither) {
    return dither == Dither::None ? L"none" : L"ordered";
}

std::optional<Dither> DitherFromName(std::wstring_view name) {
    for (const Dither dither : {Dither::Ordered, Dither::None}) {
        if (name == DitherName(dither)) {
            return dither;
        }
    }
    return std::nullopt;
}

}  // namespace vellumet
