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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor* ThreadDecompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    return decompressor.get();
}

// --- Row filters (PNG filter method 0), undone in place. `prev` is the row above, already undone
// (zeros above the first row); `n` bytes per row; Bpp bytes per pixel.

template <int Bpp>
void UndoSub(uint8_t* row, size_t n) {
    for (size_t i = Bpp; i < n; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + row[i - Bpp]);
    }
}

void UndoUp(uint8_t* row, const uint8_t* prev, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + prev[i]);
    }
}

#if defined(__SSE2__)

// One pixel of Bpp (3 or 4) bytes in the low bytes of a register, without reading past it.
template <int Bpp>
inline __m128i LoadPixel(const uint8_t* p) {
    uint32_t v = 0;
    if constexpr (Bpp == 4) {
        std::memcpy(&v, p, 4);
    } else {
        // Put together in registers: a 3-byte copy through memory stalls the following load.
        v = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
    }
    return _mm_cvtsi32_si128(static_cast<int>(v));
}

template <int Bpp>
inline void StorePixel(uint8_t* p, __m128i v) {
    const auto bits = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
    std::memcpy(p, &bits, Bpp);
}

template <int Bpp>
void UndoAverage(uint8_t* row, const uint8_t* prev, size_t n) {
    const __m128i one = _mm_set1_epi8(1);
    __m128i a = _mm_setzero_si128();
    for (size_t i = 0; i + Bpp <= n; i += Bpp) {
        const __m128i b = LoadPixel<Bpp>(prev + i);
        // floor((a + b) / 2): the rounding-up average less the carried low bit.
        const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        a = _mm_add_epi8(LoadPixel<Bpp>(row + i), mean);
        StorePixel<Bpp>(row + i, a);
    }
}

template <int Bpp>
void UndoPaeth(uint8_t* row, const uint8_t* prev, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero;  // left, 16 bits a channel
    __m128i c = zero;  // upper left
    for (size_t i = 0; i + Bpp <= n; i += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(LoadPixel<Bpp>(prev + i), zero);
        const __m128i bc = _mm_sub_epi16(b, c);
        const __m128i ac = _mm_sub_epi16(a, c);
        const __m128i sum = _mm_add_epi16(bc, ac);
        const __m128i pa = _mm_max_epi16(bc, _mm_sub_epi16(zero, bc));
        const __m128i pb = _mm_max_epi16(ac, _mm_sub_epi16(zero, ac));
        const __m128i pc = _mm_max_epi16(sum, _mm_sub_epi16(zero, sum));
        const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
        // a where pa is smallest, else b where pb is, else c: the predictor's order of preference.
        const __m128i useA = _mm_cmpeq_epi16(smallest, pa);
        const __m128i useB = _mm_andnot_si128(useA, _mm_cmpeq_epi16(smallest, pb));
        const __m128i useC = _mm_andnot_si128(_mm_or_si128(useA, useB), _mm_set1_epi16(-1));
        const __m128i predicted = _mm_or_si128(_mm_or_si128(_mm_and_si128(useA, a), _mm_and_si128(useB, b)),
                                               _mm_and_si128(useC, c));
        const __m128i pixel = _mm_add_epi8(LoadPixel<Bpp>(row + i), _mm_packus_epi16(predicted, zero));
        StorePixel<Bpp>(row + i, pixel);
        a = _mm_unpacklo_epi8(pixel, zero);
        c = b;
    }
}

#else

inline uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = b > c ? b - c : c - b;
    const int pb = a > c ? a - c : c - a;
    const int pc = a + b - 2 * c > 0 ? a + b - 2 * c : 2 * c - a - b;
    if (pa <= pb && pa <= pc) {
        return static_cast<uint8_t>(a);
    }
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

template <int Bpp>
void UndoAverage(uint8_t* row, const uint8_t* prev, size_t n) {
    for (size_t i = 0; i < Bpp; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + (prev[i] >> 1));
    }
    for (size_t i = Bpp; i < n; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + ((row[i - Bpp] + prev[i]) >> 1));
    }
}

template <int Bpp>
void UndoPaeth(uint8_t* row, const uint8_t* prev, size_t n) {
    for (size_t i = 0; i < Bpp; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + prev[i]);
    }
    for (size_t i = Bpp; i < n; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + PaethPredictor(row[i - Bpp], prev[i], prev[i - Bpp]));
    }
}

#endif

// Undoes the filter named by `filter` on one row; false for an unknown filter.
template <int Bpp>
bool UndoFilter(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n) {
    switch (filter) {
        case 0:
            return true;
        case 1:
            UndoSub<Bpp>(row, n);
            return true;
        case 2:
            UndoUp(row, prev, n);
            return true;
        case 3:
            UndoAverage<Bpp>(row, prev, n);
            return true;
        case 4:
            UndoPaeth<Bpp>(row, prev, n);
            return true;
        default:
            return false;
    }
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
    if (!vellumet::HasPngSignature(data, size)) {
        return false;
    }
    PngChunkWalker walker(data, size);
    PngChunk chunk;
    bool seenHeader = false;
    bool seenPalette = false;
    bool seenImageData = false;   // an IDAT chunk, even an empty one, came
    bool imageDataEnded = false;  // and another chunk followed it
    while (true) {
        if (walker.Next(chunk) != PngChunkWalker::Step::Chunk) {
            return false;  // truncated before IEND, or a chunk longer than the file
        }
        const uint32_t length = chunk.length;
        if (length > kMaxChunkLength || !IsValidType(chunk.type)) {
            return false;
        }
        const bool isHeader = chunk.Is("IHDR");
        if (seenHeader == isHeader) {
            return false;  // IHDR must come first, and once
        }
        if (chunk.Is("IDAT")) {
            if (imageDataEnded || !CrcMatches(chunk)) {
                return false;
            }
            seenImageData = true;
            if (length > 0) {
                imageData_.push_back({chunk.data, length});
            }
        } else {
            imageDataEnded = seenImageData;
            if (isHeader) {
                const std::optional<vellumet::PngHeader> header = vellumet::ReadPngHeader(chunk);
                if (!header || !CrcMatches(chunk)) {
                    return false;
                }
                const uint32_t w = header->width;
                const uint32_t h = header->height;
                if (w > static_cast<uint32_t>(PDFWriter::kMaxImageSide) ||
                    h > static_cast<uint32_t>(PDFWriter::kMaxImageSide) ||
                    int64_t{w} * int64_t{h} * 4 > kMaxDecodeBytes) {
                    return false;
                }
                // 8-bit RGB or RGBA, deflate, filter method 0, no interlacing.
                if (header->bitDepth != 8 || (header->colourType != 2 && header->colourType != 6) ||
                    header->compression != 0 || header->filter != 0 || header->interlace != 0) {
                    return false;
                }
                width_ = static_cast<int32_t>(w);
                height_ = static_cast<int32_t>(h);
                bytesPerPixel_ = header->colourType == 6 ? 4 : 3;
                seenHeader = true;
            } else if (chunk.Is("IEND")) {
                if (length != 0 || !CrcMatches(chunk) || imageData_.empty()) {
                    return false;
                }
                return true;
            } else if (chunk.Is("tRNS")) {
                return false;  // a transparent colour: left to the general decoder
            } else if (chunk.Is("PLTE")) {
                // A suggested palette of a true-colour picture; it changes no pixel, but one out of
                // place or of a wrong length makes the file invalid.
                if (seenPalette || seenImageData || length == 0 || length % 3 != 0 || length > 768 ||
                    !CrcMatches(chunk)) {
                    return false;
                }
                seenPalette = true;
            } else if (IsCritical(chunk.type)) {
                return false;
            }
            // Other ancillary chunks (text, colour space, time) change no pixel and are skipped.
        }
    }
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
