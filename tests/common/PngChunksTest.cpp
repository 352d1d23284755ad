#include <fstream>
#include "common/PngChunks.h"
#include "common/WideText.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellumet {
namespace {

using Bytes = std::vector<uint8_t>;

void PutBigEndian32(Bytes& out, uint32_t v) {
    out.insert(out.end(), {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                           static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
}

// A chunk with a declared length of `declared` (its real length when negative) and a zero CRC: the
// reader does not check CRCs.
void PutChunk(Bytes& out, const char* type, const Bytes& data, int64_t declared = -1) {
    PutBigEndian32(out, declared < 0 ? static_cast<uint32_t>(data.size()) : static_cast<uint32_t>(declared));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian32(out, 0);
}

Bytes HeaderData(uint32_t w, uint32_t h) {
    Bytes data;
    PutBigEndian32(data, w);
    PutBigEndian32(data, h);
    data.insert(data.end(), {8, 6, 0, 0, 1});
    return data;
}

Bytes Signature() {
    return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
}

Bytes FileWithHeader(const Bytes& header) {
    Bytes png = Signature();
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IEND", {});
    return png;
}

TEST(PngChunks, HeaderIsReadFromTheFileStart) {
    const Bytes png = FileWithHeader(HeaderData(1045, 784));
    const std::optional<PngHeader> header = ReadPngHeader(png.data(), 29);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->width, 1045u);
    EXPECT_EQ(header->height, 784u);
    EXPECT_EQ(header->bitDepth, 8);
    EXPECT_EQ(header->colourType, 6);
    EXPECT_EQ(header->interlace, 1);

    EXPECT_FALSE(ReadPngHeader(png.data(), 28)) << "the header bytes cut short";
    EXPECT_FALSE(ReadPngHeader(FileWithHeader(HeaderData(0, 784)).data(), 29));
    EXPECT_FALSE(ReadPngHeader(FileWithHeader(HeaderData(1045, 0x80000000)).data(), 29));
    Bytes longer = HeaderData(1045, 784);
    longer.push_back(0);
    EXPECT_FALSE(ReadPngHeader(FileWithHeader(longer).data(), 30)) << "IHDR is 13 bytes";

    Bytes otherFirst = Signature();
    PutChunk(otherFirst, "tEXt", HeaderData(1045, 784));
    EXPECT_FALSE(ReadPngHeader(otherFirst.data(), otherFirst.size())) << "IHDR must come first";
    Bytes notPng = png;
    notPng[1] = 'J';
    EXPECT_FALSE(ReadPngHeader(notPng.data(), notPng.size()));
    EXPECT_FALSE(ReadPngHeader(nullptr, 0));
}

TEST(PngChunks, WalkerReturnsWholeChunksAndStopsAtTheFilesEnd) {
    Bytes png = Signature();
    PutChunk(png, "IHDR", HeaderData(3, 2));
    PutChunk(png, "IDAT", {1, 2, 3});
    PutChunk(png, "IEND", {});
    png.insert(png.end(), {0, 0, 0, 0, 0, 0, 0});  // trailing bytes, too few for a chunk header

    PngChunkWalker walker(png.data(), png.size());
    PngChunk chunk;
    ASSERT_EQ(walker.Next(chunk), PngChunkWalker::Step::Chunk);
    EXPECT_TRUE(chunk.Is("IHDR"));
    ASSERT_TRUE(ReadPngHeader(chunk));
    EXPECT_EQ(ReadPngHeader(chunk)->width, 3u);
    ASSERT_EQ(walker.Next(chunk), PngChunkWalker::Step::Chunk);
    EXPECT_TRUE(chunk.Is("IDAT"));
    ASSERT_EQ(chunk.length, 3u);
    EXPECT_EQ(chunk.data[2], 3);
    EXPECT_FALSE(ReadPngHeader(chunk));
    ASSERT_EQ(walker.Next(chunk), PngChunkWalker::Step::Chunk);
    EXPECT_TRUE(chunk.Is("IEND"));
    EXPECT_EQ(walker.Next(chunk), PngChunkWalker::Step::End);
    EXPECT_EQ(walker.Next(chunk), PngChunkWalker::Step::End);
}

TEST(PngChunks, WalkerRefusesAChunkLongerThanTheFile) {
    Bytes png = Signature();
    PutChunk(png, "IDAT", {1, 2, 3});
    for (const size_t cut : {size_t{1}, size_t{4}, size_t{5}}) {
        PngChunkWalker walker(png.data(), png.size() - cut);
        PngChunk chunk;
        EXPECT_EQ(walker.Next(chunk), PngChunkWalker::Step::Overrun) << "cut by " << cut;
    }
    Bytes forged = Signature();
    PutChunk(forged, "IDAT", {1, 2, 3}, 0xFFFFFFFF);
    PngChunkWalker walker(forged.data(), forged.size());
    PngChunk chunk;
    EXPECT_EQ(walker.Next(chunk), PngChunkWalker::Step::Overrun);
}

}  // namespace
TEST(PngFileSize, TheHeaderIsReadAndAnythingElseIsRefused) {
    const vellumet_test::TempFolder temp("vellumet-pngsize-");
    const std::filesystem::path& dir = temp.Path();
    // A whole IHDR chunk (8-bit RGB), its CRC left zero.
    const unsigned char png[] = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1a, '\n', 0,    0, 0,
                                 13,   'I',  'H', 'D', 'R',  0,    0,    0x04, 0x15, 0, 0,
                                 0x03, 0x10, 8,   2,   0,    0,    0,    0,    0,    0, 0};
    std::ofstream(dir / "good.png", std::ios::binary).write(reinterpret_cast<const char*>(png), sizeof png);
    std::ofstream(dir / "empty.png", std::ios::binary);
    std::ofstream(dir / "text.png", std::ios::binary) << "not a picture at all, only words";
    std::ofstream(dir / "short.png", std::ios::binary).write(reinterpret_cast<const char*>(png), 12);

    EXPECT_EQ(ReadPngFileSize(vellumet::FromPath(dir / "good.png")), (PixelSize{1045, 784}));
    EXPECT_EQ(ReadPngFileSize(vellumet::FromPath(dir / "empty.png")), PixelSize{});
    EXPECT_EQ(ReadPngFileSize(vellumet::FromPath(dir / "text.png")), PixelSize{});
    EXPECT_EQ(ReadPngFileSize(vellumet::FromPath(dir / "short.png")), PixelSize{});
    EXPECT_EQ(ReadPngFileSize(vellumet::FromPath(dir / "missing.png")), PixelSize{});
}

}  // namespace vellumet
