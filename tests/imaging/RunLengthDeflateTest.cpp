// The run encoder against zlib's own inflater: runs of every awkward length, every byte value
// (deflate gives the upper half longer codes), and data without runs.

#include "imaging/RunLengthDeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> Inflated(const std::vector<uint8_t>& stream, size_t size) {
    std::vector<uint8_t> out(size + 1);
    uLongf length = out.size();
    EXPECT_EQ(uncompress(out.data(), &length, stream.data(), stream.size()), Z_OK);
    out.resize(length);
    return out;
}

TEST(RunLengthDeflate, ZlibReadsBackEveryRunAndByte) {
    std::vector<std::vector<uint8_t>> inputs = {{}, {7}};
    std::vector<uint8_t> runs;
    for (size_t length : {1, 2, 3, 4, 10, 11, 130, 257, 258, 259, 260, 516, 517, 100000}) {
        runs.insert(runs.end(), length, static_cast<uint8_t>(length * 37));
        runs.push_back(0);
    }
    inputs.push_back(runs);
    std::vector<uint8_t> everyByte;
    for (int repeat = 0; repeat < 3; ++repeat) {
        for (int value = 0; value < 256; ++value) {
            everyByte.insert(everyByte.end(), static_cast<size_t>(repeat + 1), static_cast<uint8_t>(value));
        }
    }
    inputs.push_back(everyByte);
    std::mt19937 random(11);
    std::vector<uint8_t> noise(70000);
    for (uint8_t& byte : noise) {
        byte = static_cast<uint8_t>(random());
    }
    inputs.push_back(noise);

    for (const std::vector<uint8_t>& input : inputs) {
        SCOPED_TRACE(input.size());
        const std::vector<uint8_t> stream = imaging::RunLengthZlib(input.data(), input.size());
        ASSERT_GE(stream.size(), 6u);
        EXPECT_EQ(Inflated(stream, input.size()), input);
    }
    EXPECT_LT(imaging::RunLengthZlib(runs.data(), runs.size()).size(), runs.size() / 50)
        << "runs are what it is for";
}

}  // namespace
