// The built DLL's audio path under Wine makes no call to allocate, free, lock,
// wait, sleep or touch a window: the project's host points the DLL's own import table at
// counting thunks (tools/vst-host/import_patch.*) and drives the shared scenario
// mix (audio_path_scenario.hpp) through opcode 25 and processReplacing, with
// parameter changes and suspend counted too. The positive controls show that
// the same counters see the calls the DLL makes outside the audio path.
//
// What the import table cannot show: winpthreads is linked into the DLL, and a
// std::mutex that was locked before takes its fast path with one exchange and
// no import (its first lock allocates, a contended one waits: both counted).
// The native count (tests/realtime) sees every pthread_mutex_lock of the same
// code.
//
// The editor's side of the scenario (its chord key, its transport, "Soltar
// notas") goes to the DLL's editor, opened in a host frame at the first
// gesture and open from then on, as window messages between the blocks; its
// own calls are not counted, and the blocks run while it is open. A box that
// shows at one of its clicks fails the test. That its clicks hit and the take
// ran is checked as its user gets the take: once the counted part is over,
// "Guardar archivo .mid" saves it through the real save dialog, and the file
// read back holds a finished take with its notes closed, as long as the audio
// recorded without the pause. An editor that recorded nothing saves nothing
// (the negative control); the take's states at each button are the
// instance's own, which the native proof checks.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/dll/dll_level.hpp"
#include "tests/dll/plugin_fixture.hpp"
#include "tests/scenarios/audio_path_scenario.hpp"
#include "tests/support/smf_reader.hpp"
#include "tests/support/window_probe.hpp"
#include "tools/vst-host/editor_frame.hpp"
#include "tools/vst-host/import_patch.hpp"

namespace dlltest {
namespace {

struct Patched {
    std::unique_ptr<vsthost::ImportCounter> counter;
    std::set<std::string> functions;
};

Patched patchLibrary() {
    void* module = vsthost::moduleOf(reinterpret_cast<const void*>(library().entry()));
    Patched p;
    p.counter = std::make_unique<vsthost::ImportCounter>(module, vsthost::audioThreadForbidden(),
                                                         vsthost::audioThreadForbiddenDlls());
    for (size_t i = 0; i < p.counter->size(); ++i)
        p.functions.insert(p.counter->slot(i).function);
    return p;
}

// The DLL's imports are found and patched: at least the C runtime's heap
// functions, a critical section and a wait, which mingw's static runtime
// always brings in, and the editor's window calls.
TEST(ImportPatch, FindsTheRuntimesImports) {
    const Patched p = patchLibrary();
    for (const char* name : {"malloc", "calloc", "realloc", "free", "EnterCriticalSection",
                             "WaitForSingleObject", "CreateWindowExW", "InvalidateRect"})
        EXPECT_EQ(p.functions.count(name), 1u) << name << " not patched";
}

// Positive controls: calls the DLL makes outside the audio path are counted,
// and the patched DLL still behaves (a restore takes, a save gives it back,
// the editor opens).
TEST(ImportPatch, CountsTheDllsCallsOutsideTheAudioPath) {
    const Patched p = patchLibrary();
    std::vector<uint64_t> created, restored, saved, closed;
    std::unique_ptr<vsthost::Host> host;
    vsthost::countDuring(*p.counter, created, [&] { host = std::make_unique<vsthost::Host>(library()); });
    host->start();
    const velktest::AudioPathScenario scenario;
    vsthost::countDuring(*p.counter, restored, [&] {
        EXPECT_EQ(host->dispatch(24, 0, static_cast<intptr_t>(scenario.firstSound.size()),
                                 const_cast<uint8_t*>(scenario.firstSound.data())),
                  1);
    });
    void* chunk = nullptr;
    intptr_t size = 0;
    vsthost::countDuring(*p.counter, saved, [&] { size = host->dispatch(23, 0, 0, &chunk); });
    ASSERT_GT(size, 0);
    EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(chunk), static_cast<uint8_t*>(chunk) + size),
              scenario.firstSound);
    std::vector<uint64_t> editor;
    {
        vsthost::EditorFrame frame(*host);
        vsthost::countDuring(*p.counter, editor, [&] {
            EXPECT_EQ(frame.open(), 1);
            frame.drain();
            frame.close();
        });
    }
    vsthost::countDuring(*p.counter, closed, [&] { host->close(); });

    auto ofKind = [&](const std::vector<uint64_t>& calls, const char* kind) {
        uint64_t n = 0;
        for (size_t i = 0; i < calls.size(); ++i)
            if (p.counter->slot(i).kind == kind) n += calls[i];
        return n;
    };
    auto allocations = [&](const std::vector<uint64_t>& calls) { return ofKind(calls, "allocation"); };
    // The instance is one heap block; a restore decodes the WAV into new
    // buffers; a save grows its chunk; a close frees the samples and the block.
    EXPECT_GE(allocations(created), 1u) << vsthost::describeCalls(*p.counter, created);
    EXPECT_GE(allocations(restored), 2u) << vsthost::describeCalls(*p.counter, restored);
    EXPECT_GE(allocations(saved), 1u) << vsthost::describeCalls(*p.counter, saved);
    EXPECT_GE(allocations(closed), 2u) << vsthost::describeCalls(*p.counter, closed);
    // The editor's window, opened in a host frame and closed, is all window calls.
    EXPECT_GE(ofKind(editor, "window"), 5u) << vsthost::describeCalls(*p.counter, editor);
    std::printf(
        "outside the audio path: create {%s}\n  restore {%s}\n  save {%s}\n  editor {%s}\n  close {%s}\n",
        vsthost::describeCalls(*p.counter, created).c_str(),
        vsthost::describeCalls(*p.counter, restored).c_str(),
        vsthost::describeCalls(*p.counter, saved).c_str(), vsthost::describeCalls(*p.counter, editor).c_str(),
        vsthost::describeCalls(*p.counter, closed).c_str());
}

// The proof's level: the DLL's level, each call into it the scenario's driver
// counts made inside the import counter, every block's audio checked.
class CountedDllLevel : public velktest::DllLevel {
  public:
    explicit CountedDllLevel(const vsthost::ImportCounter& counter) : counter_(counter) {
        host().keepAudio(false);
    }

    const std::vector<uint64_t>& counted() const { return counted_; }
    const std::vector<int32_t>& blockSizes() const { return blockSizes_; }
    bool audioSaneSoFar() const { return audioSaneSoFar_; }

    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option) override {
        if (opcode != vst2::op::mainsChanged) return DllLevel::dispatch(opcode, index, value, ptr, option);
        intptr_t result = 0;
        vsthost::countDuring(counter_, counted_,
                             [&] { result = DllLevel::dispatch(opcode, index, value, ptr, option); });
        return result;
    }
    void setParameter(int32_t index, float value) override {
        vsthost::countDuring(counter_, counted_, [&] { DllLevel::setParameter(index, value); });
    }
    float getParameter(int32_t index) override {
        float value = 0.0f;
        vsthost::countDuring(counter_, counted_, [&] { value = DllLevel::getParameter(index); });
        return value;
    }
    intptr_t deliver() override {
        intptr_t result = 0;
        vsthost::countDuring(counter_, counted_, [&] { result = DllLevel::deliver(); });
        return result;
    }
    void run(int32_t frames) override {
        vsthost::countDuring(counter_, counted_, [&] { DllLevel::run(frames); });
        blockSizes_.push_back(frames);
        audioSaneSoFar_ = audioSaneSoFar_ && audioSane(blockLeft()) && audioSane(blockRight());
    }

  private:
    const vsthost::ImportCounter& counter_;
    std::vector<uint64_t> counted_;
    std::vector<int32_t> blockSizes_;
    bool audioSaneSoFar_ = true;
};

// The folder the proof saves its take in, created when missing.
std::wstring takeFolder() {
    const std::wstring folder = velktest::windowsPath(VELK_BINARY_DIR "/tests/dll/audio-path-take");
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// What is wrong with a saved take for a finished take of more than `moreThan`
// note events: each note-on closed by a note-off of its channel before the
// note sounds again, none left open. Empty when nothing.
std::string takeProblem(const velktest::Smf& smf, size_t moreThan) {
    if (smf.notes.size() <= moreThan)
        return "too few notes: " + std::to_string(smf.notes.size()) + " note events, wanted more than " +
               std::to_string(moreThan);
    struct {
        bool on;
        int channel;
    } open[128]{};
    for (const velktest::SmfNote& n : smf.notes) {
        const std::string at =
            " (note " + std::to_string(n.note) + " at tick " + std::to_string(n.tick) + ")";
        if (n.on && open[n.note].on) return "a note-on of a sounding note" + at;
        if (!n.on && (!open[n.note].on || open[n.note].channel != n.channel))
            return "a note-off of a note not sounding on its channel" + at;
        open[n.note] = {n.on, n.channel};
    }
    for (int note = 0; note < 128; ++note)
        if (open[note].on) return "note " + std::to_string(note) + " left open";
    return "";
}

// Frames at `rate` from the take's start to `tick`, at the file's tempo.
double framesTo(const velktest::Smf& smf, uint32_t tick, double rate) {
    constexpr double ticksPerQuarter = 960.0; // the strict reader takes no other
    return tick / ticksPerQuarter * smf.tempo * 1e-6 * rate;
}

// The check of the take fails where no take ran: an editor that recorded
// nothing offers nothing to save.
TEST(AudioPathTake, NothingIsSavedWhereNoTakeRan) {
    velktest::DllLevel level;
    const velktest::SavedTake take = level.saveTake(takeFolder() + L"\\none.mid");
    EXPECT_NE(take.failure.find("no save dialog"), std::string::npos) << take.failure;
    EXPECT_TRUE(take.bytes.empty());
}

TEST(AudioPath, TheDllAllocatesLocksWaitsSleepsAndTouchesNoWindow) {
    const Patched p = patchLibrary();
    CountedDllLevel level(*p.counter);
    const velktest::AudioPathScenario scenario;
    scenario.run(level);

    uint64_t total = 0;
    for (uint64_t n : level.counted())
        total += n;
    EXPECT_EQ(total, 0u) << vsthost::describeCalls(*p.counter, level.counted());
    std::printf("audio path: %zu blocks, %llu counted calls to %zu patched imports\n",
                level.blockSizes().size(), static_cast<unsigned long long>(total), p.counter->size());

    // The blocks did real work: notes in and out.
    EXPECT_TRUE(level.audioSaneSoFar());
    EXPECT_GT(level.host().received().size(), 100u);
    EXPECT_TRUE(midiWellFormed(level.host().received(), level.blockSizes()));

    // The editor's clicks counted in, recorded, paused, resumed and stopped
    // a take: saved through the editor as its user saves it (after the
    // counted calls), it is a finished take with notes in it.
    const velktest::SavedTake take = level.saveTake(takeFolder() + L"\\take.mid");
    ASSERT_EQ(take.failure, "");
    velktest::Smf smf;
    ASSERT_EQ(velktest::readSmf(take.bytes, smf), "") << "not a take file";
    ASSERT_EQ(takeProblem(smf, 10), "");
    // Chords sound as the take starts and as it stops, so its first note-on
    // (the file's tick 0) is the take's start and its last note-off the
    // stop's: it lasts the audio recorded, without the pause. A missed
    // "Pausa" makes it longer, a missed resume shorter. One tick of rounding
    // either side.
    using Scenario = velktest::AudioPathScenario;
    const double length = framesTo(smf, smf.notes.back().tick, Scenario::takeRate);
    const double oneTick = framesTo(smf, 1, Scenario::takeRate);
    EXPECT_GE(length, Scenario::shortestTake() - oneTick) << "the take is shorter than its recorded audio";
    EXPECT_LE(length, Scenario::longestTake() + oneTick) << "the take is longer than its recorded audio";
    std::printf("the take saved: %zu note events over %.0f frames (the blocks recorded %lld..%lld)\n",
                smf.notes.size(), length, static_cast<long long>(Scenario::shortestTake()),
                static_cast<long long>(Scenario::longestTake()));
}

} // namespace
} // namespace dlltest
