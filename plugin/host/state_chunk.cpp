#include "plugin/host/state_chunk.hpp"

#include <cstring>
#include <stdexcept>

#include "plugin/media/large_buffer.hpp"
#include "plugin/media/sample_bank.hpp"
#include "plugin/media/wave.hpp"
#include "plugin/text/text.hpp"

namespace palmtone {

namespace {

constexpr char magic[8] = {'T', 'P', 'X', '2', 'S', 'T', 'A', 'T'};
constexpr size_t headerBytes = 16;
constexpr size_t valuesAt = headerBytes;
constexpr uint32_t currentVersion = 4;

// The reader's two refusals of a chunk that is not one it wrote.
constexpr char invalidState[] = "Estado no valido";
constexpr char incompleteState[] = "Estado incompleto";

[[noreturn]] void refuse(const char* message) {
    throw std::runtime_error(message);
}

void putU32(uint8_t* p, uint32_t v) noexcept {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

uint32_t getU32(const uint8_t* p) noexcept {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A value the reader takes: 0 <= v <= 1 (so NaN and infinities fail).
bool validValue(float v) noexcept {
    return v >= 0.0f && v <= 1.0f;
}

// Appends to a buffer reserved for the whole chunk.
struct Writer {
    std::vector<uint8_t>& out;
    void u32(uint32_t v) {
        uint8_t b[4];
        putU32(b, v);
        out.insert(out.end(), b, b + 4);
    }
    void bytes(const void* data, size_t n) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        out.insert(out.end(), p, p + n);
    }
    void string(const std::string& s) {
        u32(uint32_t(s.size()));
        bytes(s.data(), s.size());
    }
};

// Reads within [data, data + size) only, whatever the sizes inside say.
struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at;

    size_t remaining() const noexcept { return size - at; }

    uint32_t u32() {
        if (remaining() < 4) refuse(incompleteState);
        const uint32_t v = getU32(data + at);
        at += 4;
        return v;
    }

    std::wstring string() {
        const uint32_t length = u32();
        if (length > maxStringBytes || length > remaining()) refuse("Nombre incompleto");
        std::string bytes(reinterpret_cast<const char*>(data + at), length);
        at += length;
        return fromUtf8(bytes);
    }
};

// The part of every chunk that holds no string: header, values and the file count.
static_assert(chunkFixedBytes == valuesAt + 4 * paramCount + 4, "chunkFixedBytes follows the layout");

// The UTF-8 form of one string the chunk stores, within the reader's limit.
std::string storedString(const std::wstring& text) {
    requireStorable(text);
    return utf8(text);
}

} // namespace

void writeStateChunk(std::vector<uint8_t>& out, const ParamValues& values, const LibrarySnapshot& library) {
    writeStateChunk(
        out, values,
        LibraryView{library.name, library.file, library.folder, library.selection, library.files});
}

void writeStateChunk(std::vector<uint8_t>& out, const ParamValues& values, const LibraryView& library) {
    float stored[paramCount];
    for (int i = 0; i < paramCount; ++i) {
        stored[i] = static_cast<float>(values[i]);
        if (!validValue(stored[i])) refuse(invalidState); // the reader would refuse it
    }

    // Every string is converted and measured first, so nothing is written that
    // the reader would refuse.
    const std::string name = storedString(library.name);
    const std::string folder = storedString(library.folder);
    const std::string selection = storedString(library.selection);
    if (library.files.size() > SampleBank::maxFiles) refuse(libraryTooLarge);
    std::vector<std::string> files;
    files.reserve(library.files.size());
    size_t libraryBytes = chunkFixedBytes + 4 + name.size() + 4 + folder.size() + 4 + selection.size();
    for (const std::wstring& path : library.files) {
        files.push_back(storedString(path));
        libraryBytes += 4 + files.back().size();
    }
    const size_t wave = library.file.size();
    if (!libraryFits(libraryBytes, wave)) refuse(libraryTooLarge);
    const size_t total = libraryBytes + 4 + wave;

    out.clear();
    reserveLarge(out, total);
    Writer w{out};
    w.bytes(magic, sizeof magic);
    w.u32(currentVersion);
    w.u32(paramCount);
    for (float v : stored) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        w.u32(bits);
    }
    w.string(name);
    w.string(folder);
    w.string(selection);
    w.u32(uint32_t(files.size()));
    for (const std::string& path : files)
        w.string(path);
    w.u32(uint32_t(wave));
    w.bytes(library.file.data(), wave);
}

RestoredState readStateChunk(const uint8_t* data, size_t size) {
    if (!data || size < headerBytes || size > maxChunkBytes) refuse(incompleteState);
    if (std::memcmp(data, magic, sizeof magic) != 0) refuse(invalidState);
    const uint32_t version = getU32(data + 8);
    const uint32_t count = getU32(data + 12);
    const bool known = (version == 1 && count == 13) || (version == 3 && count == 13) ||
                       (version == 2 && count == 17) || (version == currentVersion && count == paramCount);
    if (!known) refuse(invalidState);
    const size_t valuesEnd = headerBytes + 4 * size_t(count);
    if (size < valuesEnd || (version != currentVersion && size != valuesEnd)) refuse(incompleteState);

    RestoredState state;
    for (int i = 0; i < paramCount; ++i)
        state.values[i] = normalisedDefault(i);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t bits = getU32(data + valuesAt + 4 * i);
        float v;
        std::memcpy(&v, &bits, 4);
        if (!validValue(v)) refuse(invalidState);
        const size_t used = version == currentVersion ? paramCount : 13;
        if (i < used) state.values[i] = v == 0.0f ? 0.0 : double(v); // -0 counts as 0
    }
    if (version != currentVersion) return state; // old chunks carry no library

    Reader r{data, size, valuesEnd};
    std::wstring name = r.string();
    state.folder = r.string();
    state.selection = r.string();
    const uint32_t n = r.u32();
    if (n > SampleBank::maxFiles) refuse(invalidState);
    state.files.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        state.files.push_back(r.string());
    // More than the writer stores would restore, and then never save again.
    if (r.at > maxLibraryBytes) refuse(libraryTooLarge);
    const uint32_t wave = r.u32();
    if (wave > maxWaveBytes || wave != r.remaining()) refuse(incompleteState);
    // The WAV is copied out of the host's chunk as it is decoded.
    if (wave > 0) state.sample = decodeWave(data + r.at, wave, std::move(name));
    return state;
}

} // namespace palmtone
