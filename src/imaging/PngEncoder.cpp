#include "imaging/PngEncoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <new>

#include "imaging/RunLengthDeflate.h"
#include "pdfwriter/ImageObject.h"

namespace imaging {

namespace {

constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr uint8_t kFilterUp = 2;
constexpr int kFastestLevel = 1;
constexpr size_t kRunLengthShareDenominator = 3;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 24));
    out.push_back(static_cast<uint8_t>(value >> 16));
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// Appends one chunk: length, type, `size` data bytes, CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], const uint8_t* data, size_t size) {
    PutBigEndian32(out, static_cast<uint32_t>(size));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    if (size > 0) {
        out.insert(out.end(), data, data + size);
    }
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out.data() + typeAt, static_cast<uInt>(size + 4));
    PutBigEndian32(out, static_cast<uint32_t>(crc));
}

// The zlib stream of `size` bytes at the fastest level of the general compressor; empty on failure.
std::vector<uint8_t> GeneralZlib(const uint8_t* data, size_t size) {
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kFastestLevel));
    if (!compressor) {
        return {};
    }
    std::vector<uint8_t> compressed(libdeflate_zlib_compress_bound(compressor.get(), size));
    compressed.resize(
        libdeflate_zlib_compress(compressor.get(), data, size, compressed.data(), compressed.size()));
    return compressed;
}

}  // namespace

std::vector<uint8_t> EncodeRgbPng(const uint8_t* firstRow, ptrdiff_t stride, int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > PDFWriter::kMaxImageSide || height > PDFWriter::kMaxImageSide) {
        return {};
    }
    try {
        // Each row is its filter byte and the differences to the row above ("Up"), which turns the
        // large flat areas of slides into runs of zeros.
        const size_t rowBytes = static_cast<size_t>(width) * 3;
        const size_t rawSize = (rowBytes + 1) * static_cast<size_t>(height);
        std::vector<uint8_t> raw(rawSize);
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* row = firstRow + stride * y;
            uint8_t* out = raw.data() + (rowBytes + 1) * static_cast<size_t>(y);
            out[0] = kFilterUp;
            if (y == 0) {
                std::memcpy(out + 1, row, rowBytes);
                continue;
            }
            const uint8_t* above = row - stride;
            for (size_t i = 0; i < rowBytes; ++i) {
                out[1 + i] = static_cast<uint8_t>(row[i] - above[i]);
            }
        }

        // Runs first: slides are mostly flat. Data the runs cannot shrink to a third goes through
        // the general compressor, so that pictures of photos stay small on the disk.
        std::vector<uint8_t> compressed = RunLengthZlib(raw.data(), rawSize);
        if (compressed.empty() || compressed.size() > rawSize / kRunLengthShareDenominator) {
            compressed = GeneralZlib(raw.data(), rawSize);
        }
        const size_t compressedSize = compressed.size();
        if (compressedSize == 0 || compressedSize > 0x7FFFFFFF) {
            return {};
        }

        uint8_t header[13];
        const uint32_t sides[2] = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
        for (int s = 0; s < 2; ++s) {
            for (int b = 0; b < 4; ++b) {
                header[4 * s + b] = static_cast<uint8_t>(sides[s] >> (24 - 8 * b));
            }
        }
        header[8] = 8;   // bits per channel
        header[9] = 2;   // colour type: RGB
        header[10] = 0;  // deflate
        header[11] = 0;  // adaptive filtering
        header[12] = 0;  // not interlaced

        std::vector<uint8_t> file;
        file.reserve(sizeof kSignature + 3 * 12 + sizeof header + compressedSize);
        file.insert(file.end(), std::begin(kSignature), std::end(kSignature));
        PutChunk(file, "IHDR", header, sizeof header);
        PutChunk(file, "IDAT", compressed.data(), compressedSize);
        PutChunk(file, "IEND", nullptr, 0);
        return file;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace imaging
