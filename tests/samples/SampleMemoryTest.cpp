#include "samples/SampleMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace tessaline {
namespace {

bool AllZero(const int16_t* values, size_t count) {
    return std::all_of(values, values + count, [](int16_t v) { return v == 0; });
}

TEST(SampleMemory, HandsOutAlignedZeroFilledRunsOneAfterTheOther) {
    SampleMemory memory(1 << 20);
    int16_t* a = memory.Allocate(3);
    int16_t* b = memory.Allocate(100);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 64, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 64, 0u);
    EXPECT_EQ(b - a, 32);  // 6 bytes rounded up to 64
    EXPECT_TRUE(AllZero(a, 3));
    EXPECT_TRUE(AllZero(b, 100));
    std::fill(a, a + 3, int16_t{-1});
    EXPECT_TRUE(AllZero(b, 100));
    EXPECT_EQ(memory.BytesUsed(), 64u + 256u);
    EXPECT_EQ(memory.BytesReserved(), size_t{1} << 20);
}

TEST(SampleMemory, GrowsByChunksAndGivesLargeRunsTheirOwn) {
    SampleMemory memory(4096);
    int16_t* first = memory.Allocate(1500);
    int16_t* second = memory.Allocate(1500);  // does not fit the rest of the first chunk
    int16_t* large = memory.Allocate(10000);
    ASSERT_TRUE(first && second && large);
    EXPECT_EQ(memory.BytesReserved(), 4096u + 4096u + 20032u);
    EXPECT_TRUE(AllZero(large, 10000));
    large[9999] = 7;  // the whole run is writable
    EXPECT_EQ(memory.BytesUsed(), 3008u + 3008u + 20032u);

    memory.Clear();
    EXPECT_EQ(memory.BytesUsed(), 0u);
    EXPECT_EQ(memory.BytesReserved(), 0u);
    int16_t* again = memory.Allocate(10);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(AllZero(again, 10));
}

TEST(SampleMemory, RefusesBeyondItsCapacity) {
    SampleMemory memory(4096, 6144);
    EXPECT_NE(memory.Allocate(2048), nullptr);    // one 4096-byte chunk
    EXPECT_EQ(memory.Allocate(1025), nullptr);    // 2112 bytes: more than the 2048 left
    EXPECT_NE(memory.Allocate(1024), nullptr);    // a chunk cut to what is left
    EXPECT_EQ(memory.BytesReserved(), 6144u);
    EXPECT_EQ(memory.Allocate(1), nullptr);
    EXPECT_EQ(memory.Allocate(SIZE_MAX / 2), nullptr);
}

}  // namespace
}  // namespace tessaline
