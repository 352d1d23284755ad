#pragma once
// A picture held in memory as blue, green, red rows, for image-object tests.

#include <cstdint>
#include <vector>

#include "pdfwriter/PixelSource.h"

class FakePicture : public PDFWriter::PixelSource {
public:
    FakePicture(int32_t width, int32_t height, uint8_t blue, uint8_t green, uint8_t red)
        : width_(width), height_(height), stride_(width * 3 + 5) {
        bgr_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height), 0xEE);  // padding shows
        for (int32_t r = 0; r < height; ++r) {
            for (int32_t c = 0; c < width; ++c) {
                uint8_t* p = &bgr_[static_cast<size_t>(r * stride_ + c * 3)];
                p[0] = blue;
                p[1] = green;
                p[2] = red;
            }
        }
    }
    uint8_t* Pixel(int32_t column, int32_t row) {
        return &bgr_[static_cast<size_t>(row * stride_ + column * 3)];
    }

    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    bool LockBitsBgr(int32_t w, int32_t h, const uint8_t*& firstRow, ptrdiff_t& stride) override {
        if (refuseLock || w > width_ || h > height_) {
            return false;
        }
        ++locks;
        firstRow = bgr_.data();
        stride = stride_;
        return true;
    }
    void UnlockBits() override { ++unlocks; }

    bool refuseLock = false;
    int locks = 0;
    int unlocks = 0;

private:
    int32_t width_;
    int32_t height_;
    int32_t stride_;
    std::vector<uint8_t> bgr_;
};
