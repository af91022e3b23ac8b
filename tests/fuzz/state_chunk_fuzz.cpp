// libFuzzer target: any bytes into the state-chunk reader. Whatever it accepts
// must restore whole and save, and that save must restore to the same state.
// The target restores as an instance does (the library through a SampleBank,
// the values through the quantisation rule), saves, restores that chunk again
// and compares: same parameters, same library, same one-shot, and the second
// save gives the very same bytes.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <vector>

#include "plugin/host/parameters.hpp"
#include "plugin/host/state_chunk.hpp"
#include "plugin/media/sample_bank.hpp"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

// What an instance holds after a restore.
struct Restored {
    palmtone::ParamValues values{};
    palmtone::SampleBank bank;
};

// The reader's checks and parse, then what the apply phase stores.
bool restore(const std::vector<uint8_t>& chunk, Restored& into) {
    palmtone::RestoredState state;
    try {
        state = palmtone::readStateChunk(chunk.data(), chunk.size());
    } catch (const std::exception&) {
        return false;
    }
    const std::vector<std::wstring> files = state.files;
    into.bank.publish(std::move(state.sample), std::move(state.selection));
    into.bank.restoreLibrary(std::move(state.folder), std::move(state.files));
    require(into.bank.files() == files); // the library takes whole what the reader took
    for (int i = 0; i < palmtone::paramCount; ++i) {
        require(state.values[i] >= 0.0 && state.values[i] <= 1.0);
        into.values[i] = palmtone::normalisedDefault(i);
        palmtone::quantise(i, state.values[i], into.values[i]);
    }
    return true;
}

// A save may not fail on anything a restore produced.
std::vector<uint8_t> save(Restored& from) {
    std::vector<uint8_t> out;
    try {
        from.bank.inspect([&](const palmtone::LibraryView& library) {
            palmtone::writeStateChunk(out, from.values, library);
        });
    } catch (const std::exception&) {
        std::abort();
    }
    return out;
}

void requireSameLibrary(palmtone::SampleBank& a, palmtone::SampleBank& b) {
    require(a.directory() == b.directory());
    require(a.selection() == b.selection());
    require(a.files() == b.files());
    const palmtone::SampleData* x = a.published.load();
    const palmtone::SampleData* y = b.published.load();
    require((x == nullptr) == (y == nullptr));
    if (!x) return;
    require(x->name == y->name && x->file == y->file && x->left == y->left && x->right == y->right &&
            x->sampleRate == y->sampleRate && x->rootNote == y->rootNote && x->hasRoot == y->hasRoot);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the given size, so any read past it is an overflow.
    const std::vector<uint8_t> chunk(data, data + size);
    Restored first;
    if (!restore(chunk, first)) return 0;

    const std::vector<uint8_t> saved = save(first);
    Restored second;
    require(restore(saved, second));
    require(second.values == first.values);
    requireSameLibrary(first.bank, second.bank);
    require(save(second) == saved);
    return 0;
}
