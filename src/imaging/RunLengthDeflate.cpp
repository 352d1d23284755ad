#include "imaging/RunLengthDeflate.h"

#include <zlib.h>

#include <array>
#include <cstring>
#include <new>

namespace imaging {

namespace {

constexpr size_t kLongestMatch = 258;
constexpr int kEndOfBlock = 256;

struct Code {
    uint16_t bits;  // already reversed: deflate sends Huffman codes from their top bit on
    uint8_t length;
};

// Deflate's fixed literal/length codes (RFC 1951, 3.2.6).
constexpr std::array<Code, 288> FixedCodes() {
    std::array<Code, 288> codes{};
    for (uint32_t symbol = 0; symbol < 288; ++symbol) {
        uint32_t code = 0;
        int length = 0;
        if (symbol < 144) {
            code = 0x30 + symbol;
            length = 8;
        } else if (symbol < 256) {
            code = 0x190 + (symbol - 144);
            length = 9;
        } else if (symbol < 280) {
            code = symbol - 256;
            length = 7;
        } else {
            code = 0xc0 + (symbol - 280);
            length = 8;
        }
        uint32_t reversed = 0;
        for (int i = 0; i < length; ++i) {
            reversed = (reversed << 1) | ((code >> i) & 1u);
        }
        codes[symbol] = {static_cast<uint16_t>(reversed), static_cast<uint8_t>(length)};
    }
    return codes;
}

constexpr std::array<Code, 288> kFixedCodes = FixedCodes();

// The first match length of the length symbols 257..285, and their extra bits.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

    void Put(uint32_t bits, int count) {
        buffer_ |= static_cast<uint64_t>(bits) << filled_;
        filled_ += count;
        if (filled_ >= 32) {
            const uint32_t word = static_cast<uint32_t>(buffer_);
            out_.push_back(static_cast<uint8_t>(word));
            out_.push_back(static_cast<uint8_t>(word >> 8));
            out_.push_back(static_cast<uint8_t>(word >> 16));
            out_.push_back(static_cast<uint8_t>(word >> 24));
            buffer_ >>= 32;
            filled_ -= 32;
        }
    }

    void Symbol(int symbol) {
        Put(kFixedCodes[static_cast<size_t>(symbol)].bits, kFixedCodes[static_cast<size_t>(symbol)].length);
    }

    // A copy of `length` (3..258) bytes from one byte back.
    void RunOf(size_t length) {
        int index = 28;
        while (kLengthBase[index] > length) {
            --index;
        }
        Symbol(257 + index);
        if (kLengthExtra[index] > 0) {
            Put(static_cast<uint32_t>(length - kLengthBase[index]), kLengthExtra[index]);
        }
        Put(0, 5);  // distance code 0: one byte back
    }

    void Flush() {
        while (filled_ > 0) {
            out_.push_back(static_cast<uint8_t>(buffer_));
            buffer_ >>= 8;
            filled_ = filled_ > 8 ? filled_ - 8 : 0;
        }
    }

private:
    std::vector<uint8_t>& out_;
    uint64_t buffer_ = 0;
    int filled_ = 0;
};

// How many of the `size` bytes at `data` equal `value`, from the first on.
size_t RunLength(const uint8_t* data, size_t size, uint8_t value) {
    const uint64_t pattern = 0x0101010101010101ull * value;
    size_t n = 0;
    while (n + 8 <= size) {
        uint64_t word;
        std::memcpy(&word, data + n, 8);
        if (word != pattern) {
            break;
        }
        n += 8;
    }
    while (n < size && data[n] == value) {
        ++n;
    }
    return n;
}

}  // namespace

std::vector<uint8_t> RunLengthZlib(const uint8_t* data, size_t size) {
    try {
        std::vector<uint8_t> out;
        out.reserve(size / 8 + 64);
        out.push_back(0x78);  // deflate, 32 KiB window
        out.push_back(0x01);  // no dictionary, fastest; the header's check
        BitWriter bits(out);
        bits.Put(1, 1);  // the final block
        bits.Put(1, 2);  // fixed codes
        size_t at = 0;
        while (at < size) {
            const uint8_t value = data[at];
            bits.Symbol(value);
            ++at;
            size_t run = RunLength(data + at, size - at, value);
            while (run >= 3) {
                const size_t length = run < kLongestMatch ? run : kLongestMatch;
                bits.RunOf(length);
                at += length;
                run -= length;
            }
        }
        bits.Symbol(kEndOfBlock);
        bits.Flush();
        uLong adler = adler32(0L, Z_NULL, 0);
        for (size_t done = 0; done < size;) {
            const size_t piece = size - done < (1u << 30) ? size - done : (1u << 30);
            adler = adler32(adler, data + done, static_cast<uInt>(piece));
            done += piece;
        }
        for (int shift = 24; shift >= 0; shift -= 8) {
            out.push_back(static_cast<uint8_t>(adler >> shift));
        }
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace imaging
