#include <gtest/gtest.h>

#include "common/ExportFlags.h"
#include "job/ConversionJob.h"
#include "job/DeviceTable.h"

using vellumet::ComputeExportSize;
using vellumet::LookupDevice;
using vellumet::PixelSize;

struct DeviceRow {
    const wchar_t* name;
    PixelSize page;
    PixelSize exportSize;
};

class DeviceTableTest : public ::testing::TestWithParam<DeviceRow> {};

TEST_P(DeviceTableTest, PageAndExportSize) {
    const DeviceRow& row = GetParam();
    EXPECT_EQ(LookupDevice(row.name), row.page);
    EXPECT_EQ(ComputeExportSize(row.page), row.exportSize);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, DeviceTableTest,
    ::testing::Values(DeviceRow{L"Amazon Kindle DX", {784, 1150}, {1045, 784}},
                      DeviceRow{L"Amazon Kindle 2", {560, 750}, {746, 560}},
                      DeviceRow{L"Small (600*800)", {600, 800}, {800, 600}},
                      DeviceRow{L"Medium (900*1200)", {900, 1200}, {1200, 900}},
                      DeviceRow{L"Large (1200*1600)", {1200, 1600}, {1600, 1200}},
                      // Names not in the table, exactly compared, fall back to the small page.
                      DeviceRow{L"", {600, 800}, {800, 600}},
                      DeviceRow{L"amazon kindle dx", {600, 800}, {800, 600}},
                      DeviceRow{L"Amazon Kindle DX ", {600, 800}, {800, 600}},
                      DeviceRow{L"Amazon Kindle", {600, 800}, {800, 600}}));

TEST(ExportSize, LandscapeAndSquarePages) {
    // A landscape page: m is the height, 3H > 4m fails, so the page height sets the width.
    EXPECT_EQ(ComputeExportSize({1000, 600}), (PixelSize{600, 450}));
    EXPECT_EQ(ComputeExportSize({500, 500}), (PixelSize{500, 375}));
    // Wider than 3:4 portrait: the width limits.
    EXPECT_EQ(ComputeExportSize({300, 1000}), (PixelSize{400, 300}));
}

TEST(ConversionOptions, FlagsAndSlidesPerPage) {
    vellumet::ConversionSettings settings;
    EXPECT_EQ(vellumet::ExportFlagsOf(settings), 0);
    EXPECT_EQ(vellumet::SlidesPerPageOf(settings), 1);
    settings.omitBackground = 1;
    EXPECT_EQ(vellumet::ExportFlagsOf(settings), ExportFlags::OmitBackground);
    settings.omitShadow = 1;
    settings.twoSlidesPerPage = 1;
    EXPECT_EQ(vellumet::ExportFlagsOf(settings), ExportFlags::OmitBackground | ExportFlags::OmitShadow);
    EXPECT_EQ(vellumet::SlidesPerPageOf(settings), 2);
    settings.omitBackground = 0;
    EXPECT_EQ(vellumet::ExportFlagsOf(settings), ExportFlags::OmitShadow);
}

TEST(VersionGate, OpeningIdentifier) {
    for (int code : {-1, 0, 1, 2}) {
        EXPECT_EQ(vellumet::OpenDispIdFor(code), 0) << code;
    }
    EXPECT_EQ(vellumet::OpenDispIdFor(3), 2004);
    for (int code = 4; code <= 7; ++code) {
        EXPECT_EQ(vellumet::OpenDispIdFor(code), 2005) << code;
    }
}

TEST(ProgressRetiming, StepStaysWithinOneToFive) {
    EXPECT_EQ(vellumet::RetimedProgressStep(10), 5);
    EXPECT_EQ(vellumet::RetimedProgressStep(12), 4);
    EXPECT_EQ(vellumet::RetimedProgressStep(17), 2);
    EXPECT_EQ(vellumet::RetimedProgressStep(25), 2);
    for (int p = 26; p <= 100; ++p) {
        EXPECT_EQ(vellumet::RetimedProgressStep(p), 1) << p;
    }
    // Positions that would give a larger step, and 0 (no tick yet), are capped at 5.
    EXPECT_EQ(vellumet::RetimedProgressStep(1), 5);
    EXPECT_EQ(vellumet::RetimedProgressStep(9), 5);
    EXPECT_EQ(vellumet::RetimedProgressStep(0), 5);
    EXPECT_EQ(vellumet::RetimedProgressStep(-3), 5);
}
