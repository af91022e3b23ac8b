// libFuzzer target: any bytes into the state-chunk reader. An accepted chunk,
// written again, must read back and write the very same bytes once more.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "plugin/state_chunk.hpp"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

palmtone::LibrarySnapshot libraryOf(const palmtone::RestoredState& s) {
    palmtone::LibrarySnapshot lib;
    if (s.sample) {
        lib.name = s.sample->name;
        lib.file.assign(s.sample->file.begin(), s.sample->file.end());
    }
    lib.folder = s.folder;
    lib.selection = s.selection;
    lib.files = s.files;
    return lib;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the given size, so any read past it is an overflow.
    std::vector<uint8_t> chunk(data, data + size);
    palmtone::RestoredState first;
    try {
        first = palmtone::readStateChunk(chunk.data(), chunk.size());
    } catch (const std::exception&) {
        return 0;
    }
    for (double v : first.values) require(v >= 0.0 && v <= 1.0);

    std::vector<uint8_t> written;
    try {
        palmtone::writeStateChunk(written, first.values, libraryOf(first));
    } catch (const std::runtime_error& e) {
        // The reader takes longer libraries than the writer stores.
        require(std::strcmp(e.what(), "Biblioteca demasiado grande") == 0);
        return 0;
    }
    palmtone::RestoredState second = palmtone::readStateChunk(written.data(), written.size());
    std::vector<uint8_t> again;
    palmtone::writeStateChunk(again, second.values, libraryOf(second));
    require(again == written);
    return 0;
}
