#include "imaging/PngFile.h"

#include <zlib.h>

namespace imaging {

namespace {

using vellumet::PngChunk;
using vellumet::PngChunkWalker;
using vellumet::ReadBigEndian32;

constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;

// Chunk types are four ASCII letters.
bool IsValidType(const uint8_t* type) {
    for (int i = 0; i < 4; ++i) {
        const uint8_t letter = type[i] & static_cast<uint8_t>(~0x20U);
        if (letter < 'A' || letter > 'Z') {
            return false;
        }
    }
    return true;
}

// Bit 5 of the first letter clear: a chunk a decoder must understand.
bool IsCritical(const uint8_t* type) {
    return (type[0] & 0x20) == 0;
}

bool CrcMatches(const PngChunk& chunk) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // Chunk lengths are at most 2^31 - 1, which uInt holds.
    crc = crc32(crc, chunk.type, static_cast<uInt>(chunk.length) + 4);
    return static_cast<uint32_t>(crc) == ReadBigEndian32(chunk.data + chunk.length);
}

// The colour types and bit depths PNG defines, compression and filter method 0, interlace 0 or 1.
bool HeaderValuesDefined(const vellumet::PngHeader& header) {
    const uint8_t depth = header.bitDepth;
    bool depthFits = false;
    switch (header.colourType) {
        case 0:
            depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
            break;
        case 3:
            depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8;
            break;
        case 2:
        case 4:
        case 6:
            depthFits = depth == 8 || depth == 16;
            break;
        default:
            return false;
    }
    return depthFits && header.compression == 0 && header.filter == 0 && header.interlace <= 1;
}

}  // namespace

std::optional<PngFile> ReadPngFile(const uint8_t* data, size_t size) {
    if (!vellumet::HasPngSignature(data, size)) {
        return std::nullopt;
    }
    PngFile file;
    PngChunkWalker walker(data, size);
    PngChunk chunk;
    bool seenHeader = false;
    bool seenImageData = false;   // an IDAT chunk, even an empty one, came
    bool imageDataEnded = false;  // and another chunk followed it
    while (true) {
        if (walker.Next(chunk) != PngChunkWalker::Step::Chunk) {
            return std::nullopt;  // truncated before IEND, or a chunk longer than the file
        }
        const uint32_t length = chunk.length;
        if (length > kMaxChunkLength || !IsValidType(chunk.type)) {
            return std::nullopt;
        }
        const bool isHeader = chunk.Is("IHDR");
        if (seenHeader == isHeader) {
            return std::nullopt;  // IHDR must come first, and once
        }
        if (!isHeader && !IsCritical(chunk.type) && !chunk.Is("tRNS")) {
            // Ancillary chunks (text, colour space, time) change no pixel and are skipped.
            imageDataEnded = seenImageData;
            continue;
        }
        if (!CrcMatches(chunk)) {
            return std::nullopt;
        }
        if (chunk.Is("IDAT")) {
            if (imageDataEnded) {
                return std::nullopt;
            }
            seenImageData = true;
            if (length > 0) {
                file.imageData.push_back({chunk.data, length});
            }
            continue;
        }
        imageDataEnded = seenImageData;
        if (isHeader) {
            const std::optional<vellumet::PngHeader> header = vellumet::ReadPngHeader(chunk);
            if (!header || !HeaderValuesDefined(*header)) {
                return std::nullopt;
            }
            file.header = *header;
            seenHeader = true;
        } else if (chunk.Is("IEND")) {
            if (length != 0 || file.imageData.empty() || (file.header.colourType == 3 && !file.palette)) {
                return std::nullopt;
            }
            return file;
        } else if (chunk.Is("PLTE")) {
            // Before the image data, once, whole entries; a grey picture has none.
            if (file.palette || seenImageData || length == 0 || length % 3 != 0 || length > 768 ||
                file.header.colourType == 0 || file.header.colourType == 4) {
                return std::nullopt;
            }
            file.palette = PngSpan{chunk.data, length};
        } else if (chunk.Is("tRNS")) {
            if (file.transparency || seenImageData) {
                return std::nullopt;
            }
            file.transparency = PngSpan{chunk.data, length};
        } else {
            return std::nullopt;  // a critical chunk this reader does not know
        }
    }
}

}  // namespace imaging
