#include <gtest/gtest.h>
#include <zlib.h>

#include <climits>
#include <string>
#include <vector>

#include "pdfwriter/MemoryStream.h"
#include "pdfwriter/Zlib.h"

using PDFWriter::MemoryStream;

namespace {

std::string Bytes(const MemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.Data()), static_cast<size_t>(stream.Length()));
}

}  // namespace

TEST(MemoryStream, GrowthRuleDoublesOrTakesTheExactNeed) {
    MemoryStream stream(8192);
    const uint8_t* original = stream.Data();
    stream.Append("", 0);
    EXPECT_EQ(stream.Data(), original);
    EXPECT_EQ(stream.Capacity(), 8192);
    EXPECT_EQ(stream.Length(), 0);

    const std::vector<uint8_t> block(8192, 0xAB);
    stream.Append(block.data(), 8192);
    EXPECT_EQ(stream.Capacity(), 8192) << "an exact fit does not grow";
    stream.AppendByte(1);
    EXPECT_EQ(stream.Capacity(), 16384);
    EXPECT_EQ(stream.Length(), 8193);
    EXPECT_EQ(stream.Data()[8191], 0xAB) << "growth keeps the bytes";
    EXPECT_EQ(stream.Data()[8192], 1);

    MemoryStream small(10);
    small.Append("12345678", 8);
    const std::string thirty(30, 'x');
    small.AppendText(thirty.c_str());
    EXPECT_EQ(small.Capacity(), 38) << "when doubling is too small the capacity is the exact need";
    EXPECT_EQ(Bytes(small), "12345678" + thirty);
}

TEST(MemoryStream, ResetStateFirstAppendAllocatesExactly) {
    MemoryStream stream(32768);
    stream.AppendText("abc");
    stream.Reset();
    EXPECT_EQ(stream.Data(), nullptr);
    EXPECT_EQ(stream.Capacity(), 0);
    EXPECT_EQ(stream.Length(), 0);
    stream.Append("hello", 5);
    EXPECT_EQ(stream.Capacity(), 5);
    EXPECT_EQ(Bytes(stream), "hello");
}

TEST(MemoryStream, SizePastTheSignedLimitPoisonsInsteadOfWrapping) {
    MemoryStream stream(16);
    stream.AppendText("keep");
    const char byte = 'x';
    // The size check comes before any read of the source, so a one-byte source is safe here.
    stream.Append(&byte, INT32_MAX);
    EXPECT_TRUE(stream.Failed());
    EXPECT_EQ(Bytes(stream), "keep");
    stream.AppendText("more");
    stream.AppendByte('!');
    EXPECT_EQ(Bytes(stream), "keep") << "a poisoned stream ignores later writes";
}

TEST(MemoryStream, CompressedAppendIsTheZlibFormat) {
    MemoryStream empty(8192);
    empty.AppendText("<");
    empty.Append(nullptr, 0, true);
    empty.AppendText(">");
    const std::string expected("<\x78\x9C\x03\x00\x00\x00\x00\x01>", 10);
    EXPECT_EQ(Bytes(empty), expected) << "the empty zlib stream is 8 bytes";

    EXPECT_EQ(PDFWriter::CompressScratchSize(0), 12);
    EXPECT_EQ(PDFWriter::CompressScratchSize(99), 111);
    EXPECT_EQ(PDFWriter::CompressScratchSize(100), 113);

    // Incompressible input still fits the scratch area, and the stream inflates back exactly.
    std::vector<uint8_t> noise(100000);
    uint32_t state = 12345;
    for (auto& b : noise) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(state >> 24);
    }
    MemoryStream stream(0);
    stream.Append(noise.data(), static_cast<int32_t>(noise.size()), true);
    ASSERT_GT(stream.Length(), 0);
    EXPECT_EQ(stream.Data()[0], 0x78);
    std::vector<uint8_t> inflated(noise.size());
    uLongf inflatedLength = inflated.size();
    ASSERT_EQ(
        uncompress(inflated.data(), &inflatedLength, stream.Data(), static_cast<uLong>(stream.Length())),
        Z_OK);
    EXPECT_EQ(inflatedLength, noise.size());
    EXPECT_EQ(inflated, noise);
}
