#pragma once
// A composed page picture converted to gray samples for the gray palettes. The luminance of a
// pixel is (77 R + 150 G + 29 B + 128) / 256 rounded down: the weights 0.299, 0.587 and 0.114 of
// ITU-R BT.601 in 256ths, summing to exactly 256, so every gray stays its own value and white and
// black stay white and black.
//
// Palette Gray keeps the luminance as an 8-bit sample. Palette Gray16 maps it to one of 16 levels,
// level k standing for luminance 17 k: with Dither::None the nearest level; with Dither::Ordered
// the level below or the level above, chosen by an 8 x 8 Bayer threshold at the pixel's position,
// so that over a block the levels average to the luminance. A luminance that is a level exactly
// (white and black among them) is never dithered, so a flat colour gives at most two neighbouring
// levels.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/PageColours.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/PixelSource.h"

namespace imaging {

// The luminance of a pixel, 0..255.
inline uint8_t Luminance(uint32_t red, uint32_t green, uint32_t blue) {
    return static_cast<uint8_t>((77 * red + 150 * green + 29 * blue + 128) >> 8);
}

// The Bayer threshold index (0..63) of pixel column x, row y; the pattern repeats every 8 pixels.
uint8_t BayerIndex(int32_t x, int32_t y);

// The 16-level sample (0..15) for `luminance` at pixel (x, y).
uint8_t Gray16Level(uint8_t luminance, int32_t x, int32_t y, vellumet::Dither dither);

// The sample a palette stores for `luminance` without dithering: the luminance itself for Gray,
// the nearest level for Gray16.
uint8_t PlainSample(uint8_t luminance, vellumet::Palette palette);

// The image samples that hold a gray palette's pages.
PDFWriter::ImageSamples SamplesFor(vellumet::Palette palette);

class GrayPage final : public PDFWriter::PixelSource {
public:
    // The whole of `picture` (read with LockBitsBgr) converted for `colours`. Null when the palette
    // is Rgb or the picture cannot be read. Throws std::bad_alloc when memory is short.
    static std::unique_ptr<GrayPage> Convert(PDFWriter::PixelSource& picture, vellumet::PageColours colours);

    // Sets every sample of row y, or of column x, to PlainSample(luminance): a solid line.
    void SetRow(int32_t y, uint8_t luminance);
    void SetColumn(int32_t x, uint8_t luminance);

    // The sample at (x, y); 0 outside the picture.
    uint8_t Sample(int32_t x, int32_t y) const;
    PDFWriter::ImageSamples Samples() const { return SamplesFor(palette_); }

    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    // Has no 24-bit pixels: LockBitsBgr fails. LockBitsGray gives the samples, `Width()` bytes apart.
    bool LockBitsBgr(int32_t w, int32_t h, const uint8_t*& firstRow, ptrdiff_t& stride) override;
    bool LockBitsGray(int32_t w, int32_t h, const uint8_t*& firstRow, ptrdiff_t& stride) override;
    void UnlockBits() override {}

private:
    GrayPage(int32_t width, int32_t height, vellumet::Palette palette);

    int32_t width_;
    int32_t height_;
    vellumet::Palette palette_;
    std::vector<uint8_t> samples_;
};

}  // namespace imaging
