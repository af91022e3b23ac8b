#pragma once
// Shared pieces of the integration suite: the built DLL (loaded once), a started
// instance per test, the product's parameter table as the host sees it, and checks
// that every test applies to audio and MIDI.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/host_checks.hpp"
#include "tests/support/param_table.hpp"
#include "tools/vst-host/host_instance.hpp"
#include "tools/vst-host/plugin_library.hpp"
#include "tools/vst-host/schedule.hpp"

namespace dlltest {

// The DLL under test: VELK_PLUGIN_DLL from the environment, else the build's own.
vsthost::PluginLibrary& library();

// The parameter table as the host sees it (tests/support/param_table.hpp).
using velktest::normalised;
using velktest::ParamRange;
using velktest::params;

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

using velktest::audioSane;
float peak(const std::vector<float>& samples, size_t from = 0, size_t to = SIZE_MAX);

// The MIDI output the host received as (time, status, data1, data2).
std::vector<vsthost::OutputMidi> sentMidi(const vsthost::Host& host);
std::string describe(const std::vector<vsthost::OutputMidi>& midi);
::testing::AssertionResult sameMidi(const std::vector<vsthost::OutputMidi>& actual,
                                    const std::vector<vsthost::OutputMidi>& expected);

// What the host received, as the checks of both levels read it.
std::vector<velktest::Sent> sentEvents(const std::vector<vsthost::ReceivedEvent>& received);
// velktest::midiWellFormed on what the host received.
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

} // namespace dlltest
