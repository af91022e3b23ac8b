// Decoding a large 24-bit stereo WAV against sox converting the same file to raw
// floats, and saving plus restoring a state chunk that embeds a 64 MiB WAV
// against one decode of that WAV. Prints both ratios after the figures.
#include <spawn.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plugin/plugin.hpp"
#include "plugin/wave.hpp"

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void putId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

// RIFF/WAVE header, "fmt " and the "data" header for frames of the format;
// padTo > 0 adds a "JUNK" chunk so that the file has exactly that size.
Bytes waveHeader(uint32_t tag, uint32_t bits, uint32_t rate, uint32_t frames, size_t padTo) {
    const uint32_t align = 2 * bits / 8;
    const uint32_t data = frames * align;
    size_t junk = padTo ? padTo - (44 + size_t(data)) : 0;
    Bytes b = {'R', 'I', 'F', 'F'};
    put32(b, uint32_t(36 + data + junk));
    putId(b, "WAVE");
    putId(b, "fmt ");
    put32(b, 16);
    put16(b, tag);
    put16(b, 2);
    put32(b, rate);
    put32(b, rate * align);
    put16(b, align);
    put16(b, bits);
    if (junk) {
        putId(b, "JUNK");
        put32(b, uint32_t(junk - 8));
        b.resize(b.size() + junk - 8, 0);
    }
    putId(b, "data");
    put32(b, data);
    return b;
}

// A tone with a little noise, so that every byte of every sample changes.
double signal(uint32_t i, int channel, uint32_t& noise) {
    noise = noise * 1664525u + 1013904223u;
    const double tone = 0.6 * std::sin(0.0137 * i + channel);
    return tone + (double(noise >> 8) / 16777216.0 - 0.5) * 0.1;
}

// 30 seconds of 24-bit stereo at 192 kHz: the longest file of that format.
Bytes wave24() {
    const uint32_t frames = 30 * 192000;
    Bytes b = waveHeader(1, 24, 192000, frames, 0);
    b.reserve(b.size() + size_t(frames) * 6);
    uint32_t noise = 1;
    for (uint32_t i = 0; i < frames; ++i)
        for (int c = 0; c < 2; ++c) {
            const int32_t v = int32_t(std::lround(signal(i, c, noise) * 8388607.0));
            b.push_back(uint8_t(v));
            b.push_back(uint8_t(v >> 8));
            b.push_back(uint8_t(v >> 16));
        }
    return b;
}

// Exactly 64 MiB: 64-bit float stereo at 192 kHz (21.8 s) and a small pad chunk.
Bytes wave64MiB() {
    const uint32_t frames = 4194300;
    Bytes b = waveHeader(3, 64, 192000, frames, palmtone::maxWaveBytes);
    b.reserve(palmtone::maxWaveBytes);
    uint32_t noise = 7;
    for (uint32_t i = 0; i < frames; ++i)
        for (int c = 0; c < 2; ++c) {
            const double v = signal(i, c, noise);
            const uint8_t* p = reinterpret_cast<const uint8_t*>(&v);
            b.insert(b.end(), p, p + 8);
        }
    return b;
}

std::string writeFile(const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(MEDIA_BENCH_DIR);
    const std::string path = std::string(MEDIA_BENCH_DIR) + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

const std::string& file24() {
    static const std::string path = writeFile("stereo24.wav", wave24());
    return path;
}

const Bytes& bytes64() {
    static const Bytes bytes = wave64MiB();
    return bytes;
}

void decode24(benchmark::State& state) {
    const std::wstring path(file24().begin(), file24().end());
    for (auto _ : state) benchmark::DoNotOptimize(palmtone::loadWave(path));
    state.SetBytesProcessed(int64_t(state.iterations()) *
                            int64_t(std::filesystem::file_size(file24())));
}

void sox24(benchmark::State& state) {
    const std::string& path = file24();
    for (auto _ : state) {
        const char* argv[] = {"sox", path.c_str(), "-t", "f32", "/dev/null", nullptr};
        pid_t pid;
        if (posix_spawnp(&pid, "sox", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
            state.SkipWithError("sox could not be started");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("sox failed");
            break;
        }
    }
}

void decode64(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Bytes copy = bytes64();
        state.ResumeTiming();
        auto sample = palmtone::decodeWave(std::move(copy), L"big");
        benchmark::DoNotOptimize(sample.get());
        state.PauseTiming();
        sample.reset();
        state.ResumeTiming();
    }
}

// The same WAV from its file, as a user's load decodes it: read into a buffer
// of its own, then decoded.
void load64(benchmark::State& state) {
    static const std::string file = writeFile("float64_64MiB.wav", bytes64());
    const std::wstring path(file.begin(), file.end());
    for (auto _ : state) benchmark::DoNotOptimize(palmtone::loadWave(path));
}

void saveRestore64(benchmark::State& state) {
    auto plugin = std::make_unique<palmtone::Plugin>(nullptr);
    plugin->bank.publish(palmtone::decodeWave(bytes64(), L"big"), L"C:\\big.wav");
    for (auto _ : state) {
        void* chunk = nullptr;
        const intptr_t size = plugin->saveState(&chunk);
        if (size == 0 || plugin->restoreState(chunk, size) != 1) {
            state.SkipWithError("the chunk did not restore");
            break;
        }
    }
}

BENCHMARK(decode24)->Name("decode_wav24_stereo_30s")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(sox24)->Name("sox_wav24_stereo_30s_to_f32")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(decode64)->Name("decode_wav_64MiB")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(load64)->Name("load_wav_64MiB")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(saveRestore64)->Name("save_restore_chunk_64MiB")->Unit(benchmark::kMillisecond)->UseRealTime();

// The console figures, remembered by name for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_None) {} // plain text for logs
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) ms[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

void ratio(const RatioReporter& r, const char* what, const std::string& a, const std::string& b,
           double target) {
    const auto x = r.ms.find(a);
    const auto y = r.ms.find(b);
    if (x == r.ms.end() || y == r.ms.end() || y->second <= 0) return;
    const double value = x->second / y->second;
    std::printf("%-48s %.3f (target at most %.1f: %s)\n", what, value, target,
                value <= target ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    ratio(reporter, "decode / sox (24-bit stereo, 30 s)", "decode_wav24_stereo_30s/real_time",
          "sox_wav24_stereo_30s_to_f32/real_time", 1.0);
    ratio(reporter, "save+restore / decode of owned bytes (64 MiB)",
          "save_restore_chunk_64MiB/real_time", "decode_wav_64MiB/real_time", 3.0);
    ratio(reporter, "save+restore / load from the file (64 MiB)",
          "save_restore_chunk_64MiB/real_time", "load_wav_64MiB/real_time", 3.0);
    benchmark::Shutdown();
    return 0;
}
