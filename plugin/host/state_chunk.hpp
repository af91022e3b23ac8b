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
#include "plugin/media/sample_data.hpp"
#include "plugin/media/stored_library.hpp"

namespace palmtone {

// Its limits, and the rules the library keeps so that it always saves, are in
// plugin/media/stored_library.hpp.

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
