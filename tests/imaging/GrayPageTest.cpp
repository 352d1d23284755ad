// The gray palettes' conversion: luminance, the ordered-dither pattern and the 16-level mapping.

#include "imaging/GrayPage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "imaging/Bitmap.h"

using imaging::Bitmap;
using imaging::GrayPage;
using vellumet::Dither;
using vellumet::PageColours;
using vellumet::Palette;

namespace {

constexpr PageColours kOrdered{Palette::Gray16, Dither::Ordered};

// A bitmap whose pixel (x, y) has the colour `at(x, y)` (0xRRGGBB).
template <typename ColourAt>
std::unique_ptr<Bitmap> Painted(int32_t w, int32_t h, ColourAt at) {
    std::unique_ptr<Bitmap> bitmap = Bitmap::Create(w, h);
    const uint8_t* firstRow = nullptr;
    ptrdiff_t stride = 0;
    EXPECT_TRUE(bitmap->LockBitsBgr(w, h, firstRow, stride));
    auto* rows = const_cast<uint8_t*>(firstRow);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t rgb = at(x, y);
            uint8_t* p = rows + y * stride + x * 3;
            p[0] = rgb & 0xFF;
            p[1] = (rgb >> 8) & 0xFF;
            p[2] = (rgb >> 16) & 0xFF;
        }
    }
    bitmap->UnlockBits();
    return bitmap;
}

uint32_t Grey(uint32_t v) {
    return v * 0x010101;
}

}  // namespace

TEST(GrayPage, LuminanceWeighsTheChannelsAndKeepsGraysWhiteAndBlack) {
    EXPECT_EQ(imaging::Luminance(255, 255, 255), 255);
    EXPECT_EQ(imaging::Luminance(0, 0, 0), 0);
    for (uint32_t v = 0; v < 256; ++v) {
        EXPECT_EQ(imaging::Luminance(v, v, v), v);
    }
    // 77, 150 and 29 of 256 (0.299, 0.587 and 0.114) of 255.
    EXPECT_EQ(imaging::Luminance(255, 0, 0), 77);
    EXPECT_EQ(imaging::Luminance(0, 255, 0), 149);
    EXPECT_EQ(imaging::Luminance(0, 0, 255), 29);
}

TEST(GrayPage, TheBayerPatternHoldsEveryThresholdOnceAndSpreadsThem) {
    std::set<int> seen;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            seen.insert(imaging::BayerIndex(x, y));
            EXPECT_EQ(imaging::BayerIndex(x + 8, y + 16), imaging::BayerIndex(x, y)) << "it repeats every 8";
        }
    }
    EXPECT_EQ(seen.size(), 64u);
    EXPECT_EQ(*seen.rbegin(), 63);
    // Every 2 x 2 block holds one threshold from each quarter of the range.
    for (int y = 0; y < 8; y += 2) {
        for (int x = 0; x < 8; x += 2) {
            std::set<int> quarters;
            for (int k = 0; k < 4; ++k) {
                quarters.insert(imaging::BayerIndex(x + k % 2, y + k / 2) / 16);
            }
            EXPECT_EQ(quarters.size(), 4u) << x << "," << y;
        }
    }
}

TEST(GrayPage, LevelsAreKeptExactlyAndFlatColoursUseAtMostTwoNeighbouringLevels) {
    for (uint32_t v = 0; v < 256; ++v) {
        std::set<int> used;
        double sum = 0;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const int level = imaging::Gray16Level(static_cast<uint8_t>(v), x, y, Dither::Ordered);
                used.insert(level);
                sum += level;
            }
        }
        ASSERT_LE(used.size(), 2u) << v;
        if (used.size() == 2) {
            EXPECT_EQ(*used.rbegin() - *used.begin(), 1) << v;
        }
        if (v % 17 == 0) {
            EXPECT_EQ(used, std::set<int>{static_cast<int>(v / 17)}) << "a level is never dithered";
        }
        // Over the pattern the levels average to the luminance, within half a threshold step.
        EXPECT_NEAR(sum / 64 * 17, v, 17.0 / 128 + 1e-9) << v;
        // Without dithering: the nearest level.
        EXPECT_EQ(imaging::Gray16Level(static_cast<uint8_t>(v), 3, 5, Dither::None), (v * 15 + 127) / 255);
    }
}

TEST(GrayPage, ASmoothGradientGivesAllSixteenLevelsWithoutBands) {
    // 0..255 across 1024 pixels, 16 rows.
    const int32_t w = 1024;
    const int32_t h = 16;
    std::unique_ptr<Bitmap> gradient =
        Painted(w, h, [](int32_t x, int32_t) { return Grey(static_cast<uint32_t>(x / 4)); });
    for (const Dither dither : {Dither::Ordered, Dither::None}) {
        std::unique_ptr<GrayPage> page = GrayPage::Convert(*gradient, {Palette::Gray16, dither});
        ASSERT_TRUE(page);
        std::set<int> used;
        int worstBlockError = 0;  // in 1/100 of a level
        for (int32_t x0 = 0; x0 < w; x0 += 8) {
            double stored = 0;
            double wanted = 0;
            for (int32_t y = 0; y < 8; ++y) {
                for (int32_t x = x0; x < x0 + 8; ++x) {
                    used.insert(page->Sample(x, y));
                    stored += page->Sample(x, y);
                    wanted += (x / 4) * 15.0 / 255;
                }
            }
            worstBlockError = std::max(worstBlockError,
                                       static_cast<int>(std::lround(std::abs(stored - wanted) / 64 * 100)));
        }
        EXPECT_EQ(used.size(), 16u);
        if (dither == Dither::Ordered) {
            // Every 8 x 8 block shows its own shade: no band of one level where the gradient goes on.
            EXPECT_LE(worstBlockError, 10) << "hundredths of a level";
        } else {
            EXPECT_GE(worstBlockError, 40) << "plain quantisation bands, which is what dithering is for";
        }
    }
}

TEST(GrayPage, EightBitGrayIsTheLuminanceAndSolidLinesIgnoreThePattern) {
    std::unique_ptr<Bitmap> picture = Painted(
        10, 6, [](int32_t x, int32_t y) { return x < 5 ? 0xFF0000u : Grey(static_cast<uint32_t>(40 * y)); });
    std::unique_ptr<GrayPage> gray = GrayPage::Convert(*picture, {Palette::Gray, Dither::Ordered});
    ASSERT_TRUE(gray);
    EXPECT_EQ(gray->Samples(), PDFWriter::ImageSamples::Gray8);
    EXPECT_EQ(gray->Sample(0, 0), 77);
    EXPECT_EQ(gray->Sample(9, 5), 200);
    EXPECT_FALSE(GrayPage::Convert(*picture, {Palette::Rgb, Dither::Ordered}));

    std::unique_ptr<GrayPage> levels = GrayPage::Convert(*picture, kOrdered);
    ASSERT_TRUE(levels);
    EXPECT_EQ(levels->Samples(), PDFWriter::ImageSamples::Gray4);
    levels->SetRow(2, 128);
    levels->SetColumn(7, 128);
    for (int32_t x = 0; x < 10; ++x) {
        EXPECT_EQ(levels->Sample(x, 2), 8) << "128 is nearest to level 8 (136)";
    }
    for (int32_t y = 0; y < 6; ++y) {
        EXPECT_EQ(levels->Sample(7, y), 8);
    }
}
