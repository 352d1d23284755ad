#pragma once
// A picture whose pixels an image object can read out as 24-bit rows or as rows of gray samples.
// The imaging layer implements it over its bitmaps and gray pages; the PDF writer knows nothing
// else about pictures.

#include <cstddef>
#include <cstdint>

namespace PDFWriter {

class PixelSource {
public:
    virtual ~PixelSource() = default;

    // Size in pixels; 0 when unknown.
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;

    // Locks the rectangle (0, 0, w, h), 0 < w <= Width(), 0 < h <= Height(), for reading as
    // 24-bit pixels stored blue, green, red. On success `firstRow` points at the top row and
    // `stride` is the byte distance between rows; both stay valid until UnlockBits. Returns false
    // when the picture cannot be read; UnlockBits is then not called.
    virtual bool LockBitsBgr(int32_t w, int32_t h, const uint8_t*& firstRow, ptrdiff_t& stride) = 0;
    // The same for gray samples, one byte a pixel, each within 0..255 for 8 bits a sample and
    // within 0..15 for 4. A picture without gray samples returns false.
    virtual bool LockBitsGray(int32_t /*w*/, int32_t /*h*/, const uint8_t*& /*firstRow*/,
                              ptrdiff_t& /*stride*/) {
        return false;
    }
    virtual void UnlockBits() = 0;
};

}  // namespace PDFWriter
