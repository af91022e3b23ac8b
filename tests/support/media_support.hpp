#pragma once
// Helpers shared by the media and state tests: paths that work natively and
// under Wine, file access, the WAV image builders and state chunks built by
// hand. A program that includes it defines MEDIA_FIXTURE_DIR and
// MEDIA_SCRATCH_DIR.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "plugin/text/text.hpp"
#include "tests/support/wave_image.hpp"
#include "tools/vst-host/wine_path.hpp"

namespace velktest {

// A Linux path of the build machine as the program under test sees it: under
// Wine the same folder is reached through drive Z:.
inline std::wstring hostPath(const std::string& linuxPath) {
    std::wstring out;
    for (char c : linuxPath)
        out += wchar_t(static_cast<unsigned char>(c));
#ifdef _WIN32
    out = vsthost::windowsPath(out);
#endif
    return out;
}

inline std::string fixtureDir() {
    return MEDIA_FIXTURE_DIR;
}

// A fresh, empty folder of the build tree for one test.
inline std::string scratchDir(const std::string& name) {
    const std::string dir = std::string(MEDIA_SCRATCH_DIR) + "/" + name;
    const std::filesystem::path p(hostPath(dir));
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return dir;
}

inline std::vector<uint8_t> readBytes(const std::string& linuxPath) {
    std::ifstream in(std::filesystem::path(hostPath(linuxPath)), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + linuxPath);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A file in a folder of the build tree, by a wide name that may leave ASCII.
inline std::wstring hostFile(const std::string& linuxDir, const std::wstring& name) {
#ifdef _WIN32
    return hostPath(linuxDir) + L"\\" + name;
#else
    return hostPath(linuxDir) + L"/" + name;
#endif
}

// Writes a file at a path as the program under test names it.
inline void writeBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
#ifdef _WIN32
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
#else
    std::ofstream out(palmtone::utf8(path), std::ios::binary); // the native reader's encoding
#endif
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write a test file");
}

inline void writeBytes(const std::string& linuxPath, const std::vector<uint8_t>& bytes) {
    writeBytes(hostPath(linuxPath), bytes);
}

// A plain std::vector copy of a container of any allocator (or a byte view), to
// compare with expected values.
template <class Range> auto asVector(const Range& r) {
    return std::vector<std::decay_t<decltype(*r.begin())>>(r.begin(), r.end());
}

// Copies of an image cut down to its first `n` bytes, with its last `n` bytes
// cut off, or with `n` zero bytes added.
inline Bytes truncated(Bytes b, size_t n) {
    b.resize(n);
    return b;
}
inline Bytes cut(Bytes b, size_t n) {
    b.resize(b.size() - n);
    return b;
}
inline Bytes padded(Bytes b, size_t n) {
    b.resize(b.size() + n, 0);
    return b;
}

// --- state chunks built by hand ---
inline Bytes header(uint32_t version, uint32_t count) {
    Bytes b;
    putId(b, "TPX2");
    putId(b, "STAT");
    put32(b, version);
    put32(b, count);
    return b;
}

inline void putString(Bytes& b, const std::string& s) {
    put32(b, uint32_t(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

// Sixteen parameter values, all `v`.
inline std::vector<float> sixteen(float v = 0.5f) {
    return std::vector<float>(16, v);
}

// A version-4 chunk built by hand, field by field.
inline Bytes version4(const std::vector<float>& values, const std::string& name, const std::string& folder,
                      const std::string& selection, const std::vector<std::string>& files,
                      const Bytes& wave) {
    Bytes b = header(4, 16);
    for (float v : values)
        putF32(b, v);
    putString(b, name);
    putString(b, folder);
    putString(b, selection);
    put32(b, uint32_t(files.size()));
    for (const std::string& f : files)
        putString(b, f);
    put32(b, uint32_t(wave.size()));
    b.insert(b.end(), wave.begin(), wave.end());
    return b;
}

} // namespace velktest
