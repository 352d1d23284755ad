#include "frontend/DeviceProfile.h"

namespace vellumet {

std::wstring_view ScreenName(Screen screen) {
    return screen == Screen::Colour ? L"colour" : L"gray16";
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
