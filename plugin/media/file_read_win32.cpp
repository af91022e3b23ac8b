// Reads a WAV one-shot with one ReadFile into a buffer of the file's exact size.
#include <windows.h>

#include <stdexcept>

#include "plugin/media/file_read.hpp"
#include "plugin/media/wave.hpp"

namespace palmtone {

namespace {

struct Handle {
    HANDLE h;
    ~Handle() { CloseHandle(h); }
};

[[noreturn]] void fail(const char* message) {
    throw std::runtime_error(message);
}

} // namespace

WaveImage readWaveFile(const std::wstring& path) {
    // A zero inside the path would open a different, shorter one.
    if (path.empty() || path.find(L'\0') != std::wstring::npos) fail(waveUnreadable);
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) fail(waveUnreadable);
    Handle file{h};

    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size) || size.QuadPart < static_cast<LONGLONG>(minWaveBytes) ||
        size.QuadPart > static_cast<LONGLONG>(maxWaveBytes))
        fail(waveTooLarge);

    WaveImage bytes;
    bytes.resize(static_cast<size_t>(size.QuadPart)); // not zero-filled: the read writes every byte
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(bytes.size());
    if (!ReadFile(h, bytes.data(), wanted, &got, nullptr) || got != wanted) fail(waveCutShort);
    return bytes;
}

} // namespace palmtone
