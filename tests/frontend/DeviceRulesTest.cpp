// The rules for device names, device pages and page sizes typed on the command line.

#include "frontend/DeviceRules.h"

#include <gtest/gtest.h>

namespace vellumet {
namespace {

TEST(DeviceRulesTest, NamesAreOneLineOfTextWithoutDoubleSpaces) {
    for (const wchar_t* good :
         {L"A", L"My Reader (work)", L"Lecteur d\u00e9j\u00e0 vu", L"\u962f\u8bfb\u5668", L"x 1 x 2"}) {
        EXPECT_EQ(CheckDeviceName(good), L"") << good;
    }
    EXPECT_EQ(CheckDeviceName(std::wstring(kMaxDeviceNameLength, L'n')), L"");

    struct Row {
        std::wstring name;
        const wchar_t* reason;
    };
    const Row bad[] = {
        {L"", L"Please enter a name for the device."},
        {std::wstring(kMaxDeviceNameLength + 1, L'n'), L"The name is too long: at most 60 characters."},
        {L"Two  spaces", L"The name contains two spaces in a row."},
        {L" Leading", L"The name begins or ends with a space."},
        {L"Trailing ", L"The name begins or ends with a space."},
        {L"Tab\there", L"The name contains a control character (a tab, a line break or the like)."},
        {L"Line\nbreak", L"The name contains a control character (a tab, a line break or the like)."},
        {std::wstring(L"Nul") + L'\0',
         L"The name contains a control character (a tab, a line break or the like)."},
        {L"Record\x1eseparator", L"The name contains a control character (a tab, a line break or the like)."},
        {L"C1\x85", L"The name contains a control character (a tab, a line break or the like)."},
        {L"Raw\xdc80"
         L"byte",
         L"The name contains a character that is not text."},
    };
    for (const Row& row : bad) {
        EXPECT_EQ(CheckDeviceName(row.name), row.reason) << row.name.size();
    }
}

TEST(DeviceRulesTest, DevicePagesAreUprightWithinRangeAndOfASaneShape) {
    for (PixelSize good : {PixelSize{1, 1}, PixelSize{1072, 1448}, PixelSize{954, 1696},
                           PixelSize{5000, 20000}, PixelSize{20000, 20000}}) {
        EXPECT_EQ(CheckDevicePage(good), L"") << good.width << "x" << good.height;
    }
    const std::pair<PixelSize, const wchar_t*> bad[] = {
        {{0, 800}, L"The width must be from 1 to 20000 pixels."},
        {{-600, 800}, L"The width must be from 1 to 20000 pixels."},
        {{600, 0}, L"The height must be from 1 to 20000 pixels."},
        {{600, 20001}, L"The height must be from 1 to 20000 pixels."},
        {{INT32_MAX, INT32_MAX}, L"The width must be from 1 to 20000 pixels."},
        {{1448, 1072}, L"Enter the page upright: the width may not exceed the height."},
        {{100, 401}, L"The page is too narrow: it may be at most 4 times as high as it is wide."},
        {{1, 20000}, L"The page is too narrow: it may be at most 4 times as high as it is wide."},
    };
    for (const auto& [page, reason] : bad) {
        EXPECT_EQ(CheckDevicePage(page), reason) << page.width << "x" << page.height;
    }
}

TEST(DeviceRulesTest, PageSizesAreTwoPlainNumbersWithinRange) {
    EXPECT_EQ(ParsePageSize(L"1072x1448"), (PixelSize{1072, 1448}));
    EXPECT_EQ(ParsePageSize(L"1448X1072"), (PixelSize{1448, 1072}));
    EXPECT_EQ(ParsePageSize(L"1x20000"), (PixelSize{1, 20000}));
    EXPECT_EQ(ParsePageSize(L"00600x0800"), (PixelSize{600, 800}));
    for (const wchar_t* bad : {L"",
                               L"x",
                               L"600",
                               L"600x",
                               L"x800",
                               L"0x800",
                               L"600x0",
                               L"-1x800",
                               L"600x-1",
                               L"20001x800",
                               L"600x20001",
                               L"4294967897x800",
                               L"600x800x2",
                               L"600 x 800",
                               L" 600x800",
                               L"600x800 ",
                               L"+600x800",
                               L"6e2x800",
                               L"600,5x800",
                               L"600\u00d7800",
                               L"\u0666\u0660\u0660x800",
                               L"000600x800"}) {
        EXPECT_FALSE(ParsePageSize(bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace vellumet
