#include "tests/host/plugin_fixture.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace hosttest {

vsthost::PluginLibrary& library() {
    static vsthost::PluginLibrary loaded([] {
        if (const wchar_t* path = _wgetenv(L"VELK_PLUGIN_DLL")) return vsthost::windowsPath(path);
        const std::string built = VELK_PLUGIN_DLL;
        return vsthost::windowsPath(std::wstring(built.begin(), built.end()));
    }());
    return loaded;
}

const ParamRange params[16] = {
    {"Tonica", 0, 11, 0.0},
    {"Escala", 0, 29, 0.0},
    {"Acordes", 0, 3, 2.0 / 3.0},
    {"Invers.", 0, 4, 0.0},
    {"Octava", -2, 2, 0.5},
    {"Volumen", 0, 1, 0.65},
    {"Entrada", 0, 2, 0.0},
    {"Canal", 1, 16, 0.0},
    {"MIDI out", 0, 1, 1.0},
    {"BPM", 30, 300, 1.0 / 3.0},
    {"Escala12", 1, 4095, 2740.0 / 4094.0},
    {"Septima", 0, 3, 0.0},
    {"Novena", 0, 3, 0.0},
    {"Sonido", 0, 1, 0.0},
    {"Raiz WAV", 0, 127, 60.0 / 127.0},
    {"Tocar WAV", 0, 1, 0.0},
};

float normalised(int32_t index, double unitValue) {
    const ParamRange& p = params[index];
    return static_cast<float>((unitValue - p.minimum) / (p.maximum - p.minimum));
}

::testing::AssertionResult audioSane(const std::vector<float>& samples) {
    for (size_t i = 0; i < samples.size(); ++i) {
        const float v = samples[i];
        if (!std::isfinite(v) || v < -1.0f || v > 1.0f)
            return ::testing::AssertionFailure() << "sample " << i << " is " << v;
    }
    return ::testing::AssertionSuccess();
}

float peak(const std::vector<float>& samples, size_t from, size_t to) {
    float p = 0.0f;
    for (size_t i = from; i < std::min(to, samples.size()); ++i)
        p = std::max(p, std::fabs(samples[i]));
    return p;
}

std::vector<vsthost::OutputMidi> sentMidi(const vsthost::Host& host) {
    return vsthost::outputMidi(host.received());
}

std::string describe(const std::vector<vsthost::OutputMidi>& midi) {
    std::ostringstream out;
    for (const auto& m : midi) {
        char line[64];
        std::snprintf(line, sizeof line, "\n  %lld: %02X %d %d", static_cast<long long>(m.time), m.status,
                      m.data1, m.data2);
        out << line;
    }
    return out.str();
}

::testing::AssertionResult sameMidi(const std::vector<vsthost::OutputMidi>& actual,
                                    const std::vector<vsthost::OutputMidi>& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "MIDI sent:" << describe(actual) << "\nexpected:" << describe(expected);
}

::testing::AssertionResult midiWellFormed(const std::vector<vsthost::ReceivedEvent>& received,
                                          const std::vector<int32_t>& blockSizes,
                                          std::vector<std::vector<bool>>* open) {
    std::vector<std::vector<bool>> on(16, std::vector<bool>(128, false));
    int64_t lastTime = -1;
    for (size_t i = 0; i < received.size(); ++i) {
        const vsthost::ReceivedEvent& r = received[i];
        auto fail = [&] {
            return ::testing::AssertionFailure()
                   << "event " << i << " (block " << r.block << ", offset " << r.raw.deltaFrames << ", "
                   << std::hex << int(r.status()) << " " << std::dec << int(r.data1()) << " "
                   << int(r.data2()) << "): ";
        };
        if (r.raw.type != 1 || r.raw.byteSize != 24) return fail() << "not a 24-byte MIDI record";
        const int kind = r.status() & 0xF0, channel = r.status() & 0x0F;
        if (kind != 0x80 && kind != 0x90) return fail() << "neither note-on nor note-off";
        if (r.data1() > 127 || r.data2() > 127) return fail() << "data byte above 127";
        if (r.inProcess) {
            const int32_t size = r.block < static_cast<int64_t>(blockSizes.size()) ? blockSizes[r.block] : -1;
            if (r.raw.deltaFrames < 0 || r.raw.deltaFrames >= size)
                return fail() << "offset outside the block of " << size;
        } else if (r.raw.deltaFrames != 0) {
            return fail() << "offset outside a block is not 0";
        }
        if (r.time() < lastTime) return fail() << "time goes back from " << lastTime;
        lastTime = r.time();
        if (kind == 0x90) {
            if (r.data2() < 1) return fail() << "note-on with velocity 0";
            if (on[channel][r.data1()]) return fail() << "note-on for a note already on";
            on[channel][r.data1()] = true;
        } else {
            if (r.data2() != 0) return fail() << "note-off velocity not 0";
            if (!on[channel][r.data1()]) return fail() << "note-off for a note not on";
            on[channel][r.data1()] = false;
        }
    }
    if (open) *open = on;
    return ::testing::AssertionSuccess();
}

void PluginTest::SetUp() {
    host = std::make_unique<vsthost::Host>(library());
    host->start();
}

void PluginTest::TearDown() {
    if (host) {
        EXPECT_TRUE(audioSane(host->left()));
        EXPECT_TRUE(audioSane(host->right()));
        EXPECT_EQ(host->overruns(), 0) << "blocks written past their end";
        host->close();
    }
}

void PluginTest::play(const std::vector<vsthost::TimedMidi>& schedule, int64_t frames, int32_t block) {
    vsthost::play(*host, schedule, vsthost::uniformBlocks(frames, block));
}

} // namespace hosttest
