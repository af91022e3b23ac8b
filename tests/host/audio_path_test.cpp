// The built DLL's audio path under Wine makes no call to allocate, free, lock,
// wait, sleep or touch a window: the project's host points the DLL's own import table at
// counting thunks (tools/host/import_patch.*) and drives the shared scenario
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
// The editor's side of the scenario (count-in, take state, key ring, reset)
// acts on the DLL's instance through the instance pointer in the effect
// record, with the core's own code built into this test: the same atomics the
// editor inside the DLL writes. Nothing it does goes through the DLL's import
// table, and none of it is counted.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "plugin/plugin.hpp"
#include "tests/host/plugin_fixture.hpp"
#include "tests/support/audio_path_scenario.hpp"
#include "tools/host/editor_frame.hpp"
#include "tools/host/import_patch.hpp"

namespace hosttest {
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

palmtone::Plugin& instanceOf(vsthost::Host& host) {
    auto* plugin = static_cast<palmtone::Plugin*>(host.effect()->object);
    // This build's idea of the instance's layout agrees with the DLL's.
    EXPECT_EQ(&plugin->effect, host.effect());
    return *plugin;
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

// The proof's side of the scenario, through the DLL's effect record.
struct DllDriver {
    vsthost::Host& host;
    palmtone::Plugin& instance;
    const vsthost::ImportCounter& counter;
    std::vector<uint64_t> counted;
    std::vector<vsthost::BlockMidi> pending;
    vsthost::EventListBuffer list;
    std::vector<int32_t> blockSizes;
    bool tempoValid = true;
    bool audioSaneSoFar = true;

    palmtone::Plugin& plugin() { return instance; }
    void midi(int32_t frame, int status, int data1, int data2) {
        pending.push_back(
            {frame, static_cast<uint8_t>(status), static_cast<uint8_t>(data1), static_cast<uint8_t>(data2)});
    }
    void audio(int32_t frames) {
        list.assign(pending);
        pending.clear();
        vsthost::countDuring(counter, counted, [&] {
            host.sendList(list);
            host.process(frames);
        });
        blockSizes.push_back(frames);
        audioSaneSoFar = audioSaneSoFar && audioSane(host.blockLeft()) && audioSane(host.blockRight());
    }
    void parameter(int32_t index, float value) {
        vsthost::countDuring(counter, counted, [&] { host.setParameter(index, value); });
    }
    void suspendAndResume() {
        vsthost::countDuring(counter, counted, [&] {
            host.suspend();
            host.resume();
        });
    }
    void toggleHostTempo() {
        tempoValid = !tempoValid;
        host.setTempo(tempoValid ? vsthost::TempoAnswer::valid : vsthost::TempoAnswer::invalid, 98.0);
    }
    void sampleRate(float hz) { ASSERT_EQ(host.dispatch(10, 0, 0, nullptr, hz), 1); }
    void restore(const std::vector<uint8_t>& chunk) {
        ASSERT_EQ(
            host.dispatch(24, 0, static_cast<intptr_t>(chunk.size()), const_cast<uint8_t*>(chunk.data())), 1);
    }
};

TEST(AudioPath, TheDllAllocatesLocksWaitsSleepsAndTouchesNoWindow) {
    const Patched p = patchLibrary();
    vsthost::Host host(library());
    host.setTempo(vsthost::TempoAnswer::valid, 98.0);
    host.start();
    host.keepAudio(false);
    DllDriver driver{host, instanceOf(host), *p.counter, {}, {}, {}, {}};
    velktest::AudioPathScenario scenario;
    scenario.run(driver);

    uint64_t total = 0;
    for (uint64_t n : driver.counted)
        total += n;
    EXPECT_EQ(total, 0u) << vsthost::describeCalls(*p.counter, driver.counted);
    std::printf("audio path: %zu blocks, %llu counted calls to %zu patched imports\n",
                driver.blockSizes.size(), static_cast<unsigned long long>(total), p.counter->size());

    // The blocks did real work: notes in and out, a take recorded.
    EXPECT_TRUE(driver.audioSaneSoFar);
    EXPECT_GT(host.received().size(), 100u);
    EXPECT_TRUE(midiWellFormed(host.received(), driver.blockSizes));
    EXPECT_GE(scenario.recordingSince, 0);
    EXPECT_EQ(scenario.finalTakeState, tamso::Finished);
    EXPECT_GT(driver.instance.capture.entryCount, 10);
    host.close();
}

} // namespace
} // namespace hosttest
