// A WAV one-shot restored from a state chunk ("Sonido" = 1): the rendered sound
// follows the file (its pitch scaled by note and sample rate, its channels, its
// end), not the synth.
#include <cmath>
#include <cstring>
#include <random>

#include "tests/dll/plugin_fixture.hpp"
#include "tests/dll/state_chunk_bytes.hpp"
#include "tools/vst-host/wave_file.hpp"

namespace dlltest {
namespace {

constexpr double pi = 3.14159265358979323846;

std::vector<float> sine(double hz, double rate, double seconds, double level) {
    std::vector<float> out(static_cast<size_t>(rate * seconds));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<float>(level * std::sin(2 * pi * hz * i / rate));
    return out;
}

// Frequency from the sign changes over [from, to).
double frequency(const std::vector<float>& s, size_t from, size_t to, double rate) {
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i)
        if ((s[i - 1] < 0) != (s[i] < 0)) ++crossings;
    return crossings / 2.0 / ((to - from) / rate);
}

class OneShot : public PluginTest {
  protected:
    // Restores a chunk holding `wave` with "Sonido" on the one-shot, notes passed
    // through and "Raiz WAV" 60.
    void restoreWave(const std::vector<uint8_t>& wave) {
        ChunkContent c{4, defaultValues(), "sine", "", "", {}, wave};
        c.values[sonido] = 1.0f;
        c.values[entrada] = 1.0f;
        bytes = chunkBytes(c);
        ASSERT_EQ(host->dispatch(24, 0, static_cast<intptr_t>(bytes.size()), bytes.data()), 1)
            << "the chunk with the WAV was refused: is the state chunk in this build?";
    }
    std::vector<uint8_t> bytes;
};

struct PitchCase {
    double fileRate;
    uint8_t note;
    double expectedHz;
};

TEST_F(OneShot, FollowsTheFileAtTheNotesPitch) {
    const PitchCase cases[] = {{48000, 60, 1000}, {48000, 72, 2000},
                               {48000, 48, 500},  {24000, 60, 1000},
                               {96000, 60, 1000}, {22050, 67, 1000 * std::pow(2, 7 / 12.0)}};
    for (const PitchCase& c : cases) {
        restoreWave(vsthost::encodeWave(sine(1000, c.fileRate, 0.2, 0.5), {},
                                        static_cast<uint32_t>(c.fileRate), vsthost::WaveFormat::pcm16));
        host->clearAudio();
        const int64_t t = host->position();
        play({{t, 0x90, c.note, 127}, {t + 4800, 0x80, c.note, 0}}, 48000, 512);
        const auto& out = host->left();
        EXPECT_NEAR(frequency(out, 480, 4000, 48000), c.expectedHz, c.expectedHz * 0.02)
            << "file at " << c.fileRate << " Hz, note " << int(c.note);
        // Level: tanh(0.65 x 0.26 x 0.5) at the file's peak, no pan.
        EXPECT_NEAR(peak(out, 480, 4000), std::tanh(0.65 * 0.26 * 0.5), 0.004);
        EXPECT_EQ(std::memcmp(host->left().data(), host->right().data(), 4800 * sizeof(float)), 0);
    }
}

TEST_F(OneShot, StopsAtTheFilesEndWhileTheKeyIsHeld) {
    restoreWave(vsthost::encodeWave(sine(1000, 48000, 0.1, 0.5), {}, 48000, vsthost::WaveFormat::pcm16));
    play({{0, 0x90, 60, 127}}, 24000);
    const auto& out = host->left();
    EXPECT_GT(peak(out, 0, 4800), 0.05f);
    for (size_t i = 4800 + 1; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0.0f) << "frame " << i;

    // The synth would sound on: a held key with "Sonido" back on the synth.
    host->suspend();
    host->resume();
    host->setParameter(sonido, 0.0f);
    host->clearAudio();
    play({{host->position(), 0x90, 61, 127}}, 12000);
    EXPECT_NEAR(frequency(host->left(), 2400, 12000, 48000), 277.18, 6.0);
}

TEST_F(OneShot, StereoFileKeepsItsChannels) {
    restoreWave(vsthost::encodeWave(sine(1000, 48000, 0.2, 0.5), sine(1500, 48000, 0.2, 0.4), 48000,
                                    vsthost::WaveFormat::float32));
    play({{0, 0x90, 60, 127}}, 9600);
    EXPECT_NEAR(frequency(host->left(), 480, 9000, 48000), 1000, 20);
    EXPECT_NEAR(frequency(host->right(), 480, 9000, 48000), 1500, 30);
}

TEST_F(OneShot, ChunkCarriesTheFileBack) {
    const auto wave =
        vsthost::encodeWave(sine(1000, 48000, 0.05, 0.5), {}, 48000, vsthost::WaveFormat::pcm16);
    restoreWave(wave);
    void* data = nullptr;
    const intptr_t size = host->dispatch(23, 0, 0, &data);
    ASSERT_EQ(size, static_cast<intptr_t>(bytes.size()));
    EXPECT_EQ(std::memcmp(data, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(size, static_cast<intptr_t>(100 + 4 + wave.size()));
}

TEST_F(OneShot, SameAudioInEveryBlockPartition) {
    restoreWave(vsthost::encodeWave(sine(700, 44100, 0.3, 0.8), {}, 44100, vsthost::WaveFormat::pcm16));
    const std::vector<vsthost::TimedMidi> schedule = {
        {5, 0x90, 60, 100}, {3000, 0x90, 67, 90}, {9000, 0x80, 60, 0}, {12000, 0x90, 60, 127}};
    std::vector<std::vector<float>> outputs;
    std::mt19937 random(3);
    for (const auto& blocks : {vsthost::uniformBlocks(20000, 512), vsthost::uniformBlocks(20000, 1),
                               vsthost::randomBlocks(20000, 3000, random, true)}) {
        vsthost::Host h(library());
        h.start();
        ASSERT_EQ(h.dispatch(24, 0, static_cast<intptr_t>(bytes.size()), bytes.data()), 1);
        vsthost::play(h, schedule, blocks);
        outputs.push_back(h.left());
    }
    ASSERT_GT(peak(outputs[0]), 0.05f);
    for (size_t i = 1; i < outputs.size(); ++i)
        EXPECT_EQ(std::memcmp(outputs[i].data(), outputs[0].data(), outputs[0].size() * sizeof(float)), 0)
            << i;
}

} // namespace
} // namespace dlltest
