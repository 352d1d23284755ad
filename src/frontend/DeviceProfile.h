#pragma once
// One target device as the front ends know it: a name, a portrait page in pixels, a screen and its
// output options (the page colours, the outline and the text layer).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/PageColours.h"
#include "common/PixelSize.h"

namespace vellumet {

enum class Screen {
    Gray16,  // e-ink with 16 grey levels
    Colour,
};

// Where a device comes from; only user devices can be changed or removed.
enum class DeviceOrigin {
    Specified,  // one of the device table's five rows (job/DeviceTable.h): the job looks it up itself
    Catalogue,  // one of today's readers, built in
    User,       // made by the user, kept in the settings store
};

struct DeviceProfile {
    std::wstring name;
    PixelSize page;
    Screen screen = Screen::Gray16;
    DeviceOrigin origin = DeviceOrigin::User;
    // Fields of a stored entry that this version does not know, as stored ("key=value"), written
    // back unchanged.
    std::vector<std::wstring> unknownFields;
    // How its pages are stored: DefaultColoursFor(screen) unless the user chose otherwise; always
    // rgb for the device table's five rows.
    PageColours colours;
    // An outline entry per slide with page labels, and searchable text (ConversionSettings): off for
    // the device table's five rows, whose files stay as they always were; on for the others unless
    // the user chose otherwise.
    bool outline = true;
    bool searchable = true;
    // Each slide with its speaker notes on a portrait page (ConversionSettings::notesPages): off for
    // every device unless the user chose it, since it changes the pages' layout.
    bool notes = false;
};

// The page colours a screen is given by default: 16 dithered gray levels for a gray screen, rgb for
// a colour one.
PageColours DefaultColoursFor(Screen screen);

// "gray16" or "colour": the screen's name in the stored form and in --list-devices.
std::wstring_view ScreenName(Screen screen);

// The screen of a name ScreenName gives, or nothing for any other text.
std::optional<Screen> ScreenFromName(std::wstring_view name);

}  // namespace vellumet
