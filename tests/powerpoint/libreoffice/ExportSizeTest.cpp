#include "powerpoint/libreoffice/ExportSize.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "support/TempFolder.h"

namespace powerpoint {
namespace {

TEST(ExportSize, SlidesOfTheRequestedAspectGetExactlyTheRequestedSize) {
    // 4:3 in points, in 1/100 mm, and a page a hair off 4:3 (28 x 21 cm) all round to the request.
    EXPECT_EQ(FitSlideSize(720, 540, {1045, 784}), (PixelSize{1045, 784}));
    EXPECT_EQ(FitSlideSize(25400, 19050, {800, 600}), (PixelSize{800, 600}));
    EXPECT_EQ(FitSlideSize(28000, 21000, {1045, 784}), (PixelSize{1045, 784}));
    EXPECT_EQ(FitSlideSize(1000, 2000, {300, 600}), (PixelSize{300, 600}));
}

TEST(ExportSize, OtherAspectsKeepTheirOwnAndFitInside) {
    // 16:9 into 4:3: full width, shorter; 4:3 into 16:9: full height, narrower.
    EXPECT_EQ(FitSlideSize(960, 540, {800, 600}), (PixelSize{800, 450}));
    EXPECT_EQ(FitSlideSize(720, 540, {1600, 900}), (PixelSize{1200, 900}));
    // US Letter landscape (11 x 8.5).
    EXPECT_EQ(FitSlideSize(792, 612, {800, 600}), (PixelSize{776, 600}));
    // Portrait slide into a landscape request.
    EXPECT_EQ(FitSlideSize(540, 720, {800, 600}), (PixelSize{450, 600}));
    // Extreme aspects never give a zero side.
    EXPECT_EQ(FitSlideSize(1000000, 1, {800, 600}), (PixelSize{800, 1}));
    EXPECT_EQ(FitSlideSize(1, 1000000, {800, 600}), (PixelSize{1, 600}));
}

TEST(ExportSize, UnknownSlideSizeGivesTheRequest) {
    EXPECT_EQ(FitSlideSize(0, 540, {800, 600}), (PixelSize{800, 600}));
    EXPECT_EQ(FitSlideSize(720, -1, {800, 600}), (PixelSize{800, 600}));
}

}  // namespace
}  // namespace powerpoint
