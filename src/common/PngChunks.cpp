#include "common/PngChunks.h"

#include <array>
#include <cstring>
#include <fstream>

#include "common/WideText.h"

namespace vellumet {

namespace {

constexpr uint8_t kSignature[kPngSignatureSize] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kMaxSide = 0x7FFFFFFF;
constexpr uint32_t kHeaderLength = 13;

}  // namespace

bool HasPngSignature(const uint8_t* data, size_t size) {
    return data != nullptr && size >= kPngSignatureSize &&
           std::memcmp(data, kSignature, kPngSignatureSize) == 0;
}

uint32_t ReadBigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

bool PngChunk::Is(const char (&name)[5]) const {
    return type != nullptr && std::memcmp(type, name, 4) == 0;
}

PngChunkWalker::Step PngChunkWalker::Next(PngChunk& chunk) {
    if (pos_ > size_ || size_ - pos_ < 8) {
        return Step::End;
    }
    const size_t left = size_ - pos_ - 8;
    const uint32_t length = ReadBigEndian32(data_ + pos_);
    if (length > left || left - length < 4) {
        return Step::Overrun;
    }
    chunk.length = length;
    chunk.type = data_ + pos_ + 4;
    chunk.data = data_ + pos_ + 8;
    pos_ += size_t{length} + 12;
    return Step::Chunk;
}

std::optional<PngHeader> ReadPngHeader(const PngChunk& chunk) {
    if (!chunk.Is("IHDR") || chunk.length != kHeaderLength) {
        return std::nullopt;
    }
    const uint8_t* body = chunk.data;
    PngHeader header;
    header.width = ReadBigEndian32(body);
    header.height = ReadBigEndian32(body + 4);
    header.bitDepth = body[8];
    header.colourType = body[9];
    header.compression = body[10];
    header.filter = body[11];
    header.interlace = body[12];
    if (header.width == 0 || header.height == 0 || header.width > kMaxSide || header.height > kMaxSide) {
        return std::nullopt;
    }
    return header;
}

std::optional<PngHeader> ReadPngHeader(const uint8_t* fileStart, size_t size) {
    if (!HasPngSignature(fileStart, size) || size < kPngSignatureSize + 8 + kHeaderLength) {
        return std::nullopt;
    }
    PngChunk chunk;
    chunk.length = ReadBigEndian32(fileStart + kPngSignatureSize);
    chunk.type = fileStart + kPngSignatureSize + 4;
    chunk.data = fileStart + kPngSignatureSize + 8;
    return ReadPngHeader(chunk);
}

PixelSize ReadPngFileSize(const std::wstring& path) {
    // The signature, the first chunk's header and the 13 header bytes.
    std::array<uint8_t, kPngSignatureSize + 8 + kHeaderLength> head{};
    std::ifstream in(ToPath(path), std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(head.data()), head.size())) {
        return {};
    }
    const std::optional<PngHeader> header = ReadPngHeader(head.data(), head.size());
    if (!header) {
        return {};
    }
    return {static_cast<int32_t>(header->width), static_cast<int32_t>(header->height)};
}

}  // namespace vellumet
