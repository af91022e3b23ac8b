#pragma once
// Shared pieces of the integration suite: the built DLL (loaded once), a started
// instance per test, the product's parameter table as the host sees it, and checks
// that every test applies to audio and MIDI.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/host/host_instance.hpp"
#include "tools/host/plugin_library.hpp"
#include "tools/host/schedule.hpp"

namespace hosttest {

// The DLL under test: VELK_PLUGIN_DLL from the environment, else the build's own.
vsthost::PluginLibrary& library();

// A parameter as its unit runs: minimum, maximum and the normalised default.
struct ParamRange {
    const char* name;
    double minimum;
    double maximum;
    double normalisedDefault;
};
extern const ParamRange params[16];

enum Param : int32_t {
    tonica = 0,
    escala,
    acordes,
    invers,
    octava,
    volumen,
    entrada,
    canal,
    midiOut,
    bpm,
    escala12,
    septima,
    novena,
    sonido,
    raizWav,
    tocarWav,
};

// The normalised value of a whole unit value of parameter `index`.
float normalised(int32_t index, double unitValue);

// Every sample finite and within -1..1; reports the first offender.
::testing::AssertionResult audioSane(const std::vector<float>& samples);
float peak(const std::vector<float>& samples, size_t from = 0, size_t to = SIZE_MAX);

// The MIDI output the host received as (time, status, data1, data2).
std::vector<vsthost::OutputMidi> sentMidi(const vsthost::Host& host);
std::string describe(const std::vector<vsthost::OutputMidi>& midi);
::testing::AssertionResult sameMidi(const std::vector<vsthost::OutputMidi>& actual,
                                    const std::vector<vsthost::OutputMidi>& expected);

// Checks a MIDI output stream the way a strict host would: only note-on and
// note-off, data within 0..127, note-on velocity 1..127, note-off velocity 0,
// offsets inside their block (0 outside process), times that never go back, no
// note-on for a note already on and no note-off for a note not on. `blockSizes`
// gives the size of block i. Returns the notes still on, per channel, in `open`.
::testing::AssertionResult midiWellFormed(const std::vector<vsthost::ReceivedEvent>& received,
                                          const std::vector<int32_t>& blockSizes,
                                          std::vector<std::vector<bool>>* open = nullptr);

// A test with one instance started as a DAW starts it (48000 Hz, 512 frames).
class PluginTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Processes `frames` in blocks of `block`, handing each block its events.
    void play(const std::vector<vsthost::TimedMidi>& schedule, int64_t frames, int32_t block = 512);

    std::unique_ptr<vsthost::Host> host;
};

} // namespace hosttest
