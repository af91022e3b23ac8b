#pragma once
// Block partitions a host cuts its rendering into. Portable, so that the tests
// cut an instance's blocks exactly as they cut the DLL's.
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace vsthost {

// Block sizes covering `total` frames: all of `size` (the last one shorter).
inline std::vector<int32_t> uniformBlocks(int64_t total, int32_t size) {
    std::vector<int32_t> out;
    for (int64_t done = 0; done < total; done += size)
        out.push_back(static_cast<int32_t>(std::min<int64_t>(size, total - done)));
    return out;
}

// Random sizes in 1..maxSize covering `total` frames, with zero-frame blocks mixed in
// when `withEmpty` is set.
inline std::vector<int32_t> randomBlocks(int64_t total, int32_t maxSize, std::mt19937& random,
                                         bool withEmpty) {
    std::vector<int32_t> out;
    std::uniform_int_distribution<int32_t> size(1, maxSize);
    std::uniform_int_distribution<int> coin(0, 9);
    for (int64_t done = 0; done < total;) {
        if (withEmpty && coin(random) == 0) out.push_back(0);
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(size(random), total - done));
        out.push_back(n);
        done += n;
    }
    return out;
}

} // namespace vsthost
