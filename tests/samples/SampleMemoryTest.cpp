#include "samples/SampleMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace tessaline {
namespace {

bool AllZero(const int16_t* values, size_t count) {
    return std::all_of(values, values + count, [](int16_t v) { return v == 0; });
}

TEST(SampleMemory, HandsOutAlignedZeroFilledRunsWithinItsCapacity) {
    SampleMemory memory(4096, 4096 + 4096 + 20032);
    int16_t* a = memory.Allocate(3);
    int16_t* b = memory.Allocate(100);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 64, 0u);
    EXPECT_EQ(b - a, 32);  // 6 bytes rounded up to 64
    std::fill(a, a + 3, int16_t{-1});
    EXPECT_TRUE(AllZero(b, 100));
    // A run that does not fit the rest of the chunk takes a new one; a run
    // larger than a chunk gets its own, all of it zeroed and writable.
    ASSERT_NE(memory.Allocate(1900), nullptr);
    int16_t* large = memory.Allocate(10000);
    ASSERT_NE(large, nullptr);
    EXPECT_TRUE(AllZero(large, 10000));
    large[9999] = 7;
    EXPECT_EQ(memory.BytesReserved(), 4096u + 4096u + 20032u);
    EXPECT_EQ(memory.Allocate(1), nullptr);  // the capacity is used up
    EXPECT_EQ(memory.Allocate(SIZE_MAX / 2), nullptr);

    memory.Clear();
    EXPECT_EQ(memory.BytesReserved(), 0u);
    int16_t* again = memory.Allocate(10);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(AllZero(again, 10));
}

}  // namespace
}  // namespace tessaline
