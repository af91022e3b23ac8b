#pragma once
// One plug-in instance: a single heap block that holds every fixed buffer the
// audio thread touches, and the effect record the host drives it through.
//
// Threads (see ARCHITECTURE.md):
//   audio thread  - process() and, just before it, opcode 25 (events intake)
//   UI thread     - every other opcode, the editor, loadSample/removeSample
//   any thread    - setParameter/getParameter; state save/restore (opcodes 23/24)
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "chords/chord.hpp"
#include "chords/midi_capture.hpp"
#include "plugin/host/parameters.hpp"
#include "plugin/host/vst2.hpp"
#include "plugin/media/sample_bank.hpp"
#include "plugin/sound/count_in.hpp"
#include "plugin/sound/engine.hpp"
#include "plugin/sound/input_event.hpp"
#include "plugin/sound/ui_event_ring.hpp"
#include "plugin/sound/voicing.hpp"

namespace palmtone {

class Editor;

constexpr int32_t maxBlockEvents = 1024;
constexpr int32_t maxOutEvents = 512;
constexpr int32_t uniqueId = 0x564B4231; // 'VKB1'
constexpr int32_t pluginVersion = 1300;
constexpr char productName[] = "VELK beta"; // the effect name and product text the host reads

class Plugin {
  public:
    explicit Plugin(vst2::HostCallback hostCallback) noexcept;
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // --- callbacks stored in the effect record ---
    static intptr_t dispatcher(vst2::Effect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float option);
    // Audio thread.
    static void replacing(vst2::Effect* effect, float** inputs, float** outputs, int32_t frames) noexcept;
    // Any thread.
    static void setParameter(vst2::Effect* effect, int32_t index, float value) noexcept;
    static float getParameter(vst2::Effect* effect, int32_t index) noexcept;

    // Every opcode but close; no exception leaves it.
    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option);

    // --- audio thread ---
    void process(float** outputs, int32_t frames) noexcept;

    // --- parameters (any thread) ---
    void set(int index, double normalised) noexcept; // quantised, no notification
    void edit(int index, double value) noexcept;     // in the parameter's unit; notifies the host
    ParamValues snapshot() const noexcept;

    // --- host suspend / stop processing (while the host does not process) ---
    void suspend() noexcept;

    // --- MIDI output (audio thread, or suspend) ---
    void addOutput(int32_t frame, int32_t note, bool on, int32_t channel, int32_t velocity) noexcept;
    void flush() noexcept;
    void syncOutput(int32_t frame, const Settings& settings) noexcept;

    // --- editor side of the UI event ring (single producer) ---
    // Pushes one event for the next block; a full ring sets `overflow` and drops it.
    bool pushUiEvent(int32_t status, int32_t data1, int32_t data2) noexcept;

    // --- one-shots (UI thread) ---
    void loadSample(const std::wstring& path);
    bool removeSample(const std::wstring& path, bool current);

    // --- state chunk (any host thread) ---
    intptr_t saveState(void** destination) noexcept;
    intptr_t restoreState(const void* data, intptr_t size) noexcept;

    // ---- members, in the order of the instance's layout ----
    const vst2::HostCallback host;
    Editor* editor = nullptr;                    // UI thread only
    std::atomic<double> sampleRate{48000.0};     // opcode 10 writes; audio thread reads
    int32_t blockSize = 512;                     // stored, never read
    std::atomic<double> params[paramCount];      // normalised, always quantised
    InputEvent blockEvents[maxBlockEvents] = {}; // audio thread: next block's host events
    int32_t blockEventCount = 0;
    UiEventRing uiEvents;                  // the editor pushes, the audio thread takes
    std::atomic<bool> overflow{false};     // an event was dropped: full reset next block
    std::atomic<bool> resetRequest{false}; // the editor asks for a full reset
    vst2::MidiEvent outEvents[maxOutEvents] = {};
    vst2::EventList<maxOutEvents> outList = {};
    bool outOn[128] = {};
    int32_t outChannel = 0;
    std::vector<uint8_t> chunk; // last chunk handed out, under stateMutex
    std::mutex stateMutex;      // before SampleBank::mutex, never the audio thread
    vst2::Effect effect{};
    Engine engine;
    tamso::MidiCapture capture;
    SampleBank bank;
    CountIn countIn;
    std::atomic<double> tempo{120.0}; // published tempo of the last block
    std::atomic<bool> tempoFromHost{false};

  private:
    intptr_t takeEvents(const vst2::HostEventList* list) noexcept; // opcode 25
    void handleEvent(const InputEvent& event, const Settings& settings) noexcept;
    void evaluateNotes(int32_t frame, const Settings& settings, bool syncEach) noexcept;
    void releaseKey(HeldKey& key) noexcept;
    void releaseEverything(const Settings& settings, bool syncEach) noexcept;
    void dropPendingEvents() noexcept;
    void fullReset(const Settings& settings) noexcept;
    void revoice(const Settings& settings) noexcept;
    void countInEnd(int32_t offset, double rate, double tempoBpm, const Settings& settings) noexcept;
    void enterSoundingNotes(int32_t offset, const Settings& settings) noexcept;
    void renderPiece(float* left, float* right, int32_t from, int32_t to, const Settings& settings) noexcept;
    double hostTempo(const Settings& settings, bool& fromHost) noexcept;
};

// Recovers the instance from a record the host passes; null for a null record or object.
Plugin* fromEffect(vst2::Effect* effect) noexcept;

} // namespace palmtone
