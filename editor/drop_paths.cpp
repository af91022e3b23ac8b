#include "editor/drop_paths.hpp"

#include "plugin/media/wave.hpp"

namespace palmtone {

namespace {

uint32_t read32(const uint8_t* p) noexcept {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t read16(const uint8_t* p) noexcept {
    return uint16_t(p[0] | p[1] << 8);
}

// Walks a list of NUL-terminated names of `count` units, `unit(i)` giving unit
// i, and calls take(from, length) for each of the first maxFileDropNames names.
// The walk ends at an empty name or at a name that runs to the end unterminated.
template <class Unit, class Take> void walkNames(size_t count, Unit unit, Take take) {
    size_t at = 0;
    for (size_t examined = 0; examined < maxFileDropNames && at < count; ++examined) {
        size_t end = at;
        while (end < count && unit(end) != 0)
            ++end;
        if (end == count || end == at) return;
        take(at, end - at);
        at = end + 1;
    }
}

void keepWave(std::vector<std::wstring>& paths, std::wstring name) {
    if (name.empty() || name.size() > maxDropNameChars) return;
    if (isWavePath(name)) paths.push_back(std::move(name));
}

} // namespace

std::vector<std::wstring> fileDropPaths(const uint8_t* block, size_t size,
                                        std::wstring (*narrow)(const std::string&)) {
    std::vector<std::wstring> paths;
    if (block == nullptr || size < minFileDropBytes || size > maxFileDropBytes) return paths;
    const size_t offset = read32(block);
    const bool wide = read32(block + 16) != 0;
    if (offset < fileDropHeaderBytes || offset >= size) return paths;
    if (wide && (offset % 2 != 0 || size - offset < 4)) return paths;

    const uint8_t* list = block + offset;
    if (wide) {
        walkNames((size - offset) / 2, [&](size_t i) { return read16(list + 2 * i); },
                  [&](size_t from, size_t length) {
                      if (length > maxDropNameChars) return;
                      std::wstring name(length, L'\0');
                      for (size_t i = 0; i < length; ++i)
                          name[i] = wchar_t(read16(list + 2 * (from + i)));
                      keepWave(paths, std::move(name));
                  });
    } else {
        walkNames(
            size - offset, [&](size_t i) { return list[i]; },
            [&](size_t from, size_t length) {
                if (narrow != nullptr) {
                    keepWave(paths, narrow(std::string(reinterpret_cast<const char*>(list + from), length)));
                } else {
                    // Each byte as the character of the same value (unsigned).
                    keepWave(paths, std::wstring(list + from, list + from + length));
                }
            });
    }
    return paths;
}

std::wstring textDropPath(const uint8_t* block, size_t size) {
    if (block == nullptr || size < minTextDropBytes || size > maxTextDropBytes) return {};
    const size_t units = size / 2;
    size_t length = 0;
    while (length < units && read16(block + 2 * length) != 0)
        ++length;
    if (length == units) return {};
    size_t from = 0;
    if (length >= 2 && read16(block) == u'"' && read16(block + 2 * (length - 1)) == u'"') {
        from = 1;
        length -= 2;
    }
    std::wstring text(length, L'\0');
    for (size_t i = 0; i < length; ++i)
        text[i] = wchar_t(read16(block + 2 * (from + i)));
    return isWavePath(text) ? text : std::wstring();
}

} // namespace palmtone
