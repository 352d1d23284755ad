#include "common/ScratchBuffer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vellumet {
namespace {

TEST(ScratchBuffer, KeepsItsAreaForSmallerRequestsAndGrowsForLargerOnes) {
    ScratchBuffer scratch;
    uint8_t* first = scratch.Get(4096);
    ASSERT_NE(first, nullptr);
    std::memset(first, 0xAB, 4096);
    EXPECT_EQ(scratch.Get(100), first);
    EXPECT_EQ(scratch.Capacity(), 4096u);
    uint8_t* larger = scratch.Get(8192);
    ASSERT_NE(larger, nullptr);
    std::memset(larger, 0xCD, 8192);
    EXPECT_EQ(scratch.Capacity(), 8192u);
}

TEST(ScratchBuffer, TrimFreesOnlyAnAreaAboveTheKeptSize) {
    ScratchBuffer scratch;
    ASSERT_NE(scratch.Get(kKeptScratchBytes), nullptr);
    scratch.Trim();
    EXPECT_EQ(scratch.Capacity(), kKeptScratchBytes) << "an area of the kept size stays for the next picture";
    ASSERT_NE(scratch.Get(kKeptScratchBytes + 1), nullptr);
    scratch.Trim();
    EXPECT_EQ(scratch.Capacity(), 0u);
    EXPECT_NE(scratch.Get(16), nullptr);
}

}  // namespace
}  // namespace vellumet
