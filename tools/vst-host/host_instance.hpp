#pragma once
// One plug-in instance driven as a DAW drives it: dispatcher calls, parameters,
// MIDI events through opcode 25 and audio blocks through the replacing slot. The
// host callback answers the tempo query and records every call it receives (with
// the caller's thread) and every MIDI event list the plug-in sends back.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "plugin/host/vst2.hpp"
#include "tools/vst-host/host_call.hpp"
#include "tools/vst-host/plugin_library.hpp"

namespace vsthost {

// What host opcode 7 returns: a time block with the tempo flag (setTimeFlags
// changes its flags), or a null pointer.
enum class TempoAnswer { valid, none };

// One event of a list the plug-in handed over with host opcode 8.
struct ReceivedEvent {
    int64_t block;      // index of the block running (inProcess) or of the next block
    int64_t blockStart; // absolute sample at which that block starts
    int32_t list;       // sequence number of the opcode-8 call, from 0
    bool inProcess;     // arrived while the replacing callback ran
    std::thread::id thread;
    vst2::MidiEvent raw; // the record as received, all 32 bytes

    int64_t time() const noexcept { return blockStart + raw.deltaFrames; }
    uint8_t status() const noexcept { return raw.midiData[0]; }
    uint8_t data1() const noexcept { return raw.midiData[1]; }
    uint8_t data2() const noexcept { return raw.midiData[2]; }
};

// A MIDI message for the coming block, at a sample offset inside it.
struct BlockMidi {
    int32_t offset;
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};

// A host event list with room for any number of events, laid out as the plug-in
// reads it (count, reserved, pointers). The events live inside the object.
class EventListBuffer {
  public:
    void assign(const std::vector<vst2::MidiEvent>& events);
    void assign(const std::vector<BlockMidi>& messages);
    void* list() noexcept { return words_.data(); }
    // Overrides the count field (to hand the plug-in an inconsistent list).
    void setCount(int32_t count) noexcept;
    // Overrides pointer i (e.g. with null or a foreign record).
    void setPointer(size_t i, void* event) noexcept;

  private:
    std::vector<vst2::MidiEvent> events_;
    std::vector<intptr_t> words_; // [0] count, [1] reserved, [2..] pointers
};

vst2::MidiEvent midiEvent(int32_t offset, uint8_t status, uint8_t data1, uint8_t data2);

class Host {
  public:
    // Creates an instance through the library's entry point; throws std::runtime_error
    // when it returns null. Nothing is sent to the instance yet.
    explicit Host(const PluginLibrary& library);
    ~Host(); // closes the instance unless close() ran
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    vst2::Effect* effect() const noexcept { return effect_; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float option = 0.0f);
    void setParameter(int32_t index, float value);
    float getParameter(int32_t index);

    // A DAW's start: open, sample rate, block size, resume, start processing.
    void start(double sampleRate = 48000.0, int32_t blockSize = 512);
    void suspend();   // opcode 12, value 0
    void resume();    // opcode 12, value 1
    intptr_t close(); // opcode 1, once; the record is gone afterwards

    // Hands the plug-in the events of the coming block (opcode 25); returns its answer.
    intptr_t sendEvents(const std::vector<BlockMidi>& messages);
    intptr_t sendList(EventListBuffer& list);

    // One block through the replacing slot into fresh NaN-filled buffers (so an
    // unwritten sample shows); the output is appended to left()/right().
    void process(int32_t frames);
    // One block with a null output array (the plug-in must only advance).
    void processWithoutOutputs(int32_t frames);

    void setTempo(TempoAnswer answer, double bpm = 120.0);
    // Replaces the flags of the time block setTempo made (any combination, valid or not).
    void setTimeFlags(int32_t flags) noexcept { time_.flags = flags; }
    // Off: process() keeps no audio (long runs).
    void keepAudio(bool keep) noexcept { keepAudio_ = keep; }

    // The last block's output (also when audio is not kept).
    std::vector<float> blockLeft() const;
    std::vector<float> blockRight() const;
    // Blocks in which the plug-in wrote past the frame count.
    int64_t overruns() const noexcept { return overruns_; }

    const std::vector<float>& left() const noexcept { return left_; }
    const std::vector<float>& right() const noexcept { return right_; }
    int64_t position() const noexcept { return position_; }
    int64_t blocks() const noexcept { return block_; }

    std::vector<HostCall> calls() const;
    std::vector<HostCall> calls(int32_t opcode) const;
    std::vector<ReceivedEvent> received() const;
    void clearLog();
    void clearAudio();

    // Calls whose record matched no live Host (before the record was known, after
    // close, or with a wrong record); 0 in a correct plug-in.
    static int64_t strayCalls() noexcept;

  private:
    static intptr_t callback(vst2::Effect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                             float option);
    intptr_t answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option);
    void runBlock(float** outputs, int32_t frames);

    vst2::Effect* effect_ = nullptr;
    vst2::TimeInfo time_{};
    TempoAnswer tempoAnswer_ = TempoAnswer::valid;

    std::atomic<int64_t> block_{0};
    std::atomic<int64_t> position_{0};
    std::atomic<bool> inProcess_{false};

    mutable std::mutex logMutex_;
    std::vector<HostCall> calls_;
    std::vector<ReceivedEvent> received_;
    int32_t lists_ = 0;

    EventListBuffer pending_;
    bool keepAudio_ = true;
    int64_t overruns_ = 0;
    size_t lastFrames_ = 0;
    std::vector<float> left_;
    std::vector<float> right_;
    std::vector<float> scratchLeft_;
    std::vector<float> scratchRight_;
};

} // namespace vsthost
