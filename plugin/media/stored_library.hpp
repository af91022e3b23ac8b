#pragma once
// What a state chunk stores of the library, and the rules that keep the library
// storable: the sample library lets in only what the chunk's writer stores,
// and the writer and reader (plugin/host/state_chunk.hpp) keep the same limits.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace palmtone {

constexpr size_t maxStringBytes = 65536;
constexpr size_t maxChunkBytes = 71303168;  // 68 MiB
constexpr size_t maxLibraryBytes = 4194304; // everything before the WAV's byte count

// The bytes of every chunk that hold no string: the 16-byte header, a 4-byte
// value for each of the 16 parameters and the file count (the chunk's writer
// checks this against its layout and the parameter table).
constexpr size_t chunkFixedBytes = 16 + 4 * 16 + 4;

// What the library and the state chunk refuse more files or bytes with than a
// chunk can store.
constexpr char libraryTooLarge[] = "Biblioteca demasiado grande";

// What the writer stores, and so what the library lets in and the reader takes:
// every string a storable one, at most SampleBank::maxFiles paths, and a library
// that fits beside its WAV (libraryFits). Whatever the library holds then saves,
// and every chunk the reader accepts is written back the same.

// The writer's test of one path (or any string it stores): a UTF-8 form (no
// unpaired surrogate) of at most maxStringBytes bytes.
bool isStorablePath(const std::wstring& path) noexcept;

// Bytes one string takes in a chunk, its length field included; a string the
// writer cannot store counts as more than any chunk holds.
size_t storedBytes(const std::wstring& text) noexcept;

// Bytes before the WAV's byte count of a chunk holding these strings and no
// library paths (each path adds its storedBytes).
size_t libraryBaseBytes(const std::wstring& name, const std::wstring& folder,
                        const std::wstring& selection) noexcept;

// Whether a library of libraryBytes (everything before the WAV's byte count)
// and a WAV of waveBytes make a chunk the writer stores and the reader takes.
bool libraryFits(size_t libraryBytes, size_t waveBytes) noexcept;

// Throws what the writer would for a string it cannot store: "Nombre de archivo
// no valido" or "Nombre demasiado largo".
void requireStorable(const std::wstring& text);

// Everything the state chunk stores of the library, as values.
struct LibrarySnapshot {
    std::wstring name;         // of the published one-shot; empty when none
    std::vector<uint8_t> file; // its file bytes; empty when none
    std::wstring folder;
    std::wstring selection;
    std::vector<std::wstring> files;
};

// Bytes read in place, from whichever vector holds them.
struct ByteView {
    const uint8_t* first = nullptr;
    size_t count = 0;

    ByteView() noexcept = default;
    template <class Allocator>
    ByteView(const std::vector<uint8_t, Allocator>& bytes) noexcept
        : first(bytes.data()), count(bytes.size()) {}

    const uint8_t* data() const noexcept { return first; }
    size_t size() const noexcept { return count; }
    const uint8_t* begin() const noexcept { return first; }
    const uint8_t* end() const noexcept { return first + count; }
};

// The same, read in place: valid only inside SampleBank::inspect.
struct LibraryView {
    const std::wstring& name;
    ByteView file;
    const std::wstring& folder;
    const std::wstring& selection;
    const std::vector<std::wstring>& files;
};

} // namespace palmtone
