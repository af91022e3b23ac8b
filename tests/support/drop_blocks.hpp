#pragma once
// Dropped data as other programs hand it over, built byte by byte: file-drop
// blocks (a 20-byte header, then the names, each ended by a NUL, and one more
// NUL) and UTF-16 text blocks. Shared by the parser's tests, the drop target's
// tests and the fuzzer's seeds.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/wave_image.hpp"

namespace velktest {

// The header alone: list offset, point (0, 0), non-client flag 0, wide flag.
inline std::vector<uint8_t> dropHeader(uint32_t offset, bool wide) {
    std::vector<uint8_t> b;
    put32(b, offset);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, wide ? 1 : 0);
    return b;
}

// A well-formed wide list: every name NUL-terminated, then the closing NUL.
inline std::vector<uint8_t> wideDrop(const std::vector<std::wstring>& names) {
    std::vector<uint8_t> b = dropHeader(20, true);
    for (const auto& name : names) {
        for (wchar_t c : name)
            put16(b, uint32_t(c));
        put16(b, 0);
    }
    put16(b, 0);
    return b;
}

// A well-formed narrow list (bytes as given).
inline std::vector<uint8_t> narrowDrop(const std::vector<std::string>& names) {
    std::vector<uint8_t> b = dropHeader(20, false);
    for (const auto& name : names) {
        b.insert(b.end(), name.begin(), name.end());
        b.push_back(0);
    }
    b.push_back(0);
    return b;
}

// UTF-16 units as given; no NUL is added.
inline std::vector<uint8_t> textUnits(const std::wstring& text) {
    std::vector<uint8_t> b;
    for (wchar_t c : text)
        put16(b, uint32_t(c));
    return b;
}

} // namespace velktest
