#include "frontend/DeviceProfile.h"

namespace vellumet {

std::wstring_view ScreenName(Screen screen) {
    return screen == Screen::Colour ? L"colour" : L"gray16";
}

PageColours DefaultColoursFor(Screen screen) {
    return screen == Screen::Colour ? PageColours{Palette::Rgb, Dither::Ordered}
                                    : PageColours{Palette::Gray16, Dither::Ordered};
}

std::optional<Screen> ScreenFromName(std::wstring_view name) {
    if (name == L"gray16") {
        return Screen::Gray16;
    }
    if (name == L"colour") {
        return Screen::Colour;
    }
    return std::nullopt;
}

}  // namespace vellumet
