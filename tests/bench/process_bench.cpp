// Blocks per second of the whole audio callback at 48000 Hz in 512-frame blocks:
// a five-note chord, and every one of the 128 voices sounding. The counter
// "realtime" is seconds of audio rendered per second of CPU.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "plugin/engine_kernels.hpp"
#include "plugin/plugin.hpp"

namespace {

using palmtone::Plugin;

constexpr int blockFrames = 512;
constexpr double rate = 48000.0;

intptr_t host(vst2::Effect*, int32_t, int32_t, intptr_t, void*, float) { return 0; }

struct NoteList {
    vst2::MidiEvent events[128];
    struct {
        int32_t numEvents;
        intptr_t reserved;
        vst2::MidiEvent* events[128];
    } list{};
    void add(int status, int note, int velocity) {
        vst2::MidiEvent& e = events[list.numEvents];
        e = vst2::MidiEvent{};
        e.type = vst2::midiEventType;
        e.byteSize = 24;
        e.midiData[0] = static_cast<uint8_t>(status);
        e.midiData[1] = static_cast<uint8_t>(note);
        e.midiData[2] = static_cast<uint8_t>(velocity);
        list.events[list.numEvents++] = &e;
    }
};

void runBlocks(benchmark::State& state, std::unique_ptr<Plugin>& plugin) {
    std::vector<float> left(blockFrames), right(blockFrames);
    float* outputs[2] = {left.data(), right.data()};
    vst2::Effect* fx = &plugin->effect;
    for (int i = 0; i < 200; ++i) fx->processReplacing(fx, nullptr, outputs, blockFrames); // attack
    for (auto _ : state) {
        fx->processReplacing(fx, nullptr, outputs, blockFrames);
        benchmark::DoNotOptimize(left.data());
        benchmark::ClobberMemory();
    }
    const double blocks = static_cast<double>(state.iterations());
    state.counters["blocks_per_s"] = benchmark::Counter(blocks, benchmark::Counter::kIsRate);
    state.counters["realtime"] = benchmark::Counter(blocks * blockFrames / rate, benchmark::Counter::kIsRate);
}

std::unique_ptr<Plugin> playing(bool allVoices) {
    auto plugin = std::make_unique<Plugin>(&host);
    vst2::Effect* fx = &plugin->effect;
    fx->dispatcher(fx, 10, 0, 0, nullptr, static_cast<float>(rate));
    NoteList notes;
    if (allVoices) {
        // Pass-through input mode: every key is its own note.
        fx->setParameter(fx, palmtone::pInput, 1.0f);
        for (int n = 0; n < 128; ++n) notes.add(0x90, n, 100);
    } else {
        notes.add(0x90, 62, 100); // a ninth chord in C major: D F A C E
    }
    fx->dispatcher(fx, 25, 0, 0, &notes.list, 0.0f);
    return plugin;
}

template <bool Wide>
void FiveNoteChord(benchmark::State& state) {
    if (Wide && !palmtone::kernel::wideAvailable()) {
        state.SkipWithError("no AVX2 on this CPU");
        return;
    }
    palmtone::kernel::useWide(Wide);
    auto plugin = playing(false);
    runBlocks(state, plugin);
    palmtone::kernel::useWide(true);
}

template <bool Wide>
void AllVoices(benchmark::State& state) {
    if (Wide && !palmtone::kernel::wideAvailable()) {
        state.SkipWithError("no AVX2 on this CPU");
        return;
    }
    palmtone::kernel::useWide(Wide);
    auto plugin = playing(true);
    runBlocks(state, plugin);
    palmtone::kernel::useWide(true);
}

BENCHMARK(FiveNoteChord<true>)->Name("process/five_note_chord/avx2");
BENCHMARK(AllVoices<true>)->Name("process/all_128_voices/avx2");
BENCHMARK(FiveNoteChord<false>)->Name("process/five_note_chord/sse2");
BENCHMARK(AllVoices<false>)->Name("process/all_128_voices/sse2");

} // namespace

BENCHMARK_MAIN();
