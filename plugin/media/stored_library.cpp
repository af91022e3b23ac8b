#include "plugin/media/stored_library.hpp"

#include <stdexcept>

#include "plugin/media/wave.hpp"
#include "plugin/text/text.hpp"

namespace palmtone {

namespace {

constexpr size_t noUtf8 = size_t(-1);

// The length of the UTF-8 form utf8() gives, measured without building it; noUtf8
// where utf8() throws (an unpaired surrogate, or natively a value that is no
// UTF-16 code unit).
size_t utf8Length(const std::wstring& text) noexcept {
    size_t bytes = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint32_t u = static_cast<uint32_t>(text[i]);
        if (u < 0x80) {
            bytes += 1;
        } else if (u < 0x800) {
            bytes += 2;
        } else if (u >= 0xD800 && u <= 0xDBFF) {
            const uint32_t next = i + 1 < text.size() ? static_cast<uint32_t>(text[i + 1]) : 0;
            if (next < 0xDC00 || next > 0xDFFF) return noUtf8;
            bytes += 4;
            ++i;
        } else if ((u >= 0xDC00 && u <= 0xDFFF) || u > 0xFFFF) {
            return noUtf8;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

} // namespace

bool isStorablePath(const std::wstring& path) noexcept {
    const size_t length = utf8Length(path);
    return length != noUtf8 && length <= maxStringBytes;
}

size_t storedBytes(const std::wstring& text) noexcept {
    // Past every limit, yet small enough that a thousand of them cannot wrap.
    const size_t length = utf8Length(text);
    return length != noUtf8 && length <= maxStringBytes ? 4 + length : maxChunkBytes + 1;
}

size_t libraryBaseBytes(const std::wstring& name, const std::wstring& folder,
                        const std::wstring& selection) noexcept {
    return chunkFixedBytes + storedBytes(name) + storedBytes(folder) + storedBytes(selection);
}

bool libraryFits(size_t libraryBytes, size_t waveBytes) noexcept {
    // A library near its limit and a 64 MiB WAV can exceed what the reader takes.
    return libraryBytes <= maxLibraryBytes && waveBytes <= maxWaveBytes &&
           libraryBytes + 4 + waveBytes <= maxChunkBytes;
}

void requireStorable(const std::wstring& text) {
    const size_t length = utf8Length(text);
    if (length == noUtf8) throw std::runtime_error(invalidFileName);
    if (length > maxStringBytes) throw std::runtime_error("Nombre demasiado largo");
}

} // namespace palmtone
