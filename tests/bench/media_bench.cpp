// WAV loading and state save/restore against their limits and against other
// programs, side by side in one run:
// - loading the 30 s 24-bit stereo file (192 kHz, written by sox) against the
//   limit (reading the file into a fresh buffer and writing the float channels
//   once into fresh buffers), libsndfile's sf_readf_float into a fresh buffer
//   (and, for comparison only, into one with the decoder's pages), and sox
//   converting the file to raw floats;
// - restoring a state chunk that embeds a 64 MiB WAV against one copy of its
//   bytes plus one conversion, each into fresh buffers;
// - saving that chunk against one memcpy of it.
// Fresh buffers come from the same allocator the decoder uses, so the limits
// pay for the same pages. Every figure is repeated; the ratios are printed for
// the minimum and the median of the repetitions.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plugin/media/large_buffer.hpp"
#include "plugin/media/wave.hpp"
#include "plugin/media/wave_kernels.hpp"
#include "plugin/plugin.hpp"
#include "tests/support/quiet_host.hpp"

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;

bool run(std::vector<const char*> argv) {
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv.data()), environ) != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string dataPath(const std::string& name) {
    std::filesystem::create_directories(MEDIA_BENCH_DIR);
    return std::string(MEDIA_BENCH_DIR) + "/" + name;
}

// 30 seconds of 24-bit stereo at 192 kHz, the longest file of that format: a
// tone on the left, noise on the right, so that every byte changes. Empty when
// sox cannot write it.
const std::string& file24() {
    static const std::string path = [] {
        const std::string p = dataPath("stereo24.wav");
        const bool made = run({"sox", "-r", "192000", "-n", "-c", "2", "-b", "24", "-e", "signed-integer",
                               p.c_str(), "synth", "30", "sine", "440", "whitenoise", "vol", "0.6"});
        return made ? p : std::string();
    }();
    return path;
}

void put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void putId(Bytes& b, const char* id) {
    b.insert(b.end(), id, id + 4);
}

// Exactly 64 MiB: 64-bit float stereo at 192 kHz (21.8 s) and a pad chunk
// (no tool writes a WAV of an exact size).
constexpr uint32_t frames64 = 4194300;

const Bytes& bytes64() {
    static const Bytes bytes = [] {
        const uint32_t data = frames64 * 16;
        const size_t junk = palmtone::maxWaveBytes - (44 + size_t(data));
        Bytes b = {'R', 'I', 'F', 'F'};
        put32(b, uint32_t(36 + data + junk));
        putId(b, "WAVE");
        putId(b, "fmt ");
        put32(b, 16);
        for (uint32_t v : {3u, 2u})
            put16(b, v);
        put32(b, 192000);
        put32(b, 192000 * 16);
        for (uint32_t v : {16u, 64u})
            put16(b, v);
        putId(b, "JUNK");
        put32(b, uint32_t(junk - 8));
        b.resize(b.size() + junk - 8, 0);
        putId(b, "data");
        put32(b, data);
        b.reserve(palmtone::maxWaveBytes);
        uint32_t noise = 7;
        for (uint32_t i = 0; i < frames64; ++i)
            for (int c = 0; c < 2; ++c) {
                noise = noise * 1664525u + 1013904223u;
                const double v =
                    0.6 * std::sin(0.0137 * i + c) + (double(noise >> 8) / 16777216.0 - 0.5) * 0.1;
                const uint8_t* p = reinterpret_cast<const uint8_t*>(&v);
                b.insert(b.end(), p, p + 8);
            }
        return b;
    }();
    return bytes;
}

std::wstring wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

// --- loading the 24-bit file ---

void load24(benchmark::State& state) {
    if (file24().empty()) return state.SkipWithError("sox could not write the file");
    const std::wstring path = wide(file24());
    for (auto _ : state)
        benchmark::DoNotOptimize(palmtone::loadWave(path));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(std::filesystem::file_size(file24())));
}

// The least any loader does: one read of the file into a fresh buffer, and the
// float channels written once into fresh buffers.
void limit24(benchmark::State& state) {
    if (file24().empty()) return state.SkipWithError("sox could not write the file");
    const size_t frames = palmtone::loadWave(wide(file24()))->left.size();
    for (auto _ : state) {
        const int fd = open(file24().c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        fstat(fd, &info);
        palmtone::LargeVector<uint8_t> file;
        file.resize(size_t(info.st_size));
        const ssize_t got = read(fd, file.data(), file.size());
        close(fd);
        palmtone::LargeVector<float> left, right;
        left.resize(frames);
        right.resize(frames);
        std::memset(left.data(), 0x3E, frames * sizeof(float));
        std::memset(right.data(), 0xBE, frames * sizeof(float));
        benchmark::DoNotOptimize(got);
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
        benchmark::ClobberMemory();
    }
}

// libsndfile reading every frame into a fresh buffer: from the C++ heap, as a
// caller would; with largePages, from the decoder's own allocator, which shows
// how much of the difference is the pages rather than the decoding.
template <bool largePages> void sndfile24(benchmark::State& state) {
    if (file24().empty()) return state.SkipWithError("sox could not write the file");
    for (auto _ : state) {
        SF_INFO info{};
        SNDFILE* f = sf_open(file24().c_str(), SFM_READ, &info);
        if (!f) return state.SkipWithError("libsndfile could not open the file");
        const size_t count = size_t(info.frames) * size_t(info.channels);
        std::unique_ptr<float[]> heap;
        palmtone::LargeVector<float> large;
        float* frames;
        if constexpr (largePages) {
            large.resize(count);
            frames = large.data();
        } else {
            heap.reset(new float[count]);
            frames = heap.get();
        }
        const sf_count_t got = sf_readf_float(f, frames, info.frames);
        sf_close(f);
        if (got != info.frames) return state.SkipWithError("libsndfile read less");
        benchmark::DoNotOptimize(frames);
        benchmark::ClobberMemory();
    }
}

void sox24(benchmark::State& state) {
    if (file24().empty()) return state.SkipWithError("sox could not write the file");
    for (auto _ : state)
        if (!run({"sox", file24().c_str(), "-t", "f32", "/dev/null"}))
            return state.SkipWithError("sox failed");
}

// --- the state chunk with a 64 MiB WAV ---

std::unique_ptr<palmtone::Plugin> pluginWith64MiB() {
    static velktest::QuietHost host;
    auto plugin = host.makePlugin();
    plugin->bank.publish(palmtone::decodeWave(bytes64(), L"big"), L"C:\\big.wav");
    return plugin;
}

void restore64(benchmark::State& state) {
    auto plugin = pluginWith64MiB();
    void* saved = nullptr;
    const intptr_t size = plugin->saveState(&saved);
    const Bytes chunk(static_cast<uint8_t*>(saved), static_cast<uint8_t*>(saved) + size);
    // Untimed, like the limit's: see limitRestore64.
    if (plugin->restoreState(chunk.data(), intptr_t(chunk.size())) != 1)
        return state.SkipWithError("the chunk did not restore");
    for (auto _ : state)
        if (plugin->restoreState(chunk.data(), intptr_t(chunk.size())) != 1)
            return state.SkipWithError("the chunk did not restore");
}

// One copy of the WAV bytes into a fresh buffer, then one conversion of its
// frames into fresh channels.
void restoreLimitOnce(const Bytes& wave) {
    const size_t dataAt = wave.size() - size_t(frames64) * 16;
    const auto convert = palmtone::wavekernel::converter(palmtone::wavekernel::Format::float64, 2);
    palmtone::LargeVector<uint8_t> copy;
    copy.resize(wave.size());
    std::memcpy(copy.data(), wave.data(), wave.size());
    palmtone::LargeVector<float> left, right;
    left.resize(frames64);
    right.resize(frames64);
    const auto result = convert(copy.data() + dataAt, frames64, left.data(), right.data());
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(left.data());
    benchmark::ClobberMemory();
}

// Both restore benchmarks do one untimed pass first. A restore takes a few
// hundred MiB of fresh pages; on a virtual machine the first touch of guest
// memory the process never had costs up to 30 times the copy (the kernel's page
// clearing, measured with perf), which says nothing about the restore. A slow
// first pass also makes the library run a single iteration per repetition, so
// the two sides would not be measured alike.
void limitRestore64(benchmark::State& state) {
    const Bytes& wave = bytes64();
    restoreLimitOnce(wave);
    for (auto _ : state)
        restoreLimitOnce(wave);
}

// Both save benchmarks write their buffer once untimed first, for the reason
// given at limitRestore64; after that each save reuses the plug-in's chunk.
void save64(benchmark::State& state) {
    auto plugin = pluginWith64MiB();
    void* first = nullptr;
    if (plugin->saveState(&first) == 0) return state.SkipWithError("the chunk was not written");
    for (auto _ : state) {
        void* chunk = nullptr;
        if (plugin->saveState(&chunk) == 0) return state.SkipWithError("the chunk was not written");
        benchmark::DoNotOptimize(chunk);
    }
}

// One memcpy of the whole chunk into a buffer that, like the plug-in's own
// chunk, is reused from one save to the next.
void memcpy64(benchmark::State& state) {
    auto plugin = pluginWith64MiB();
    void* saved = nullptr;
    const intptr_t size = plugin->saveState(&saved);
    const Bytes chunk(static_cast<uint8_t*>(saved), static_cast<uint8_t*>(saved) + size);
    Bytes target(chunk.size());
    std::memcpy(target.data(), chunk.data(), chunk.size());
    for (auto _ : state) {
        std::memcpy(target.data(), chunk.data(), chunk.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
}

void common(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
}

BENCHMARK(load24)->Name("load_wav24_stereo_30s")->Apply(common);
BENCHMARK(limit24)->Name("limit_wav24_stereo_30s")->Apply(common);
BENCHMARK(sndfile24<false>)->Name("libsndfile_wav24_stereo_30s")->Apply(common);
BENCHMARK(sndfile24<true>)->Name("libsndfile_wav24_stereo_30s_large_pages")->Apply(common);
BENCHMARK(sox24)->Name("sox_wav24_stereo_30s_to_f32")->Apply(common);
BENCHMARK(restore64)->Name("restore_chunk_64MiB")->Apply(common);
BENCHMARK(limitRestore64)->Name("limit_restore_64MiB")->Apply(common);
BENCHMARK(save64)->Name("save_chunk_64MiB")->Apply(common);
BENCHMARK(memcpy64)->Name("memcpy_chunk_64MiB")->Apply(common);

// Every repetition's real time by benchmark, for the minimum and the median.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    RatioReporter() : ConsoleReporter(OO_None) {} // plain text for logs
    std::map<std::string, std::vector<double>> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                times[r.run_name.function_name].push_back(r.GetAdjustedRealTime());
        ConsoleReporter::ReportRuns(runs);
    }
};

double minimum(std::vector<double> v) {
    return *std::min_element(v.begin(), v.end());
}
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Ratio of two benchmarks' minima and medians; a target of 0 prints it without one.
void ratio(const RatioReporter& r, const char* what, const std::string& a, const std::string& b,
           double target) {
    const auto x = r.times.find(a);
    const auto y = r.times.find(b);
    if (x == r.times.end() || y == r.times.end() || x->second.empty() || y->second.empty()) {
        std::printf("%-44s not measured\n", what);
        return;
    }
    const double low = minimum(x->second) / minimum(y->second);
    const double middle = median(x->second) / median(y->second);
    if (target <= 0) {
        std::printf("%-44s min %.3f  median %.3f  (no target)\n", what, low, middle);
        return;
    }
    std::printf("%-44s min %.3f  median %.3f  (target at most %.1f: %s)\n", what, low, middle, target,
                low <= target ? "met" : "MISSED");
}

void spread(const RatioReporter& r) {
    std::printf("\n%-44s %10s %10s %10s  (ms, %s)\n", "benchmark", "min", "median", "max",
                "real time per iteration over the repetitions");
    for (const auto& [name, v] : r.times)
        std::printf("%-44s %10.3f %10.3f %10.3f\n", name.c_str(), minimum(v), median(v),
                    *std::max_element(v.begin(), v.end()));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    // Repetitions of different benchmarks interleave in random order, so that
    // a change in the machine's load falls on all of them alike; a flag on the
    // command line still decides.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    spread(reporter);
    ratio(reporter, "load / limit (24-bit stereo, 30 s)", "load_wav24_stereo_30s", "limit_wav24_stereo_30s",
          1.5);
    ratio(reporter, "load / libsndfile sf_readf_float", "load_wav24_stereo_30s",
          "libsndfile_wav24_stereo_30s", 0.5);
    ratio(reporter, "load / libsndfile with the decoder's pages", "load_wav24_stereo_30s",
          "libsndfile_wav24_stereo_30s_large_pages", 0.0);
    ratio(reporter, "load / sox to raw floats", "load_wav24_stereo_30s", "sox_wav24_stereo_30s_to_f32", 0.5);
    ratio(reporter, "restore / copy + conversion (64 MiB WAV)", "restore_chunk_64MiB", "limit_restore_64MiB",
          1.5);
    ratio(reporter, "save / memcpy of the chunk (64 MiB WAV)", "save_chunk_64MiB", "memcpy_chunk_64MiB", 1.2);
    benchmark::Shutdown();
    return 0;
}
