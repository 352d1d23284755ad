// The fast PNG decoder must give exactly the pixels Qt's decoder gives (laid on white, blue-green-red),
// and decline every file it does not handle cleanly so that Qt decides about it.

#include "imaging/PngDecoder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <QImage>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/Flatten.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutBigEndian32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(v >> shift));
    }
}

void PutChunk(Bytes& out, const char* type, const Bytes& data, bool goodCrc = true) {
    PutBigEndian32(out, static_cast<uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    const auto crc = static_cast<uint32_t>(crc32(0L, body.data(), static_cast<uInt>(body.size())));
    PutBigEndian32(out, goodCrc ? crc : crc ^ 1U);
}

Bytes Header(uint32_t w, uint32_t h, uint8_t depth, uint8_t colourType, uint8_t interlace = 0) {
    Bytes ihdr;
    PutBigEndian32(ihdr, w);
    PutBigEndian32(ihdr, h);
    ihdr.insert(ihdr.end(), {depth, colourType, 0, 0, interlace});
    return ihdr;
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

// Applies PNG filter `type` to `row` (bpp bytes a pixel) given the unfiltered row above.
Bytes Filter(int type, const Bytes& row, const Bytes& above, size_t bpp) {
    Bytes out(row.size());
    for (size_t i = 0; i < row.size(); ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0;
        const int b = above[i];
        const int c = i >= bpp ? above[i - bpp] : 0;
        const int predicted = type == 1   ? a
                              : type == 2 ? b
                              : type == 3 ? (a + b) / 2
                              : type == 4 ? Paeth(a, b, c)
                                          : 0;
        out[i] = static_cast<uint8_t>(row[i] - predicted);
    }
    return out;
}

// An 8-bit RGB (3 channels) or RGBA (4) picture of noise with runs and edges, and every row's
// filter chosen by `filterOfRow`.
struct PngRecipe {
    uint32_t width = 37;
    uint32_t height = 29;
    int channels = 3;
    std::function<int(uint32_t y)> filterOfRow = [](uint32_t y) { return static_cast<int>(y % 5); };
    size_t idatPieces = 1;       // the zlib stream split over this many IDAT chunks
    Bytes betweenHeaderAndData;  // extra chunks before the first IDAT
    unsigned seed = 1;
};

Bytes RawRows(const PngRecipe& recipe) {
    std::mt19937 random(recipe.seed);
    const size_t rowBytes = recipe.width * static_cast<size_t>(recipe.channels);
    Bytes raw;
    Bytes above(rowBytes, 0);
    for (uint32_t y = 0; y < recipe.height; ++y) {
        Bytes row(rowBytes);
        for (size_t i = 0; i < rowBytes; ++i) {
            // Noise, flat runs and extreme values, so every predictor branch is taken.
            const uint32_t r = random();
            row[i] = (r & 3U) == 0   ? 0xFF
                     : (r & 3U) == 1 ? (i > 0 ? row[i - 1] : 0)
                                     : static_cast<uint8_t>(r >> 8);
        }
        const int type = recipe.filterOfRow(y);
        raw.push_back(static_cast<uint8_t>(type));
        const Bytes filtered = Filter(type, row, above, static_cast<size_t>(recipe.channels));
        raw.insert(raw.end(), filtered.begin(), filtered.end());
        above = row;
    }
    return raw;
}

Bytes ZlibOf(const Bytes& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    EXPECT_EQ(compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
    out.resize(size);
    return out;
}

Bytes Assemble(const PngRecipe& recipe, const Bytes& stream) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(png, "IHDR", Header(recipe.width, recipe.height, 8, recipe.channels == 4 ? 6 : 2));
    png.insert(png.end(), recipe.betweenHeaderAndData.begin(), recipe.betweenHeaderAndData.end());
    const size_t piece = (stream.size() + recipe.idatPieces - 1) / recipe.idatPieces;
    for (size_t at = 0; at < stream.size(); at += piece) {
        PutChunk(png, "IDAT",
                 Bytes(stream.begin() + static_cast<ptrdiff_t>(at),
                       stream.begin() + static_cast<ptrdiff_t>(std::min(stream.size(), at + piece))));
    }
    PutChunk(png, "IEND", {});
    return png;
}

Bytes MakePng(const PngRecipe& recipe) {
    return Assemble(recipe, ZlibOf(RawRows(recipe)));
}

// Qt's reading of the file, laid on white and stored blue-green-red; empty when Qt cannot read it.
Bytes QtPixels(const Bytes& png) {
    const QImage decoded = QImage::fromData(png.data(), static_cast<int>(png.size()), "PNG");
    if (decoded.isNull()) {
        return {};
    }
    const QImage argb = decoded.convertToFormat(QImage::Format_ARGB32);
    Bytes out;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            uint8_t bgr[3];
            imaging::StoreFlattenedBgr(
                static_cast<uint32_t>(qRed(line[x])), static_cast<uint32_t>(qGreen(line[x])),
                static_cast<uint32_t>(qBlue(line[x])), static_cast<uint32_t>(qAlpha(line[x])), bgr);
            out.insert(out.end(), bgr, bgr + 3);
        }
    }
    return out;
}

// The fast decoder's pixels, rows packed; empty when it declines or fails.
Bytes FastPixels(const Bytes& png) {
    imaging::PngDecoder decoder;
    if (!decoder.Parse(png.data(), png.size())) {
        return {};
    }
    // Rows a few bytes apart more than needed, to check the stride is honoured.
    const size_t rowBytes = static_cast<size_t>(decoder.Width()) * 3;
    const size_t stride = rowBytes + 5;
    Bytes padded(stride * static_cast<size_t>(decoder.Height()), 0xAB);
    if (!decoder.Decode(padded.data(), static_cast<ptrdiff_t>(stride))) {
        return {};
    }
    Bytes out;
    for (int y = 0; y < decoder.Height(); ++y) {
        const auto row = padded.begin() + static_cast<ptrdiff_t>(stride * static_cast<size_t>(y));
        out.insert(out.end(), row, row + static_cast<ptrdiff_t>(rowBytes));
        EXPECT_EQ(*(row + static_cast<ptrdiff_t>(rowBytes)), 0xAB) << "row " << y << " wrote past its width";
    }
    return out;
}

bool Declines(const Bytes& png) {
    imaging::PngDecoder decoder;
    if (decoder.Parse(png.data(), png.size())) {
        return false;
    }
    // Nothing of a declined file is left to decode, however far it was read.
    uint8_t pixel[3] = {};
    EXPECT_EQ(decoder.Width(), 0);
    EXPECT_FALSE(decoder.Decode(pixel, 3));
    return true;
}

TEST(PngDecoderTest, EveryFilterGivesQtsPixelsForRgbAndRgba) {
    for (int channels : {3, 4}) {
        for (int filter = 0; filter <= 4; ++filter) {
            PngRecipe recipe;
            recipe.channels = channels;
            recipe.seed = static_cast<unsigned>(10 * channels + filter);
            // One filter for every row but the first, which differs, so "the row above" is exercised.
            recipe.filterOfRow = [filter](uint32_t y) { return y == 0 ? 4 - filter : filter; };
            const Bytes png = MakePng(recipe);
            const Bytes expected = QtPixels(png);
            ASSERT_FALSE(expected.empty());
            EXPECT_EQ(FastPixels(png), expected) << channels << " channels, filter " << filter;
        }
    }
}

TEST(PngDecoderTest, OddSizesSplitDataAndHarmlessChunksGiveQtsPixels) {
    Bytes ancillary;
    PutChunk(ancillary, "tEXt", {'T', 'i', 't', 'l', 'e', 0, 'x'});
    PutChunk(ancillary, "PLTE", {0, 0, 0, 255, 255, 255});  // a suggested palette only
    PutChunk(ancillary, "gAMA", {0, 0, 0xB1, 0x8F});
    const std::vector<PngRecipe> recipes = {
        {1, 1, 3, [](uint32_t) { return 4; }, 1, {}, 3},
        {1, 9, 4, [](uint32_t y) { return static_cast<int>(y % 5); }, 1, {}, 4},
        {301, 3, 4, [](uint32_t y) { return static_cast<int>(4 - y % 5); }, 7, ancillary, 5},
        {64, 64, 3, [](uint32_t y) { return static_cast<int>((y * 3) % 5); }, 40, ancillary, 6},
    };
    for (const PngRecipe& recipe : recipes) {
        const Bytes png = MakePng(recipe);
        const Bytes expected = QtPixels(png);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(FastPixels(png), expected) << recipe.width << " x " << recipe.height;
    }
}

TEST(PngDecoderTest, DeclinesOtherKindsOfPngAndDamagedFiles) {
    const PngRecipe recipe;
    const Bytes good = MakePng(recipe);
    ASSERT_FALSE(Declines(good));

    auto withHeader = [&](const Bytes& ihdr) {
        Bytes png(good.begin(), good.begin() + 8);
        PutChunk(png, "IHDR", ihdr);
        png.insert(png.end(), good.begin() + 33, good.end());
        return png;
    };
    EXPECT_TRUE(Declines(withHeader(Header(37, 29, 16, 2)))) << "16 bits a channel";
    EXPECT_TRUE(Declines(withHeader(Header(37, 29, 8, 3)))) << "palette";
    EXPECT_TRUE(Declines(withHeader(Header(37, 29, 8, 0)))) << "grey";
    EXPECT_TRUE(Declines(withHeader(Header(37, 29, 8, 2, 1)))) << "interlaced";
    EXPECT_TRUE(Declines(withHeader(Header(20001, 1, 8, 2)))) << "a side above the limit";
    EXPECT_TRUE(Declines(withHeader(Header(0, 29, 8, 2)))) << "no width";
    EXPECT_TRUE(Declines(withHeader(Header(9000, 9000, 8, 6)))) << "more pixels than the decode limit";

    Bytes badHeaderCrc(good.begin(), good.begin() + 8);
    PutChunk(badHeaderCrc, "IHDR", Header(37, 29, 8, 2), false);
    badHeaderCrc.insert(badHeaderCrc.end(), good.begin() + 33, good.end());
    EXPECT_TRUE(Declines(badHeaderCrc));

    Bytes damagedData = good;
    damagedData[45] ^= 0x5A;  // inside the IDAT: its CRC no longer matches
    EXPECT_TRUE(Declines(damagedData));

    EXPECT_TRUE(Declines(Bytes(good.begin(), good.end() - 12))) << "no IEND";
    EXPECT_TRUE(Declines(Bytes(good.begin(), good.begin() + 60))) << "truncated";
    EXPECT_TRUE(Declines(Bytes(good.begin() + 1, good.end()))) << "no signature";

    PngRecipe transparentColour;
    PutChunk(transparentColour.betweenHeaderAndData, "tRNS", {0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(Declines(MakePng(transparentColour)));
    PngRecipe unknownCritical;
    PutChunk(unknownCritical.betweenHeaderAndData, "ZZZZ", {1});
    EXPECT_TRUE(Declines(MakePng(unknownCritical)));
    PngRecipe notLetters;  // would pass as ancillary by its case bit alone
    PutChunk(notLetters.betweenHeaderAndData, ",DAT", {1});
    EXPECT_TRUE(Declines(MakePng(notLetters)));
    PngRecipe twoPalettes;
    PutChunk(twoPalettes.betweenHeaderAndData, "PLTE", {1, 2, 3});
    PutChunk(twoPalettes.betweenHeaderAndData, "PLTE", {1, 2, 3});
    EXPECT_TRUE(Declines(MakePng(twoPalettes)));
    PngRecipe brokenPalette;
    PutChunk(brokenPalette.betweenHeaderAndData, "PLTE", {1, 2});
    EXPECT_TRUE(Declines(MakePng(brokenPalette)));

    // IDAT chunks must follow one another.
    const Bytes stream = ZlibOf(RawRows(recipe));
    Bytes split(good.begin(), good.begin() + 33);
    PutChunk(split, "IDAT", Bytes(stream.begin(), stream.begin() + 10));
    PutChunk(split, "tEXt", {'a', 0, 'b'});
    PutChunk(split, "IDAT", Bytes(stream.begin() + 10, stream.end()));
    PutChunk(split, "IEND", {});
    EXPECT_TRUE(Declines(split));
    Bytes emptyFirst(good.begin(), good.begin() + 33);  // an empty IDAT still starts the run
    PutChunk(emptyFirst, "IDAT", {});
    PutChunk(emptyFirst, "tEXt", {'a', 0, 'b'});
    PutChunk(emptyFirst, "IDAT", stream);
    PutChunk(emptyFirst, "IEND", {});
    EXPECT_TRUE(Declines(emptyFirst));
}

TEST(PngDecoderTest, ImageDataOfTheWrongLengthOrFilterFailsTheDecode) {
    const PngRecipe recipe;
    Bytes raw = RawRows(recipe);
    const Bytes shortData = Assemble(recipe, ZlibOf(Bytes(raw.begin(), raw.end() - 1)));
    Bytes longRaw = raw;
    longRaw.push_back(0);
    const Bytes longData = Assemble(recipe, ZlibOf(longRaw));
    Bytes trailing = ZlibOf(raw);
    trailing.push_back(0);
    const Bytes trailingData = Assemble(recipe, trailing);
    Bytes badFilterRaw = raw;
    badFilterRaw[(recipe.width * 3 + 1) * 5] = 5;  // row 5's filter byte
    const Bytes badFilter = Assemble(recipe, ZlibOf(badFilterRaw));
    Bytes badChecksum = ZlibOf(raw);
    badChecksum.back() ^= 1;  // the Adler-32 of the rows
    const Bytes badAdler = Assemble(recipe, badChecksum);

    for (const Bytes* png : {&shortData, &longData, &trailingData, &badFilter, &badAdler}) {
        imaging::PngDecoder decoder;
        ASSERT_TRUE(decoder.Parse(png->data(), png->size()));
        Bytes rows(static_cast<size_t>(decoder.Width()) * 3 * static_cast<size_t>(decoder.Height()));
        EXPECT_FALSE(decoder.Decode(rows.data(), decoder.Width() * 3));
        // Whatever the fast decoder declines, a bitmap still decodes as Qt reads it.
        const std::unique_ptr<imaging::Bitmap> bitmap = imaging::Bitmap::Decode(png->data(), png->size());
        const Bytes qt = QtPixels(*png);
        ASSERT_EQ(bitmap != nullptr, !qt.empty());
        if (bitmap) {
            EXPECT_EQ(bitmap->PixelRgb(3, 4), (uint32_t{qt[(4 * recipe.width + 3) * 3 + 2]} << 16) |
                                                  (uint32_t{qt[(4 * recipe.width + 3) * 3 + 1]} << 8) |
                                                  qt[(4 * recipe.width + 3) * 3]);
        }
    }
}

long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(PngDecoderTest, AChunkLongerThanTheFileIsRefusedBeforeAnyDecoderAllocatesIt) {
    const PngRecipe recipe;
    const Bytes good = MakePng(recipe);
    EXPECT_TRUE(imaging::PngDecoder::ChunksFitInFile(good.data(), good.size()));
    Bytes trailing = good;
    trailing.insert(trailing.end(), {1, 2, 3});  // bytes after IEND are never read
    EXPECT_TRUE(imaging::PngDecoder::ChunksFitInFile(trailing.data(), trailing.size()));
    EXPECT_FALSE(imaging::PngDecoder::ChunksFitInFile(good.data(), good.size() - 20))
        << "cut in the image data";
    EXPECT_FALSE(imaging::PngDecoder::ChunksFitInFile(good.data(), good.size() - 2)) << "cut in IEND's CRC";

    // A text chunk that declares 1.8 GB and holds a few bytes, in a file of a few hundred.
    Bytes forged(good.begin(), good.begin() + 33);
    PutBigEndian32(forged, 0x70000000);
    forged.insert(forged.end(), {'t', 'E', 'X', 't', 'a', 0, 'b'});
    forged.insert(forged.end(), good.begin() + 33, good.end());
    EXPECT_FALSE(imaging::PngDecoder::ChunksFitInFile(forged.data(), forged.size()));

    const long before = PeakResidentKilobytes();
    EXPECT_EQ(imaging::Bitmap::Decode(forged.data(), forged.size()), nullptr);
    EXPECT_LT(PeakResidentKilobytes() - before, 256 * 1024)
        << "kilobytes of peak memory taken by the refusal";
}

}  // namespace
