#pragma once
// The scenarios written once and run at both levels: held_keys_scenario.cpp,
// midi_output_scenario.cpp, parameter_scenario.cpp, intake_scenario.cpp and
// block_scenario.cpp (the library velk_scenarios) are written against Level,
// the little a host does with an instance, and linked into core_tests, whose
// makeLevel() gives an instance in this process around the test host
// (tests/plugin/scenario_level.cpp), and into host_tests, whose makeLevel()
// gives the built DLL through the project's host under Wine
// (tests/host/scenario_level.cpp).
//
// At both levels the scenarios read and set the instance's own fields through
// the effect record's object pointer, as the editor inside the DLL does: the
// DLL lays the instance out from the same headers with the same compiler.
// A member function called on the instance runs the test program's copy of
// the code, so the scenarios call none but the editor's own: pushing into the
// UI ring and asking for a count-in.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "plugin/host/vst2.hpp"
#include "plugin/plugin.hpp"
#include "tests/support/host_checks.hpp"
#include "tests/support/param_table.hpp"
#include "tests/support/test_host.hpp"

namespace velktest {

// One call of the plug-in into the host.
struct Call {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    const void* pointer;
    float option;
    int64_t block;     // the block being processed; -1 outside process
    bool callerThread; // made on the thread that drives the instance
    int32_t events;    // opcode 8: the list's count; else 0
};

// One instance as a host holds it.
class Level {
  public:
    virtual ~Level() = default;
    virtual vst2::Effect* effect() = 0;
    // The host's MIDI for the next opcode 25 call, at an offset in the coming block.
    virtual void queue(int32_t frame, int status, int data1, int data2) = 0;
    // Opcode 25 with what is queued, also when nothing is.
    virtual intptr_t deliver() = 0;
    // Delivers what is queued, if anything, and processes one block through the
    // replacing slot into NaN-filled buffers with a guard sample after each.
    virtual void run(int32_t frames) = 0;
    virtual int64_t blocks() const = 0; // run so far
    // What the host received since it was created or its log last cleared.
    virtual std::vector<Sent> sent() const = 0;
    virtual std::vector<Call> calls() const = 0;
    virtual void clearLog() = 0;
    // The last block's audio, and every block's.
    virtual std::vector<float> blockLeft() const = 0;
    virtual std::vector<float> blockRight() const = 0;
    virtual const std::vector<float>& left() const = 0;
    virtual const std::vector<float>& right() const = 0;
    virtual int64_t overruns() const = 0; // blocks whose guard sample was written

    // The host's answer to opcode 7 from now on: a time block with these flags
    // and tempo, or (`answer` false) a null pointer.
    virtual void answerTime(bool answer, int32_t flags, double tempo) = 0;
    // A mono one-shot of `frames` samples of `value` at `rate` Hz, in the
    // library the instance plays from (the settings may return to defaults).
    virtual void loadOneShot(size_t frames, double rate, float value) = 0;
};

// This program's level, started as a DAW starts an instance: open, 48000 Hz,
// blocks of 512, resume, start processing; the host answers a tempo of 120.
std::unique_ptr<Level> makeLevel();
// Runs `check` once for each set of rendering kernels this program can switch
// its instances to.
void eachKernel(const std::function<void()>& check);

using coretest::Midi;
using Out = std::vector<Midi>;

// The note-ons (or note-offs) of `notes` at one frame, in that order.
inline Out ons(int32_t frame, std::initializer_list<int> notes, int velocity, int channel = 1) {
    Out out;
    for (int n : notes)
        out.push_back(coretest::on(frame, n, velocity, channel));
    return out;
}
inline Out offs(int32_t frame, std::initializer_list<int> notes, int channel = 1) {
    Out out;
    for (int n : notes)
        out.push_back(coretest::off(frame, n, channel));
    return out;
}
inline Out operator+(Out a, const Out& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A test on a fresh level. Every instance it used ends with all its audio
// within -1..1 and no block written past its end.
class LevelTest : public ::testing::Test {
  protected:
    LevelTest() : level_(makeLevel()) { EXPECT_EQ(&p().effect, level_->effect()); }
    void SetUp() override { prepare(); }
    void TearDown() override { ended(); }
    // What the fixture sets on each new instance.
    virtual void prepare() {}
    // A new instance for the next part of a case.
    void fresh() {
        ended();
        level_ = makeLevel();
        prepare();
    }

    Level& level() { return *level_; }
    vst2::Effect* fx() { return level_->effect(); }
    palmtone::Plugin& p() { return *static_cast<palmtone::Plugin*>(level_->effect()->object); }

    // --- the host's calls ---
    void set(int32_t index, float value) { fx()->setParameter(fx(), index, value); }
    float get(int32_t index) { return fx()->getParameter(fx(), index); }
    void setUnit(int32_t index, double unitValue) { set(index, normalised(index, unitValue)); }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float option = 0.0f) {
        return fx()->dispatcher(fx(), opcode, index, value, ptr, option);
    }
    void suspend() { dispatch(vst2::op::mainsChanged, 0, 0); }
    void resume() { dispatch(vst2::op::mainsChanged, 0, 1); }

    // --- the host's MIDI for the next block ---
    void queue(int32_t frame, int status, int data1, int data2) {
        level_->queue(frame, status, data1, data2);
    }
    void noteOn(int32_t frame, int key, int velocity = 100, int channel = 1) {
        queue(frame, 0x90 | (channel - 1), key, velocity);
    }
    void noteOff(int32_t frame, int key, int channel = 1) { queue(frame, 0x80 | (channel - 1), key, 0); }
    void controller(int32_t frame, int number, int value, int channel = 1) {
        queue(frame, 0xB0 | (channel - 1), number, value);
    }
    intptr_t deliver() { return level_->deliver(); }

    // One block, and what it sent.
    Out block(int32_t frames = 512) {
        level_->run(frames);
        return outputOf(level_->blocks() - 1);
    }

    // --- what the host received since its log was last cleared ---
    std::vector<Sent> sent() const { return level_->sent(); }
    // Sent while block `index` ran (-1: outside process).
    Out outputOf(int64_t index) const {
        Out out;
        for (const Sent& s : level_->sent())
            if (s.block == index) out.push_back(midiOf(s));
        return out;
    }
    Out output() const {
        Out out;
        for (const Sent& s : level_->sent())
            out.push_back(midiOf(s));
        return out;
    }
    std::vector<Call> calls(int32_t opcode) const {
        std::vector<Call> out;
        for (const Call& c : level_->calls())
            if (c.opcode == opcode) out.push_back(c);
        return out;
    }
    std::vector<Call> calls() const { return level_->calls(); }
    void clearLog() { level_->clearLog(); }

  private:
    static Midi midiOf(const Sent& s) { return {s.frame(), s.status(), s.data1(), s.data2()}; }
    void ended() {
        EXPECT_TRUE(audioSane(level_->left()));
        EXPECT_TRUE(audioSane(level_->right()));
        EXPECT_EQ(level_->overruns(), 0) << "blocks written past their end";
    }

    std::unique_ptr<Level> level_;
};

} // namespace velktest
