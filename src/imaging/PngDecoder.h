#pragma once
// A fast decoder for the PNG pictures that slide exports produce: 8 bits per channel, RGB or RGBA,
// not interlaced, no transparency chunk. It decodes straight to the bitmap layer's 24-bit rows (blue,
// green, red, transparent pixels laid on white) with a fast inflate.
//
// It declines everything else, damaged files included, so that the general decoder reads them and a
// picture decodes to the same pixels, or fails, whichever decoder is tried first.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging {

class PngDecoder {
public:
    // Checks the signature, the header and the chunk structure of the `size` bytes at `data`, which
    // must stay valid and unchanged until Decode returns. False when the decoder declines the file:
    // another kind of picture, a kind of PNG it does not handle, a chunk with a bad CRC or a
    // structure that is not plainly valid. A side above PDFWriter::kMaxImageSide or more than
    // kMaxDecodeBytes of pixels is declined too.
    bool Parse(const uint8_t* data, size_t size);

    // False when `data` is not a PNG file or a chunk of it declares more bytes than the file holds after it.
    // Such a file is truncated or forged; a general decoder would first allocate what the chunk
    // declares (up to 2 GB) and then fail on the missing bytes anyway.
    static bool ChunksFitInFile(const uint8_t* data, size_t size);

    // The picture's size; valid after Parse returned true.
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

    // Decodes the picture into 24-bit rows `stride` bytes apart from `firstRow` on: Height() rows of
    // Width() pixels, or with `turned` the picture turned 270 degrees clockwise (the top edge on the
    // left), Width() rows of Height() pixels. False when the image data turns out damaged; the rows
    // then hold no meaningful pixels. Call after a successful Parse only. Keeps its working buffers
    // per thread (up to 16 MB) for the next picture.
    bool Decode(uint8_t* firstRow, ptrdiff_t stride, bool turned = false) const;

private:
    struct Span {
        const uint8_t* data;
        size_t size;
    };

    bool ParseChunks(const uint8_t* data, size_t size);

    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t bytesPerPixel_ = 0;    // 3 for RGB, 4 for RGBA
    std::vector<Span> imageData_;  // the IDAT chunks' data, in file order
};

}  // namespace imaging
