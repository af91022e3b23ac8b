#pragma once
// A headless host around one heap-allocated palmtone::Plugin: the quiet host's
// callback (quiet_host.hpp) answering the time query with a TimeInfo the test
// controls, with a record of every call the plug-in makes back and a copy of
// every MIDI list it is handed; it delivers queued MIDI events through opcode 25
// right before each block, as a host's audio thread does.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <thread>
#include <vector>

#include "plugin/host/vst2.hpp"
#include "plugin/plugin.hpp"
#include "tests/support/midi_messages.hpp"
#include "tests/support/quiet_host.hpp"
#include "tools/vst-host/host_call.hpp"

namespace velktest {

// One event of an opcode 8 list, copied while the host holds the list.
struct OutEvent {
    int32_t block; // index of the block being processed; -1 outside process
    int32_t list;  // number of the opcode 8 call, from 0
    int32_t frame; // deltaFrames
    int32_t status;
    int32_t data1;
    int32_t data2;
    int64_t time; // absolute frame: the first frame of the block (outside: of the next) plus the offset
    std::thread::id thread;
    vst2::MidiEvent raw; // the whole record
};

// Its record of the calls allocates: not a host for the realtime proofs.
class TestHost : public velktest::QuietHost {
  public:
    TestHost();
    ~TestHost() override;
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    palmtone::Plugin& plugin() { return *plugin_; }
    vst2::Effect* effect() { return &plugin_->effect; }

    // --- parameters ---
    // Stores a value in the parameter's own unit, as the host or the state would.
    void setUnit(int index, double unitValue);

    // --- host MIDI for the next block ---
    void queue(int32_t frame, int status, int data1, int data2);
    void noteOn(int32_t frame, int key, int velocity = 100, int channel = 1) {
        queue(frame, 0x90 | (channel - 1), key, velocity);
    }
    void noteOff(int32_t frame, int key, int channel = 1) { queue(frame, 0x80 | (channel - 1), key, 0); }
    void controller(int32_t frame, int number, int value, int channel = 1) {
        queue(frame, 0xB0 | (channel - 1), number, value);
    }
    // Hands the queued events over with opcode 25 (also when none are queued).
    intptr_t deliver();

    // Delivers the queued events (if any) and processes one block through the
    // record's replacing slot, with buffers or with null outputs. The block's
    // audio is in `left`/`right` and appended to `audioLeft`/`audioRight`. With
    // `guardSample` set the buffers start as NaN, so that an unwritten sample
    // shows, with one more sample each whose writing counts in `overruns`.
    void run(int32_t frames, bool buffers = true);
    // Several blocks of the same length.
    void runBlocks(int count, int32_t frames, bool buffers = true);

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float option = 0.0f) {
        return palmtone::Plugin::dispatcher(effect(), opcode, index, value, ptr, option);
    }

    // The output events of one block (-1: those sent outside process).
    std::vector<Midi> outputOf(int32_t block) const;
    void clearOutput() { out.clear(); }

    // --- host side, open to the tests (also `time` and `answerTime`) ---
    std::function<void()> onList;         // runs inside every opcode 8 call, after the copy
    std::vector<vsthost::HostCall> calls; // every call into the host, in order
    std::vector<OutEvent> out;            // every output event, in order
    int32_t lists = 0;                    // opcode 8 calls so far
    int32_t blocks = 0;                   // blocks run so far
    int32_t currentBlock = -1;            // the block being processed, -1 outside
    std::vector<int64_t> blockStart;      // first absolute frame of each block run
    int64_t framesRun = 0;
    bool guardSample = false;
    int64_t overruns = 0;

    std::vector<float> left, right;
    std::vector<float> audioLeft, audioRight;

  protected:
    void heard(const vsthost::HostCall& call) override;

  private:
    std::unique_ptr<palmtone::Plugin> plugin_;
    EventList queued_;
};

// A fixture playing C major triads (C = 60 64 67), with the output of the
// block just run.
class TriadTest : public ::testing::Test {
  protected:
    TriadTest() { host.setUnit(palmtone::pChords, 0); }

    std::vector<Midi> block(int32_t frames = 512) {
        host.run(frames);
        return host.outputOf(host.blocks - 1);
    }
    palmtone::Plugin& p() { return host.plugin(); }

    TestHost host;
};

// One take entry as the tests compare it; beats match within 1e-9.
struct TakeEntry {
    double beats;
    int note;
    int channel; // 0..15
    int velocity;
    bool on;
    bool operator==(const TakeEntry& o) const;
};
std::ostream& operator<<(std::ostream& os, const TakeEntry& e);
std::vector<TakeEntry> takeEntries(const palmtone::Plugin& plugin);
// Beats per sample of a take at `bpm` and `rate`.
inline double beatsPerSample(double bpm, double rate) {
    return bpm / (60.0 * rate);
}

// Records a finished take straight through the recorder, as the audio thread
// would at 48000 Hz and 120 BPM: C4 held for `heldFrames`, then stopped.
void stoppedTake(palmtone::Plugin& plugin, int32_t heldFrames = 24000);

// The normalised value of a whole value in parameter index's unit, in the
// double precision the instance stores (param_table.hpp has the host's float).
double exactNormalised(int index, double unitValue);

// A one-shot of `frames` frames at `rate`, every left sample `value` (mono).
std::unique_ptr<palmtone::SampleData> constantSample(size_t frames, double rate, float value);

} // namespace velktest
