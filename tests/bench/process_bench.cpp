// Blocks per second of the whole audio callback at 48000 Hz in 512-frame blocks:
// a five-note chord, and every one of the 128 voices sounding. The counter
// "realtime" is seconds of audio rendered per second of CPU.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "plugin/plugin.hpp"
#include "plugin/sound/engine_kernels.hpp"
#include "tests/support/host_events.hpp"
#include "tests/support/quiet_host.hpp"

namespace {

using palmtone::Plugin;

constexpr int blockFrames = 512;
constexpr double rate = 48000.0;

void runBlocks(benchmark::State& state, std::unique_ptr<Plugin>& plugin) {
    std::vector<float> left(blockFrames), right(blockFrames);
    float* outputs[2] = {left.data(), right.data()};
    vst2::Effect* fx = &plugin->effect;
    for (int i = 0; i < 200; ++i)
        fx->processReplacing(fx, nullptr, outputs, blockFrames); // attack
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
    // No answer to the time query: the blocks take the tempo parameter.
    static velktest::QuietHost host;
    host.answerTime = false;
    auto plugin = host.makePlugin();
    vst2::Effect* fx = &plugin->effect;
    fx->dispatcher(fx, 10, 0, 0, nullptr, static_cast<float>(rate));
    velktest::HostEvents<128> notes;
    if (allVoices) {
        // Pass-through input mode: every key is its own note.
        fx->setParameter(fx, palmtone::pInput, 1.0f);
        for (int n = 0; n < 128; ++n)
            notes.add(0, 0x90, n, 100);
    } else {
        notes.add(0, 0x90, 62, 100); // a ninth chord in C major: D F A C E
    }
    fx->dispatcher(fx, 25, 0, 0, notes.pointer(), 0.0f);
    return plugin;
}

// Blocks of a playing instance with the wide (AVX2) or the SSE2 kernels.
template <bool Wide, bool AllVoices> void Playing(benchmark::State& state) {
    if (Wide && !palmtone::kernel::wideAvailable()) {
        state.SkipWithError("no AVX2 on this CPU");
        return;
    }
    palmtone::kernel::useWide(Wide);
    auto plugin = playing(AllVoices);
    runBlocks(state, plugin);
    palmtone::kernel::useWide(true);
}

BENCHMARK(Playing<true, false>)->Name("process/five_note_chord/avx2");
BENCHMARK(Playing<true, true>)->Name("process/all_128_voices/avx2");
BENCHMARK(Playing<false, false>)->Name("process/five_note_chord/sse2");
BENCHMARK(Playing<false, true>)->Name("process/all_128_voices/sse2");

} // namespace

BENCHMARK_MAIN();
