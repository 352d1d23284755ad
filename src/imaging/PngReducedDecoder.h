#pragma once
// Decoding a valid PNG picture that is too large to decode whole (a side above
// PDFWriter::kMaxImageSide, or more than kMaxDecodeBytes of pixels) at a reduced size: every
// factor x factor block of pixels becomes their mean. Rows are inflated, unfiltered and folded into
// the result one at a time, so memory stays at the result plus a few rows whatever the picture's
// size. A page needs at most a few thousand pixels a side, so the factor is the smallest that
// brings both sides to kMaxReducedSide or less.
//
// Every colour type and bit depth of PNG is read (16-bit samples by their high byte); transparent
// pixels are laid on white as the other decoders lay them. Interlaced pictures are declined.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "imaging/PngFile.h"

namespace imaging {

// The largest side of a reduced picture.
inline constexpr int32_t kMaxReducedSide = 4096;
// The most pixels a picture may have to be decoded at a reduced size; inflating more would take
// longer than a conversion should.
inline constexpr int64_t kMaxReducedSourcePixels = 400LL * 1000 * 1000;

class PngReducedDecoder {
public:
    // Checks the `size` bytes at `data`, which must stay valid and unchanged until Decode returns.
    // True for a plainly valid, not interlaced PNG picture over the decode limits and within
    // kMaxReducedSourcePixels; false for everything else (pictures within the limits included).
    bool Parse(const uint8_t* data, size_t size);

    // The reduced size; valid after Parse returned true.
    int32_t Width() const { return reducedWidth_; }
    int32_t Height() const { return reducedHeight_; }
    int32_t Factor() const { return factor_; }

    // Decodes into Height() rows of Width() 24-bit pixels (blue, green, red) `stride` bytes apart
    // from `firstRow` on. False when the image data turns out damaged or memory is short; the rows
    // then hold no meaningful pixels. Call after a successful Parse only.
    bool Decode(uint8_t* firstRow, ptrdiff_t stride) const;

private:
    std::optional<PngFile> file_;
    int32_t factor_ = 0;
    int32_t reducedWidth_ = 0;
    int32_t reducedHeight_ = 0;
};

}  // namespace imaging
