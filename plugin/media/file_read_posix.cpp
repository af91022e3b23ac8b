// Native builds: the same single read as on Windows, with POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "plugin/media/file_read.hpp"
#include "plugin/media/wave.hpp"
#include "plugin/text/text.hpp"

namespace palmtone {

namespace {

struct Descriptor {
    int fd;
    ~Descriptor() { ::close(fd); }
};

[[noreturn]] void fail(const char* message) {
    throw std::runtime_error(message);
}

} // namespace

WaveImage readWaveFile(const std::wstring& path) {
    // A zero inside the path would open a different, shorter one.
    if (path.empty() || path.find(L'\0') != std::wstring::npos) fail(waveUnreadable);
    std::string name;
    try {
        name = utf8(path);
    } catch (const std::runtime_error&) {
        fail(waveUnreadable);
    }
    // Non-blocking so that a FIFO cannot stall the open; regular files ignore it.
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) fail(waveUnreadable);
    Descriptor file{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0) fail(waveTooLarge);
    if (!S_ISREG(info.st_mode)) fail(waveUnreadable);
    if (info.st_size < static_cast<off_t>(minWaveBytes) || info.st_size > static_cast<off_t>(maxWaveBytes))
        fail(waveTooLarge);

    WaveImage bytes;
    bytes.resize(static_cast<size_t>(info.st_size)); // not zero-filled: the read writes every byte
    const ssize_t got = ::read(fd, bytes.data(), bytes.size());
    if (got < 0 || static_cast<size_t>(got) != bytes.size()) fail(waveCutShort);
    return bytes;
}

} // namespace palmtone
