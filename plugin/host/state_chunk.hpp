#pragma once
// The state chunk the host keeps in its project: format "TPX2STAT" version 4
// (versions 1 to 3 are still read). Reading is all or nothing and happens before
// anything is applied; failures are std::runtime_error (never shown).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin/host/parameters.hpp"
#include "plugin/media/sample_bank.hpp"
#include "plugin/media/sample_data.hpp"

namespace palmtone {

constexpr size_t maxStringBytes = 65536;
constexpr size_t maxChunkBytes = 71303168;  // 68 MiB
constexpr size_t maxLibraryBytes = 4194304; // everything before the WAV's byte count

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

// A parsed, checked chunk, ready to apply.
struct RestoredState {
    ParamValues values{};               // normalised, 0..1
    std::unique_ptr<SampleData> sample; // decoded one-shot, or null
    std::wstring folder;
    std::wstring selection;
    std::vector<std::wstring> files;
};

// Writes a version-4 chunk into out (replacing its contents). Throws on a string
// over the limit, an unconvertible name or a library over maxLibraryBytes.
void writeStateChunk(std::vector<uint8_t>& out, const ParamValues& values, const LibrarySnapshot& library);
void writeStateChunk(std::vector<uint8_t>& out, const ParamValues& values, const LibraryView& library);

// Checks, parses and decodes a chunk of any accepted version. Throws on refusal.
RestoredState readStateChunk(const uint8_t* data, size_t size);

} // namespace palmtone
