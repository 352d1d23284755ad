#include "imaging/PngReducedDecoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/Flatten.h"
#include "imaging/PngFilters.h"

namespace imaging {

namespace {

// Wider rows than this are declined, so that a row buffer stays small.
constexpr uint32_t kMaxSourceSide = 1u << 18;

int32_t CeilDiv(int64_t a, int64_t b) {
    return static_cast<int32_t>((a + b - 1) / b);
}

int ChannelsOf(uint8_t colourType) {
    switch (colourType) {
        case 2:
            return 3;
        case 4:
            return 2;
        case 6:
            return 4;
        default:
            return 1;  // grey, palette index
    }
}

// Pulls the inflated image data out of the IDAT chunks, one row at a time.
class RowInflater {
public:
    explicit RowInflater(const std::vector<PngSpan>& chunks) : chunks_(chunks) {
        ok_ = inflateInit(&stream_) == Z_OK;
    }
    ~RowInflater() {
        if (ok_) {
            inflateEnd(&stream_);
        }
    }
    RowInflater(const RowInflater&) = delete;
    RowInflater& operator=(const RowInflater&) = delete;

    // Fills `n` bytes at `out`; false when the stream ends early or is damaged.
    bool Read(uint8_t* out, size_t n) {
        stream_.next_out = out;
        while (ok_ && n > 0) {
            if (stream_.avail_in == 0) {
                if (next_ == chunks_.size()) {
                    return false;
                }
                stream_.next_in = const_cast<Bytef*>(chunks_[next_].data);
                stream_.avail_in = static_cast<uInt>(chunks_[next_].size);  // at most 2^31 - 1
                ++next_;
            }
            const uInt wanted = static_cast<uInt>(std::min<size_t>(n, 1u << 30));
            stream_.avail_out = wanted;
            const int status = inflate(&stream_, Z_NO_FLUSH);
            n -= wanted - stream_.avail_out;
            if (status == Z_STREAM_END) {
                ended_ = true;
                return n == 0;
            }
            if (status != Z_OK && status != Z_BUF_ERROR) {
                return false;
            }
        }
        return ok_;
    }

    // True when the stream ended with the last row: no more image data follows.
    bool EndsHere() {
        if (!ok_) {
            return false;
        }
        uint8_t extra = 0;
        return ended_ || (!Read(&extra, 1) && ended_);
    }

private:
    const std::vector<PngSpan>& chunks_;
    size_t next_ = 0;
    z_stream stream_{};
    bool ok_ = false;
    bool ended_ = false;
};

// The colours of one picture's pixels, laid on white, as blue, green, red.
class PixelReader {
public:
    explicit PixelReader(const PngFile& file) : header_(file.header) {
        if (file.palette) {
            const size_t entries = file.palette->size / 3;
            for (size_t i = 0; i < entries; ++i) {
                const uint8_t* rgb = file.palette->data + i * 3;
                palette_[i] = {rgb[0], rgb[1], rgb[2], 255};
            }
        }
        if (file.transparency) {
            const PngSpan& t = *file.transparency;
            if (header_.colourType == 3) {
                for (size_t i = 0; i < t.size && i < 256; ++i) {
                    palette_[i][3] = t.data[i];
                }
            } else if (header_.colourType == 0 && t.size >= 2) {
                key_ = {static_cast<uint16_t>((t.data[0] << 8) | t.data[1])};
                hasKey_ = true;
            } else if (header_.colourType == 2 && t.size >= 6) {
                for (int c = 0; c < 3; ++c) {
                    key_[static_cast<size_t>(c)] =
                        static_cast<uint16_t>((t.data[2 * c] << 8) | t.data[2 * c + 1]);
                }
                hasKey_ = true;
            }
        }
    }

    // Converts one unfiltered row of `width` pixels into 24-bit pixels at `bgr`.
    void Row(const uint8_t* row, int32_t width, uint8_t* bgr) const {
        const int depth = header_.bitDepth;
        const bool wide = depth == 16;
        const auto sample = [row, wide](size_t index) -> uint16_t {
            return wide ? static_cast<uint16_t>((row[2 * index] << 8) | row[2 * index + 1]) : row[index];
        };
        const auto eight = [wide](uint16_t v) -> uint32_t { return wide ? v >> 8 : v; };
        for (int32_t x = 0; x < width; ++x, bgr += 3) {
            const auto i = static_cast<size_t>(x);
            switch (header_.colourType) {
                case 0: {
                    const uint16_t v = depth < 8 ? SubByte(row, i, depth) : sample(i);
                    const uint32_t grey = depth < 8 ? v * 255u / ((1u << depth) - 1) : eight(v);
                    const uint32_t alpha = hasKey_ && v == key_[0] ? 0 : 255;
                    StoreFlattenedBgr(grey, grey, grey, alpha, bgr);
                    break;
                }
                case 2: {
                    const uint16_t r = sample(i * 3), g = sample(i * 3 + 1), b = sample(i * 3 + 2);
                    const bool keyed = hasKey_ && r == key_[0] && g == key_[1] && b == key_[2];
                    StoreFlattenedBgr(eight(r), eight(g), eight(b), keyed ? 0 : 255, bgr);
                    break;
                }
                case 3: {
                    const auto& entry = palette_[depth < 8 ? SubByte(row, i, depth) : row[i]];
                    StoreFlattenedBgr(entry[0], entry[1], entry[2], entry[3], bgr);
                    break;
                }
                case 4: {
                    const uint32_t grey = eight(sample(i * 2));
                    StoreFlattenedBgr(grey, grey, grey, eight(sample(i * 2 + 1)), bgr);
                    break;
                }
                default:
                    StoreFlattenedBgr(eight(sample(i * 4)), eight(sample(i * 4 + 1)),
                                      eight(sample(i * 4 + 2)), eight(sample(i * 4 + 3)), bgr);
                    break;
            }
        }
    }

private:
    // Sample `index` of a row of 1-, 2- or 4-bit samples, packed from the high bits down.
    static uint16_t SubByte(const uint8_t* row, size_t index, int depth) {
        const size_t bit = index * static_cast<size_t>(depth);
        const int shift = 8 - depth - static_cast<int>(bit % 8);
        return static_cast<uint16_t>((row[bit / 8] >> shift) & ((1 << depth) - 1));
    }

    vellumet::PngHeader header_;
    // Entries beyond the stored palette are opaque black, as most decoders show them.
    std::array<std::array<uint8_t, 4>, 256> palette_{};
    std::array<uint16_t, 3> key_{};
    bool hasKey_ = false;
};

}  // namespace

bool PngReducedDecoder::Parse(const uint8_t* data, size_t size) {
    file_.reset();
    factor_ = reducedWidth_ = reducedHeight_ = 0;
    std::optional<PngFile> file = ReadPngFile(data, size);
    if (!file || file->header.interlace != 0) {
        return false;
    }
    const int64_t w = file->header.width;
    const int64_t h = file->header.height;
    const bool overLimits =
        w > PDFWriter::kMaxImageSide || h > PDFWriter::kMaxImageSide || w * h * 4 > kMaxDecodeBytes;
    if (!overLimits || w > kMaxSourceSide || h > kMaxSourceSide || w * h > kMaxReducedSourcePixels) {
        return false;
    }
    factor_ = std::max({2, CeilDiv(w, kMaxReducedSide), CeilDiv(h, kMaxReducedSide)});
    reducedWidth_ = CeilDiv(w, factor_);
    reducedHeight_ = CeilDiv(h, factor_);
    file_ = std::move(file);
    return true;
}

bool PngReducedDecoder::Decode(uint8_t* firstRow, ptrdiff_t stride) const {
    if (!file_ || factor_ < 2 || firstRow == nullptr) {
        return false;
    }
    const vellumet::PngHeader& header = file_->header;
    const auto width = static_cast<int32_t>(header.width);
    const auto height = static_cast<int32_t>(header.height);
    const size_t bitsPerPixel = static_cast<size_t>(ChannelsOf(header.colourType)) * header.bitDepth;
    const size_t rowBytes = (static_cast<size_t>(width) * bitsPerPixel + 7) / 8;
    const int filterBpp = std::max<int>(1, static_cast<int>(bitsPerPixel / 8));

    // Each row buffer holds the filter byte, then the row; the previous row starts as zeros.
    std::vector<uint8_t> current(rowBytes + 1);
    std::vector<uint8_t> previous(rowBytes + 1, 0);
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * 3);
    std::vector<uint32_t> sums(static_cast<size_t>(reducedWidth_) * 3, 0);

    RowInflater inflater(file_->imageData);
    const PixelReader pixels(*file_);
    int32_t rowsInBand = 0;
    int32_t target = 0;
    for (int32_t y = 0; y < height; ++y) {
        if (!inflater.Read(current.data(), current.size()) ||
            !png_filters::UndoFilterAnyBpp(filterBpp, current[0], current.data() + 1, previous.data() + 1,
                                           rowBytes)) {
            return false;
        }
        pixels.Row(current.data() + 1, width, bgr.data());
        for (int32_t x = 0; x < width; ++x) {
            uint32_t* sum = &sums[static_cast<size_t>(x / factor_) * 3];
            const uint8_t* pixel = &bgr[static_cast<size_t>(x) * 3];
            sum[0] += pixel[0];
            sum[1] += pixel[1];
            sum[2] += pixel[2];
        }
        current.swap(previous);
        if (++rowsInBand < factor_ && y + 1 < height) {
            continue;
        }
        // A band of rows is complete: each block's mean, rounded, over the pixels it holds.
        uint8_t* out = firstRow + static_cast<ptrdiff_t>(target) * stride;
        for (int32_t column = 0; column < reducedWidth_; ++column) {
            const int32_t blockWidth = std::min(factor_, width - column * factor_);
            const auto count = static_cast<uint32_t>(blockWidth * rowsInBand);
            for (int c = 0; c < 3; ++c) {
                uint32_t& sum = sums[static_cast<size_t>(column) * 3 + static_cast<size_t>(c)];
                out[column * 3 + c] = static_cast<uint8_t>((sum + count / 2) / count);
                sum = 0;
            }
        }
        rowsInBand = 0;
        ++target;
    }
    return target == reducedHeight_ && inflater.EndsHere();
}

}  // namespace imaging
