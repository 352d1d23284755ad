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

TEST(ExportSize, PngHeaderIsReadAndAnythingElseIsRefused) {
    const vellumet_test::TempFolder temp("vellumet-pngsize-");
    const std::filesystem::path& dir = temp.Path();
    // A whole IHDR chunk (8-bit RGB), its CRC left zero.
    const unsigned char png[] = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1a, '\n', 0,    0, 0,
                                 13,   'I',  'H', 'D', 'R',  0,    0,    0x04, 0x15, 0, 0,
                                 0x03, 0x10, 8,   2,   0,    0,    0,    0,    0,    0, 0};
    std::ofstream(dir / "good.png", std::ios::binary).write(reinterpret_cast<const char*>(png), sizeof png);
    std::ofstream(dir / "empty.png", std::ios::binary);
    std::ofstream(dir / "text.png", std::ios::binary) << "not a picture at all, only words";
    std::ofstream(dir / "short.png", std::ios::binary).write(reinterpret_cast<const char*>(png), 12);

    EXPECT_EQ(ReadPngSize(dir / "good.png"), (PixelSize{1045, 784}));
    EXPECT_EQ(ReadPngSize(dir / "empty.png"), PixelSize{});
    EXPECT_EQ(ReadPngSize(dir / "text.png"), PixelSize{});
    EXPECT_EQ(ReadPngSize(dir / "short.png"), PixelSize{});
    EXPECT_EQ(ReadPngSize(dir / "missing.png"), PixelSize{});
}

}  // namespace
}  // namespace powerpoint
