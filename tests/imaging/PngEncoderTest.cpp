// The slide-picture encoder: what it writes reads back to the same pixels through the fast decoder
// and through Qt's, and impossible sizes give nothing.

#include "imaging/PngEncoder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <random>
#include <vector>

#include "imaging/PngDecoder.h"

namespace {

// Rows of `width` RGB pixels, `padding` bytes apart more than needed: flat areas, an edge and noise
// (noise only in a corner when `flat`, as on a slide, which the encoder writes as runs).
std::vector<uint8_t> Pixels(int width, int height, int padding, bool flat = false) {
    std::mt19937 random(7);
    const size_t stride = static_cast<size_t>(width) * 3 + static_cast<size_t>(padding);
    std::vector<uint8_t> rows(stride * static_cast<size_t>(height), 0xEE);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = rows.data() + stride * static_cast<size_t>(y) + 3 * static_cast<size_t>(x);
            if (x < width / 3) {
                p[0] = 250, p[1] = 250, p[2] = 250;
            } else if (x < 2 * width / 3) {
                p[0] = static_cast<uint8_t>(flat ? x : y), p[1] = static_cast<uint8_t>(x), p[2] = 40;
            } else if (!flat || (x > width - 8 && y > height - 8)) {
                p[0] = static_cast<uint8_t>(random()), p[1] = static_cast<uint8_t>(random()),
                p[2] = static_cast<uint8_t>(random());
            }
        }
    }
    return rows;
}

TEST(PngEncoder, ReadsBackToTheSamePixelsThroughBothDecoders) {
    for (const auto& [width, height, padding, flat] :
         {std::tuple{1, 1, 0, false}, {97, 61, 5, false}, {800, 600, 0, false}, {800, 600, 3, true}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height) + (flat ? " flat" : ""));
        const std::vector<uint8_t> rows = Pixels(width, height, padding, flat);
        const ptrdiff_t stride = width * 3 + padding;
        const std::vector<uint8_t> png = imaging::EncodeRgbPng(rows.data(), stride, width, height);
        ASSERT_FALSE(png.empty());

        const QImage qt = QImage::fromData(png.data(), static_cast<int>(png.size()), "PNG");
        ASSERT_EQ(qt.size(), QSize(width, height));
        const QImage rgb = qt.convertToFormat(QImage::Format_RGB888);

        imaging::PngDecoder decoder;
        ASSERT_TRUE(decoder.Parse(png.data(), png.size())) << "the fast decoder declines it";
        ASSERT_EQ(decoder.Width(), width);
        ASSERT_EQ(decoder.Height(), height);
        std::vector<uint8_t> decoded(static_cast<size_t>(width) * 3 * static_cast<size_t>(height));
        ASSERT_TRUE(decoder.Decode(decoded.data(), width * 3));

        for (int y = 0; y < height; ++y) {
            const uint8_t* want = rows.data() + stride * y;
            ASSERT_EQ(std::memcmp(rgb.constScanLine(y), want, static_cast<size_t>(width) * 3), 0)
                << "row " << y;
            // The fast decoder stores blue, green, red.
            for (int x = 0; x < width; ++x) {
                const uint8_t* got = decoded.data() + (static_cast<size_t>(y) * width + x) * 3;
                ASSERT_TRUE(got[0] == want[3 * x + 2] && got[1] == want[3 * x + 1] && got[2] == want[3 * x])
                    << "pixel " << x << ", " << y;
            }
        }
    }
}

TEST(PngEncoder, ImpossibleSizesGiveNothing) {
    const uint8_t pixel[3] = {1, 2, 3};
    EXPECT_TRUE(imaging::EncodeRgbPng(pixel, 3, 0, 1).empty());
    EXPECT_TRUE(imaging::EncodeRgbPng(pixel, 3, 1, -1).empty());
    EXPECT_TRUE(imaging::EncodeRgbPng(pixel, 3, 20001, 1).empty());
}

}  // namespace
