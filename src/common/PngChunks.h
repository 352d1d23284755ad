#pragma once
// The one reader of PNG file structure: the signature, the chunk headers and the image header
// (IHDR). It checks only that what it reads lies within the bytes it is given; what a chunk's
// contents mean, and whether its CRC matches, is up to the caller.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/PixelSize.h"

namespace vellumet {

inline constexpr size_t kPngSignatureSize = 8;

// True when the `size` bytes at `data` begin with the PNG signature.
bool HasPngSignature(const uint8_t* data, size_t size);

// The big-endian 32-bit number at `p` (PNG's byte order).
uint32_t ReadBigEndian32(const uint8_t* p);

// One chunk as it lies in the file: `type` points at its four type letters, `data` at its `length`
// bytes, followed by the four CRC bytes. The pointers point into the walked bytes.
struct PngChunk {
    uint32_t length = 0;
    const uint8_t* type = nullptr;
    const uint8_t* data = nullptr;

    bool Is(const char (&name)[5]) const;
};

// Walks the chunks of the `size` bytes at `data`, from just after the signature (which the caller
// has checked). The bytes must outlive the walker and the chunks it returns.
class PngChunkWalker {
public:
    enum class Step {
        Chunk,    // `chunk` is the next chunk, whole: header, data and CRC lie within the bytes
        End,      // fewer than 8 bytes are left: no further chunk header
        Overrun,  // the next chunk declares more bytes than are left after its header
    };

    PngChunkWalker(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // Reads the next chunk and moves past it; after End or Overrun it stays there.
    Step Next(PngChunk& chunk);

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = kPngSignatureSize;
};

// The fields of an image header.
struct PngHeader {
    uint32_t width = 0;  // 1 to 2^31 - 1, as are heights
    uint32_t height = 0;
    uint8_t bitDepth = 0;
    uint8_t colourType = 0;
    uint8_t compression = 0;
    uint8_t filter = 0;
    uint8_t interlace = 0;
};

// The header in an IHDR chunk, or nothing when the chunk is not 13 bytes long or a side is 0 or
// above 2^31 - 1.
std::optional<PngHeader> ReadPngHeader(const PngChunk& chunk);

// The header of a PNG file from its first `size` bytes (at least 29: signature, chunk header and
// the 13 header bytes; the CRC is not needed), or nothing when they do not begin with the signature
// and a valid IHDR chunk.
std::optional<PngHeader> ReadPngHeader(const uint8_t* fileStart, size_t size);

// The picture size the header of the PNG file at `path` declares; 0 x 0 when the file cannot be
// read or does not begin with the signature and a valid IHDR chunk.
PixelSize ReadPngFileSize(const std::wstring& path);

}  // namespace vellumet
