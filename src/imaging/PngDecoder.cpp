#include "imaging/PngDecoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <optional>

#include "common/PngChunks.h"
#include "common/ScratchBuffer.h"
#include "imaging/Bitmap.h"
#include "imaging/Flatten.h"

#include "imaging/PngFile.h"
#include "imaging/PngFilters.h"

namespace imaging {

namespace {

using png_filters::UndoFilter;
using vellumet::PngChunk;
using vellumet::PngChunkWalker;
using vellumet::ReadBigEndian32;

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor* ThreadDecompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    return decompressor.get();
}

// Rows are undone and stored in bands of this many. Turning a band writes kBandRows pixels side by
// side into each target row, and a band of slide-sized rows (a few thousand pixels) stays in the
// processor's second-level cache meanwhile.
constexpr int32_t kBandRows = 64;

// Stores one Bpp-byte pixel blue, green, red, laid on white.
template <int Bpp>
inline void StoreBgr(const uint8_t* source, uint8_t* target) {
    if constexpr (Bpp == 3) {
        target[0] = source[2];
        target[1] = source[1];
        target[2] = source[0];
    } else {
        StoreFlattenedBgr(source[0], source[1], source[2], source[3], target);
    }
}

// The undone rows of one band: rows[r] is picture row y0 + r.
struct Band {
    const uint8_t* rows[kBandRows];
    int32_t y0;
    int32_t count;
};

template <int Bpp>
void StoreBand(const Band& band, int32_t width, uint8_t* firstRow, ptrdiff_t stride) {
    for (int32_t r = 0; r < band.count; ++r) {
        const uint8_t* source = band.rows[r];
        uint8_t* target = firstRow + static_cast<ptrdiff_t>(band.y0 + r) * stride;
        for (int32_t x = 0; x < width; ++x, source += Bpp, target += 3) {
            StoreBgr<Bpp>(source, target);
        }
    }
}

// Stores the band turned 270 degrees clockwise: picture pixel (x, y) goes to target row
// width - 1 - x, column y, so each target row receives the band's pixels side by side.
template <int Bpp>
void StoreBandTurned(const Band& band, int32_t width, uint8_t* firstRow, ptrdiff_t stride) {
    for (int32_t x = 0; x < width; ++x) {
        uint8_t* target = firstRow + static_cast<ptrdiff_t>(width - 1 - x) * stride + ptrdiff_t{band.y0} * 3;
        const ptrdiff_t offset = ptrdiff_t{x} * Bpp;
        for (int32_t r = 0; r < band.count; ++r, target += 3) {
            StoreBgr<Bpp>(band.rows[r] + offset, target);
        }
    }
}

template <int Bpp>
bool UndoFiltersAndStore(uint8_t* raw, int32_t width, int32_t height, uint8_t* firstRow, ptrdiff_t stride,
                         bool turned) {
    const size_t rowBytes = static_cast<size_t>(width) * Bpp;
    thread_local vellumet::ScratchBuffer zeros;
    uint8_t* zeroRow = zeros.Get(rowBytes);
    if (zeroRow == nullptr) {
        return false;
    }
    std::memset(zeroRow, 0, rowBytes);
    const uint8_t* prev = zeroRow;
    bool ok = true;
    for (int32_t y0 = 0; y0 < height && ok; y0 += kBandRows) {
        Band band{{}, y0, 0};
        for (int32_t y = y0; y < height && y < y0 + kBandRows; ++y) {
            uint8_t* row = raw + static_cast<size_t>(y) * (rowBytes + 1);
            if (!UndoFilter<Bpp>(row[0], row + 1, prev, rowBytes)) {
                ok = false;
                break;
            }
            prev = band.rows[band.count++] = row + 1;
        }
        if (!ok) {
            break;
        }
        if (turned) {
            StoreBandTurned<Bpp>(band, width, firstRow, stride);
        } else {
            StoreBand<Bpp>(band, width, firstRow, stride);
        }
    }
    zeros.Trim();
    return ok;
}

}  // namespace

bool PngDecoder::ChunksFitInFile(const uint8_t* data, size_t size) {
    if (!vellumet::HasPngSignature(data, size)) {
        return false;
    }
    PngChunkWalker walker(data, size);
    PngChunk chunk;
    while (true) {
        switch (walker.Next(chunk)) {
            case PngChunkWalker::Step::End:
                return true;  // ends between chunks: nothing more is declared
            case PngChunkWalker::Step::Overrun:
                return false;
            case PngChunkWalker::Step::Chunk:
                if (chunk.Is("IEND")) {
                    return true;
                }
                break;
        }
    }
}

bool PngDecoder::Parse(const uint8_t* data, size_t size) {
    if (ParseChunks(data, size)) {
        return true;
    }
    // A declined file leaves nothing that Decode could work on.
    width_ = height_ = bytesPerPixel_ = 0;
    imageData_.clear();
    return false;
}

bool PngDecoder::ParseChunks(const uint8_t* data, size_t size) {
    width_ = height_ = bytesPerPixel_ = 0;
    imageData_.clear();
    const std::optional<PngFile> file = ReadPngFile(data, size);
    if (!file) {
        return false;
    }
    const vellumet::PngHeader& header = file->header;
    const uint32_t w = header.width;
    const uint32_t h = header.height;
    if (w > static_cast<uint32_t>(PDFWriter::kMaxImageSide) ||
        h > static_cast<uint32_t>(PDFWriter::kMaxImageSide) ||
        int64_t{w} * int64_t{h} * 4 > kMaxDecodeBytes) {
        return false;
    }
    // 8-bit RGB or RGBA, not interlaced, no transparent colour (left to the general decoder). A
    // suggested palette of a true-colour picture changes no pixel.
    if (header.bitDepth != 8 || (header.colourType != 2 && header.colourType != 6) || header.interlace != 0 ||
        file->transparency) {
        return false;
    }
    width_ = static_cast<int32_t>(w);
    height_ = static_cast<int32_t>(h);
    bytesPerPixel_ = header.colourType == 6 ? 4 : 3;
    for (const PngSpan& span : file->imageData) {
        imageData_.push_back({span.data, span.size});
    }
    return true;
}

bool PngDecoder::Decode(uint8_t* firstRow, ptrdiff_t stride, bool turned) const {
    if (width_ < 1 || height_ < 1 || imageData_.empty() || firstRow == nullptr) {
        return false;
    }
    libdeflate_decompressor* decompressor = ThreadDecompressor();
    if (decompressor == nullptr) {
        return false;
    }
    // Sides and pixel count were bounded by Parse, so these sizes cannot overflow.
    const size_t rowBytes = static_cast<size_t>(width_) * static_cast<size_t>(bytesPerPixel_);
    const size_t rawSize = (rowBytes + 1) * static_cast<size_t>(height_);

    // The zlib stream, in one piece: the single IDAT itself, or the chunks joined.
    thread_local vellumet::ScratchBuffer joined;
    const uint8_t* stream = imageData_.front().data;
    size_t streamSize = imageData_.front().size;
    if (imageData_.size() > 1) {
        streamSize = 0;
        for (const Span& span : imageData_) {
            streamSize += span.size;  // bounded by the file's size
        }
        uint8_t* const start = joined.Get(streamSize);
        if (start == nullptr) {
            return false;
        }
        uint8_t* out = start;
        for (const Span& span : imageData_) {
            std::memcpy(out, span.data, span.size);
            out += span.size;
        }
        stream = start;
    }

    thread_local vellumet::ScratchBuffer raw;
    uint8_t* rows = raw.Get(rawSize);
    size_t consumed = 0;
    size_t produced = 0;
    // Exactly the image's bytes, and no data after the stream's end.
    bool ok = rows != nullptr &&
              libdeflate_zlib_decompress_ex(decompressor, stream, streamSize, rows, rawSize, &consumed,
                                            &produced) == LIBDEFLATE_SUCCESS &&
              produced == rawSize && consumed == streamSize;
    if (ok) {
        ok = bytesPerPixel_ == 4 ? UndoFiltersAndStore<4>(rows, width_, height_, firstRow, stride, turned)
                                 : UndoFiltersAndStore<3>(rows, width_, height_, firstRow, stride, turned);
    }
    joined.Trim();
    raw.Trim();
    return ok;
}

}  // namespace imaging
