#include "frontend/DeviceCatalogue.h"

#include <vector>

#include "job/DeviceTable.h"

namespace vellumet {

namespace {

struct Reader {
    const wchar_t* name;
    int32_t width;
    int32_t height;
    Screen screen;
};

// Panel resolutions in portrait. No name may begin with the name of an earlier row, or that row's
// name would select this one (DeviceList.h).
constexpr Reader kReaders[] = {
    {L"Kindle Basic (2022, 2024)", 1072, 1448, Screen::Gray16},
    {L"Kindle Paperwhite (2018)", 1072, 1448, Screen::Gray16},
    {L"Kindle Paperwhite (2021)", 1236, 1648, Screen::Gray16},
    {L"Kindle Paperwhite (2024)", 1272, 1696, Screen::Gray16},
    {L"Kindle Colorsoft", 1272, 1696, Screen::Colour},
    {L"Kindle Voyage", 1072, 1448, Screen::Gray16},
    {L"Kindle Oasis", 1264, 1680, Screen::Gray16},
    {L"Kindle Scribe (2022, 2024)", 1860, 2480, Screen::Gray16},
    {L"Kindle Scribe (2025)", 1986, 2648, Screen::Gray16},
    {L"Kobo Clara HD", 1072, 1448, Screen::Gray16},
    {L"Kobo Clara 2E", 1072, 1448, Screen::Gray16},
    {L"Kobo Clara BW", 1072, 1448, Screen::Gray16},
    {L"Kobo Clara Colour", 1072, 1448, Screen::Colour},
    {L"Kobo Libra 2", 1264, 1680, Screen::Gray16},
    {L"Kobo Libra Colour", 1264, 1680, Screen::Colour},
    {L"Kobo Sage", 1440, 1920, Screen::Gray16},
    {L"Kobo Forma", 1440, 1920, Screen::Gray16},
    {L"Kobo Elipsa 2E", 1404, 1872, Screen::Gray16},
    {L"Kobo Nia", 758, 1024, Screen::Gray16},
    {L"reMarkable 2", 1404, 1872, Screen::Gray16},
    {L"reMarkable Paper Pro", 1620, 2160, Screen::Colour},
    {L"reMarkable Paper Pro Move", 954, 1696, Screen::Colour},
    {L"PocketBook Era", 1264, 1680, Screen::Gray16},
    {L"PocketBook InkPad 4", 1404, 1872, Screen::Gray16},
    {L"PocketBook Verse Pro", 1072, 1448, Screen::Gray16},
    {L"PocketBook Touch Lux 5", 758, 1024, Screen::Gray16},
};

std::vector<DeviceProfile> BuildCatalogue() {
    std::vector<DeviceProfile> devices;
    // The table's rows were e-ink readers of 16 grey levels or sizes meant for them; their pages
    // stay as they always were, in rgb, without outline or text.
    for (const DeviceScheme& row : kDeviceSchemes) {
        devices.push_back({row.schemeName,
                           {row.pageWidth, row.pageHeight},
                           Screen::Gray16,
                           DeviceOrigin::Specified,
                           {},
                           PageColours{Palette::Rgb, Dither::Ordered},
                           false,
                           false});
    }
    for (const Reader& reader : kReaders) {
        devices.push_back({reader.name,
                           {reader.width, reader.height},
                           reader.screen,
                           DeviceOrigin::Catalogue,
                           {},
                           DefaultColoursFor(reader.screen),
                           true,
                           true});
    }
    return devices;
}

}  // namespace

std::span<const DeviceProfile> DeviceCatalogue() {
    static const std::vector<DeviceProfile> catalogue = BuildCatalogue();
    return catalogue;
}

}  // namespace vellumet
