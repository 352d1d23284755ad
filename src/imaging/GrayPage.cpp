#include "imaging/GrayPage.h"

#include <algorithm>
#include <array>

namespace imaging {

namespace {

using vellumet::Dither;
using vellumet::Palette;

// The classic recursive 8 x 8 ordered-dither matrix: every threshold 0..63 once, each 2 x 2, 4 x 4
// block spreading its thresholds as evenly as it can.
constexpr uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

// Level tables: row t (0..63) maps a luminance to its level at Bayer threshold t; row 64 maps it to
// the nearest level. A luminance v lies 15 v / 255 levels up: the level below is floor(15 v / 255),
// and the remainder r = 15 v mod 255 picks the level above at threshold t when
// r / 255 > (t + 0.5) / 64, that is 128 r > (2 t + 1) 255.
using LevelTables = std::array<std::array<uint8_t, 256>, 65>;

constexpr LevelTables MakeLevelTables() {
    LevelTables tables{};
    for (uint32_t v = 0; v < 256; ++v) {
        const uint32_t below = v * 15 / 255;
        const uint32_t remainder = v * 15 % 255;
        for (uint32_t t = 0; t < 64; ++t) {
            tables[t][v] = static_cast<uint8_t>(below + (remainder * 128 > (2 * t + 1) * 255 ? 1 : 0));
        }
        tables[64][v] = static_cast<uint8_t>((v * 15 + 127) / 255);
    }
    return tables;
}

constexpr LevelTables kLevels = MakeLevelTables();
constexpr size_t kNearest = 64;

void ConvertRowGray(const uint8_t* bgr, int32_t width, uint8_t* out) {
    for (int32_t x = 0; x < width; ++x, bgr += 3) {
        out[x] = Luminance(bgr[2], bgr[1], bgr[0]);
    }
}

void ConvertRowGray16(const uint8_t* bgr, int32_t width, int32_t y, Dither dither, uint8_t* out) {
    if (dither == Dither::None) {
        const auto& nearest = kLevels[kNearest];
        for (int32_t x = 0; x < width; ++x, bgr += 3) {
            out[x] = nearest[Luminance(bgr[2], bgr[1], bgr[0])];
        }
        return;
    }
    const uint8_t* thresholds = kBayer[y & 7];
    for (int32_t x = 0; x < width; ++x, bgr += 3) {
        out[x] = kLevels[thresholds[x & 7]][Luminance(bgr[2], bgr[1], bgr[0])];
    }
}

}  // namespace

uint8_t BayerIndex(int32_t x, int32_t y) {
    return kBayer[y & 7][x & 7];
}

uint8_t Gray16Level(uint8_t luminance, int32_t x, int32_t y, Dither dither) {
    return kLevels[dither == Dither::None ? kNearest : BayerIndex(x, y)][luminance];
}

uint8_t PlainSample(uint8_t luminance, Palette palette) {
    return palette == Palette::Gray16 ? kLevels[kNearest][luminance] : luminance;
}

PDFWriter::ImageSamples SamplesFor(Palette palette) {
    switch (palette) {
        case Palette::Gray:
            return PDFWriter::ImageSamples::Gray8;
        case Palette::Gray16:
            return PDFWriter::ImageSamples::Gray4;
        case Palette::Rgb:
            break;
    }
    return PDFWriter::ImageSamples::Rgb8;
}

GrayPage::GrayPage(int32_t width, int32_t height, Palette palette)
    : width_(width),
      height_(height),
      palette_(palette),
      samples_(static_cast<size_t>(width) * static_cast<size_t>(height)) {}

std::unique_ptr<GrayPage> GrayPage::Convert(PDFWriter::PixelSource& picture, vellumet::PageColours colours) {
    const int32_t w = picture.Width();
    const int32_t h = picture.Height();
    if (colours.palette == Palette::Rgb || w < 1 || h < 1) {
        return nullptr;
    }
    std::unique_ptr<GrayPage> page(new GrayPage(w, h, colours.palette));
    const uint8_t* firstRow = nullptr;
    ptrdiff_t stride = 0;
    if (!picture.LockBitsBgr(w, h, firstRow, stride)) {
        return nullptr;
    }
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* source = firstRow + y * stride;
        uint8_t* target = page->samples_.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
        if (colours.palette == Palette::Gray) {
            ConvertRowGray(source, w, target);
        } else {
            ConvertRowGray16(source, w, y, colours.dither, target);
        }
    }
    picture.UnlockBits();
    return page;
}

void GrayPage::SetRow(int32_t y, uint8_t luminance) {
    if (y < 0 || y >= height_) {
        return;
    }
    const uint8_t sample = PlainSample(luminance, palette_);
    std::fill_n(samples_.begin() + static_cast<ptrdiff_t>(y) * width_, width_, sample);
}

void GrayPage::SetColumn(int32_t x, uint8_t luminance) {
    if (x < 0 || x >= width_) {
        return;
    }
    const uint8_t sample = PlainSample(luminance, palette_);
    for (int32_t y = 0; y < height_; ++y) {
        samples_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = sample;
    }
}

uint8_t GrayPage::Sample(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    return samples_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

bool GrayPage::LockBitsBgr(int32_t, int32_t, const uint8_t*&, ptrdiff_t&) {
    return false;
}

bool GrayPage::LockBitsGray(int32_t w, int32_t h, const uint8_t*& firstRow, ptrdiff_t& stride) {
    if (w < 1 || h < 1 || w > width_ || h > height_) {
        return false;
    }
    firstRow = samples_.data();
    stride = width_;
    return true;
}

}  // namespace imaging
