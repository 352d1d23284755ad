// The catalogue: the device table's five rows first and exact, then today's readers, every entry
// within the rules the user's own devices must keep.

#include "frontend/DeviceCatalogue.h"

#include <gtest/gtest.h>

#include "frontend/DeviceList.h"
#include "frontend/DeviceRules.h"
#include "job/DeviceTable.h"

namespace vellumet {
namespace {

TEST(DeviceCatalogueTest, TheFiveSpecifiedDevicesComeFirstWithExactlyTheirSizes) {
    const std::span<const DeviceProfile> catalogue = DeviceCatalogue();
    struct Row {
        const wchar_t* name;
        PixelSize page;
    };
    const Row five[] = {
        {L"Amazon Kindle DX", {784, 1150}},   {L"Amazon Kindle 2", {560, 750}},
        {L"Small (600*800)", {600, 800}},     {L"Medium (900*1200)", {900, 1200}},
        {L"Large (1200*1600)", {1200, 1600}},
    };
    ASSERT_GE(catalogue.size(), std::size(five));
    for (size_t i = 0; i < std::size(five); ++i) {
        EXPECT_EQ(catalogue[i].name, five[i].name);
        EXPECT_EQ(catalogue[i].page, five[i].page) << i;
        EXPECT_EQ(catalogue[i].origin, DeviceOrigin::Specified) << i;
        // The job's own lookup of the name gives the same page, so no page size is handed over.
        EXPECT_EQ(LookupDevice(catalogue[i].name), five[i].page);
        EXPECT_FALSE(PageSizeFor(catalogue, catalogue[i].name).has_value());
    }
    for (size_t i = std::size(five); i < catalogue.size(); ++i) {
        EXPECT_EQ(catalogue[i].origin, DeviceOrigin::Catalogue) << i;
        // Unknown to the table: the page must travel with the job's settings.
        EXPECT_EQ(PageSizeFor(catalogue, catalogue[i].name), catalogue[i].page);
    }
}

TEST(DeviceCatalogueTest, TheJobsLookupStaysExactAndCaseSensitive) {
    EXPECT_EQ(LookupDevice(L"amazon kindle dx"), (PixelSize{600, 800}));
    EXPECT_EQ(LookupDevice(L"Amazon Kindle DX "), (PixelSize{600, 800}));
    EXPECT_EQ(LookupDevice(L"Kindle Scribe (2025)"), (PixelSize{600, 800}));
    EXPECT_EQ(LookupDevice(L""), (PixelSize{600, 800}));
}

TEST(DeviceCatalogueTest, TodaysReadersFollowWithinTheRulesForDevices) {
    const std::span<const DeviceProfile> catalogue = DeviceCatalogue();
    EXPECT_GE(catalogue.size(), 5u + 25u);
    bool colour = false;
    for (const DeviceProfile& device : catalogue) {
        // Names fit the listings (never two spaces in a row), pages are upright and within range.
        EXPECT_EQ(CheckDeviceName(device.name), L"") << device.name;
        EXPECT_EQ(CheckDevicePage(device.page), L"") << device.name;
        EXPECT_TRUE(device.unknownFields.empty());
        colour = colour || device.screen == Screen::Colour;
    }
    EXPECT_TRUE(colour);
    // Every name selects its own entry, letter case ignored: none is equal to or begins another
    // that comes before it.
    EXPECT_EQ(CheckNamesSelectThemselves(catalogue), L"");
    const std::vector<std::wstring> names = DeviceNames(catalogue);
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(FindDeviceEntry(names, names[i]), static_cast<int>(i)) << names[i];
    }
}

TEST(DeviceCatalogueTest, ASelectionRuleBreachIsNamed) {
    std::vector<DeviceProfile> devices = DeviceListOf({});
    devices.push_back({L"KOBO SAGE", {600, 800}, Screen::Gray16, DeviceOrigin::User, {}, {}});
    EXPECT_EQ(CheckNamesSelectThemselves(devices), L"There is already a device named \"Kobo Sage\".");
    devices.back().name = L"Kindle";
    EXPECT_NE(CheckNamesSelectThemselves(devices).find(L"would select \"Kindle Basic (2022, 2024)\""),
              std::wstring::npos);
    // A longer name after a shorter one is fine: the shorter one still selects itself.
    devices.back().name = L"Kobo Sage at home";
    EXPECT_EQ(CheckNamesSelectThemselves(devices), L"");
}

}  // namespace
}  // namespace vellumet
