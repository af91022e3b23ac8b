// libFuzzer target: any bytes as a dropped file list and as dropped path text.
// Whatever comes out is a WAV path found inside the block, in the block's order,
// at most 1024 of them, and a narrow list decodes alike with and without a
// byte-widening converter.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/drop_paths.hpp"
#include "plugin/media/wave.hpp"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

std::wstring widen(const std::string& bytes) {
    std::wstring out;
    for (unsigned char c : bytes)
        out += wchar_t(c);
    return out;
}

// Where the path's units and a NUL appear in the block at or after `from`, in
// the block's own encoding (two bytes a unit, or one): the offset just after
// it, or SIZE_MAX when it is not there.
size_t find(const std::vector<uint8_t>& block, size_t from, const std::wstring& path, size_t unitBytes) {
    std::vector<uint8_t> needle;
    for (wchar_t c : path) {
        needle.push_back(uint8_t(c));
        if (unitBytes == 2) needle.push_back(uint8_t(uint32_t(c) >> 8));
    }
    needle.insert(needle.end(), unitBytes, 0);
    const auto at =
        std::search(block.begin() + std::ptrdiff_t(from), block.end(), needle.begin(), needle.end());
    return at == block.end() ? SIZE_MAX : size_t(at - block.begin()) + needle.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the given size, so any read past it is an overflow.
    const std::vector<uint8_t> block(data, data + size);

    const std::vector<std::wstring> paths = palmtone::fileDropPaths(block.data(), block.size());
    require(paths.size() <= palmtone::maxFileDropNames);
    if (!paths.empty()) {
        size_t from = block[0] | block[1] << 8 | block[2] << 16 | size_t(block[3]) << 24;
        const bool wide = block[16] | block[17] | block[18] | block[19];
        // Each path lies in the list after the one before it.
        for (const auto& path : paths) {
            require(palmtone::isWavePath(path));
            from = find(block, from, path, wide ? 2 : 1);
            require(from != SIZE_MAX);
        }
        if (!wide) require(palmtone::fileDropPaths(block.data(), block.size(), widen) == paths);
    }

    const std::wstring text = palmtone::textDropPath(block.data(), block.size());
    if (!text.empty()) {
        require(palmtone::isWavePath(text));
        require(text.size() < block.size() / 2);
    }
    return 0;
}
