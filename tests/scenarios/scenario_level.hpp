#pragma once
// The scenarios written once and run at two levels. The scenarios of this
// folder (the library velk_scenarios) are written against Level: what a host
// and the editor's user do with an instance, and what the host sees of it.
// They are linked into core_tests, whose makeLevel() gives an instance in this
// process around the test host (tests/plugin/native_level.hpp), and into
// dll_tests, whose makeLevel() gives the built DLL through the project's host
// under Wine (tests/dll/dll_level.hpp). The audio-path proofs run their
// scenario (audio_path_scenario.hpp) on a Driver, the same calls without the
// host's log, at levels that count what the instance calls meanwhile.
//
// A level reaches its instance only as a host does: the opcodes, the effect
// record's callbacks, the host callback's answers, and the editor's window for
// the user's keys and clicks. The scenarios see no instance header
// (plugin/plugin.hpp): what only the instance's insides show is checked in
// core_tests alone, on the native level's instance (OnInstance).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "plugin/host/parameters.hpp"
#include "plugin/host/vst2.hpp"
#include "tests/support/host_checks.hpp"
#include "tests/support/kernel_choice.hpp"
#include "tests/support/midi_messages.hpp"
#include "tests/support/param_table.hpp"
#include "tools/vst-host/host_call.hpp"

namespace velktest {

using vsthost::HostCall;

// What a host and the editor's user do with one instance.
class Driver {
  public:
    virtual ~Driver() = default;

    // --- the host's calls, through the effect record ---
    virtual vst2::Effect* effect() = 0;
    virtual intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option) = 0;
    virtual void setParameter(int32_t index, float value) = 0;
    virtual float getParameter(int32_t index) = 0;
    // The host's MIDI for the next opcode 25 call, at an offset in the coming block.
    virtual void queue(int32_t frame, int status, int data1, int data2) = 0;
    // Opcode 25 with what is queued, also when nothing is.
    virtual intptr_t deliver() = 0;
    // Delivers what is queued, if anything, and processes one block through the
    // replacing slot.
    virtual void run(int32_t frames) = 0;

    // --- the host's answers ---
    // The answer to opcode 7 from now on: a time block with these flags and
    // tempo, or (`answer` false) a null pointer.
    virtual void answerTime(bool answer, int32_t flags, double tempo) = 0;

    // --- the editor, as its user plays it; what it asks acts at the next block ---
    // A chord key of the computer keyboard ('A', 'S', ... 'K') pressed or let go.
    virtual void key(int32_t virtualKey, bool down) = 0;
    // Pad 0..7 pressed or let go with the mouse.
    virtual void pad(int index, bool down) = 0;
    // The transport's buttons: "Grabar" (a count-in, then the take), "Pausa"
    // (pause or continue the take), "Detener" (cancel the count-in, stop the
    // take) and "Soltar notas" (every key let go and a full reset).
    virtual void record() = 0;
    virtual void pauseOrResume() = 0;
    virtual void stop() = 0;
    virtual void releaseNotes() = 0;
};

// A driver whose host keeps what it received and rendered; its blocks render
// into NaN-filled buffers with a guard sample after each.
class Level : public Driver {
  public:
    virtual int64_t blocks() const = 0; // run so far
    // What the host received since it was created or its log last cleared.
    virtual std::vector<Sent> sent() const = 0;
    virtual std::vector<HostCall> calls() const = 0;
    virtual void clearLog() = 0;
    // The last block's audio, and every block's.
    virtual std::vector<float> blockLeft() const = 0;
    virtual std::vector<float> blockRight() const = 0;
    virtual const std::vector<float>& left() const = 0;
    virtual const std::vector<float>& right() const = 0;
    virtual int64_t overruns() const = 0; // blocks whose guard sample was written

    // A mono one-shot of `frames` samples of `value` at `rate` Hz, in the
    // library the instance plays from (the settings may return to defaults).
    virtual void loadOneShot(size_t frames, double rate, float value) = 0;
};

// This program's level, started as a DAW starts an instance: open, 48000 Hz,
// blocks of 512, resume, start processing; the host answers a tempo of 120.
std::unique_ptr<Level> makeLevel();

using Out = std::vector<Midi>;

// The note-ons (or note-offs) of `notes` at one frame, in that order.
inline Out ons(int32_t frame, std::initializer_list<int> notes, int velocity, int channel = 1) {
    Out out;
    for (int n : notes)
        out.push_back(on(frame, n, velocity, channel));
    return out;
}
inline Out offs(int32_t frame, std::initializer_list<int> notes, int channel = 1) {
    Out out;
    for (int n : notes)
        out.push_back(off(frame, n, channel));
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
    LevelTest() : level_(makeLevel()) {}
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

    // --- the host's calls ---
    void set(int32_t index, float value) { level_->setParameter(index, value); }
    float get(int32_t index) { return level_->getParameter(index); }
    void setUnit(int32_t index, double unitValue) { set(index, normalised(index, unitValue)); }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float option = 0.0f) {
        return level_->dispatch(opcode, index, value, ptr, option);
    }
    void suspend() { dispatch(vst2::op::mainsChanged, 0, 0); }
    void resume() { dispatch(vst2::op::mainsChanged, 0, 1); }
    // The normalised values the state chunk (opcode 23) stores: a 32-bit float
    // per parameter after "TPX2STAT", the version and the value count.
    std::vector<float> saved() {
        constexpr size_t valuesAt = 16, count = std::size(params);
        std::vector<float> values(count);
        void* data = nullptr;
        const intptr_t size = dispatch(vst2::op::getStateChunk, 0, 0, &data);
        if (!data || size < static_cast<intptr_t>(valuesAt + 4 * count)) {
            ADD_FAILURE() << "no state chunk with the values: " << size << " bytes";
            return values;
        }
        std::memcpy(values.data(), static_cast<const uint8_t*>(data) + valuesAt, 4 * count);
        return values;
    }

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
    std::vector<HostCall> calls(int32_t opcode) const {
        std::vector<HostCall> out;
        for (const HostCall& c : level_->calls())
            if (c.opcode == opcode) out.push_back(c);
        return out;
    }
    std::vector<HostCall> calls() const { return level_->calls(); }
    void clearLog() { level_->clearLog(); }
    // Made on the thread that drives the instance.
    static bool onThisThread(const HostCall& c) { return c.thread == std::this_thread::get_id(); }

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
