#pragma once
// The checked structure of a whole PNG file, for the picture decoders of this folder: its header,
// its palette and transparency chunks and its image data, each chunk's CRC checked, the critical
// chunks in their required order, and nothing critical this reader does not know.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/PngChunks.h"

namespace imaging {

struct PngSpan {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

struct PngFile {
    vellumet::PngHeader header;
    std::optional<PngSpan> palette;       // PLTE: 1..256 entries of red, green, blue
    std::optional<PngSpan> transparency;  // tRNS, as stored
    std::vector<PngSpan> imageData;       // the non-empty IDAT chunks' data, in file order
};

// The structure of the `size` bytes at `data` (which must outlive the result), or nothing when they
// are not a plainly valid PNG file: a bad signature, CRC or chunk order, a truncated file, an
// unknown critical chunk, a header with values PNG does not define, a palette picture without a
// palette. The pixels themselves are not looked at.
std::optional<PngFile> ReadPngFile(const uint8_t* data, size_t size);

}  // namespace imaging
