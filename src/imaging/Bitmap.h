#pragma once
// The bitmap layer of page imaging: decoding, a quarter turn, new 24-bit bitmaps, scaled drawing, a
// pen line and read-out of 24-bit rows. It is the only code that knows the imaging library (Qt's
// QImage); everything above works with Bitmap alone.
//
// Every bitmap holds opaque 24-bit pixels stored blue, green, red. A decoded picture with
// transparency is flattened onto white, and a new bitmap starts white (the reader's paper).
// A Bitmap is used by one thread at a time; different bitmaps may be used on different threads at
// once, with or without a running Qt application object. A thread that decodes keeps its decoding
// buffers (up to 32 MB, released when the thread ends) for its next picture of the same size.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/LeftOutPicture.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/PixelSource.h"

namespace imaging {

// Largest side of a bitmap that composition creates: a pair stacks two pictures of up to
// PDFWriter::kMaxImageSide each.
inline constexpr int32_t kMaxBitmapSide = 2 * PDFWriter::kMaxImageSide;
// Largest pixel data of one bitmap, in bytes (w * h * 3).
inline constexpr int64_t kMaxBitmapBytes = INT32_MAX;
// Largest decoded picture, in bytes of the decoder's own format; beyond it a picture is not decoded.
inline constexpr int64_t kMaxDecodeBytes = 256LL * 1024 * 1024;

// True when a w x h bitmap of 24-bit pixels is allowed: both sides from 1 to kMaxBitmapSide and
// w * h * 3 at most kMaxBitmapBytes. Computed without overflow for any arguments.
bool BitmapSizeAllowed(int64_t w, int64_t h);

class Bitmap final : public PDFWriter::PixelSource {
public:
    ~Bitmap() override;

    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // Asked with a decoded picture's width and height: true to have it loaded turned.
    using TurnDecision = std::function<bool(int32_t width, int32_t height)>;

    // Decodes the picture file at `path`. A PNG picture whose header declares a side above
    // PDFWriter::kMaxImageSide or more than kMaxDecodeBytes of pixels is decoded at a reduced size
    // (PngReducedDecoder.h); any other picture over those limits (checked before any pixel is
    // decoded) is refused. Returns null, with the reason in `*why` when `why` is given, when the
    // file cannot be read, decoded or reduced. When `turn` answers true (asked with the size
    // decoded), the bitmap comes out as RotateQuarter would leave it.
    static std::unique_ptr<Bitmap> Load(const std::wstring& path, const TurnDecision& turn = {},
                                        vellumet::LeftOutReason* why = nullptr);
    // The same for a picture file held in memory (size bytes at data).
    static std::unique_ptr<Bitmap> Decode(const uint8_t* data, size_t size);

    // A new white w x h bitmap; null when BitmapSizeAllowed(w, h) is false or memory is short.
    static std::unique_ptr<Bitmap> Create(int32_t w, int32_t h);

    int32_t Width() const override;
    int32_t Height() const override;

    // Replaces the pixels by the picture turned 270 degrees clockwise (a quarter turn to the
    // left): the top edge ends on the left, width and height swap. Returns false, leaving the
    // bitmap unchanged, when memory is short.
    bool RotateQuarter();

    // A new w x h bitmap holding the whole picture scaled into it (smooth resampling, aspect not
    // kept). Null when BitmapSizeAllowed(w, h) is false or memory is short.
    std::unique_ptr<Bitmap> Scaled(int32_t w, int32_t h) const;

    // Draws the whole `source` scaled into the rectangle (x, y, w, h) of this bitmap; the parts
    // outside this bitmap are clipped. Returns false when nothing could be drawn.
    bool DrawPicture(const Bitmap& source, int32_t x, int32_t y, int32_t w, int32_t h);

    // Draws a straight line from (x0, y0) to (x1, y1) with an opaque pen of colour 0xAARRGGBB and
    // width `penWidth` pixels, without antialiasing. A 1-pixel line along y covers pixel row y.
    void DrawLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t argb, double penWidth);

    // The pixel at (x, y) as 0xRRGGBB; 0 outside the bitmap.
    uint32_t PixelRgb(int32_t x, int32_t y) const;

    // PixelSource: the rows are the bitmap's own storage (no copy); valid until UnlockBits or the
    // next change of the bitmap.
    bool LockBitsBgr(int32_t w, int32_t h, const uint8_t*& firstRow, ptrdiff_t& stride) override;
    void UnlockBits() override;

    struct Pixels;  // the imaging library's image; defined in Bitmap.cpp

private:
    explicit Bitmap(std::unique_ptr<Pixels> pixels);

    std::unique_ptr<Pixels> pixels_;
};

}  // namespace imaging
