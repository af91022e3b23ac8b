// The allocator of the one-shot's large buffers: contents survive growth across
// the size where buffers move to whole large pages, and such a buffer starts on
// a 2 MiB boundary (natively, where the advice covers it all).
#include <cstdint>

#include <gtest/gtest.h>

#include "plugin/media/large_buffer.hpp"

using palmtone::LargeVector;

TEST(LargeVector, KeepsItsContentsWhileGrowingPastTheLargeBufferSize) {
    LargeVector<uint32_t> v;
    const size_t count = palmtone::largeBufferBytes / sizeof(uint32_t) * 3 + 5;
    for (size_t i = 0; i < count; ++i)
        v.push_back(uint32_t(i * 2654435761u));
    ASSERT_EQ(v.size(), count);
    size_t wrong = 0;
    for (size_t i = 0; i < count; ++i)
        wrong += v[i] != uint32_t(i * 2654435761u);
    EXPECT_EQ(wrong, 0u);

    LargeVector<uint32_t> copy = v;
    v.clear();
    v.shrink_to_fit();
    EXPECT_EQ(copy.size(), count);
    EXPECT_EQ(copy[count - 1], uint32_t((count - 1) * 2654435761u));
}

#ifndef _WIN32
TEST(LargeVector, ALargeBufferStartsOnALargePage) {
    for (size_t bytes : {palmtone::largeBufferBytes, palmtone::largeBufferBytes + 1, size_t(67108864) + 3}) {
        LargeVector<uint8_t> v;
        v.resize(bytes);
        v.back() = 1; // the whole length is usable
        EXPECT_EQ(reinterpret_cast<uintptr_t>(v.data()) % (uintptr_t(1) << 21), 0u) << bytes;
    }
}
#endif
