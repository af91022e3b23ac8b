// Two threads on one take, as in the plug-in: the audio side runs blocks, note
// changes and count-in starts; the editor side starts takes, pauses, resumes and
// stops them. Both move the state through the take's own transitions. Every stop
// must end its take, and every finished take must be well formed and hold every
// change sent while it recorded. The editor side drives rounds until the races
// it counts have happened (takes finished and filled, stops behind a pause),
// and fails saying which never did; its waits sleep (tests/support/waits.hpp).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "chords/midi_capture.hpp"
#include "tests/support/smf_reader.hpp"
#include "tests/support/waits.hpp"

using namespace tamso;

namespace {

constexpr int rounds = 6000;    // at least; about two seconds under ThreadSanitizer
constexpr int fullEvery = 1000; // rounds that run until the take is Full
constexpr uint64_t blocksPerRun = 64;

bool ended(int32_t s) {
    return s == Idle || s == Finished || s == Full;
}

struct Change {
    uint8_t note;
    uint8_t channel; // 0-based, as the take stores it
    uint8_t velocity;
    bool on;
};

// The audio thread's side. Its log of the changes a take accepted is written
// before the take's Finished or Full store, so the editor may read it then, like
// the entries.
struct Audio {
    MidiCapture& cap;
    std::atomic<bool>& startWanted;
    std::atomic<bool> quit{false};
    std::atomic<uint64_t> blocks{0};

    std::mt19937 rng{20240611};
    bool sounding[128]{};
    uint8_t channelOf[128]{}; // 1..16
    uint8_t velocityOf[128]{};
    int soundingCount = 0;
    std::vector<Change> log = std::vector<Change>(MidiCapture::capacity);
    int32_t logCount = 0;
    double tempo = 120.0;
    double sampleRate = 48000.0;

    Audio(MidiCapture& c, std::atomic<bool>& wanted) : cap(c), startWanted(wanted) {}

    void run() {
        while (!quit.load(std::memory_order_relaxed)) {
            block();
            // Runs of blocks with a rest between them, as a device paces a real
            // audio thread: where the editor's side shares this core, it gets
            // the core back within a run instead of at the end of a time slice.
            if (blocks.fetch_add(1, std::memory_order_release) % blocksPerRun == blocksPerRun - 1)
                velktest::nap();
        }
    }

    void send(int32_t offset, int note, bool on) {
        // Offsets never precede the take's start sample and changes are never
        // repeated, so below the limit a recording take accepts every change.
        if (cap.recording && cap.entryCount < MidiCapture::limit) {
            log[logCount++] = {static_cast<uint8_t>(note), static_cast<uint8_t>(channelOf[note] - 1),
                               on ? velocityOf[note] : uint8_t{0}, on};
        }
        cap.add(offset, note, on, channelOf[note], velocityOf[note]);
    }

    void enterSounding(int32_t offset) {
        for (int n = 0; n < 128; ++n)
            if (sounding[n]) send(offset, n, true);
    }

    void toggle(int32_t offset) {
        const int note = 36 + static_cast<int>(rng() % 60);
        if (sounding[note]) {
            sounding[note] = false;
            --soundingCount;
            send(offset, note, false);
        } else if (soundingCount < 24) {
            sounding[note] = true;
            ++soundingCount;
            channelOf[note] = static_cast<uint8_t>(1 + rng() % 16);
            velocityOf[note] = static_cast<uint8_t>(1 + rng() % 127);
            send(offset, note, true);
        }
    }

    // The count-in ends at `offset`: a requested start becomes StartRequested,
    // and at once (or, when `deferred`, at the next block start) a new take.
    // Like the count-in's active flag, the request is cleared only afterwards:
    // until then the editor keeps away from the take.
    void countInEnd(int32_t offset, bool deferred) {
        if (!startWanted.load(std::memory_order_acquire)) return;
        if (applyStartTransition(cap.state) && !deferred && cap.beginBlock(sampleRate, tempo, offset)) {
            logCount = 0;
            enterSounding(offset);
        }
        startWanted.store(false, std::memory_order_release);
    }

    void block() {
        const int32_t frames = 1 + static_cast<int32_t>(rng() % 512);
        if (rng() % 16 == 0) {
            static const double tempos[] = {20.0, 60.0, 120.0, 144.5, 300.0, 400.0};
            tempo = tempos[rng() % 6];
        }
        const int32_t seen = cap.state.load();
        if (cap.beginBlock(sampleRate, tempo, 0)) {
            if (seen == StartRequested) logCount = 0;
            enterSounding(0);
        }

        int32_t offsets[8];
        const int count = static_cast<int>(rng() % 9);
        for (int i = 0; i < count; ++i)
            offsets[i] = static_cast<int32_t>(rng() % static_cast<uint32_t>(frames));
        std::sort(offsets, offsets + count);
        int32_t startAt = -1;
        if (startWanted.load(std::memory_order_relaxed) && rng() % 3 == 0)
            startAt = static_cast<int32_t>(rng() % static_cast<uint32_t>(frames + 1));
        for (int i = 0; i < count; ++i) {
            if (startAt >= 0 && offsets[i] > startAt) {
                countInEnd(startAt, false);
                startAt = -1;
            }
            toggle(offsets[i]);
        }
        if (startAt >= 0) countInEnd(startAt, false);
        cap.endBlock(frames);
        if (startWanted.load(std::memory_order_relaxed) && rng() % 4 == 0) countInEnd(frames, true);
    }
};

// What is wrong with a take the editor sees Finished or Full; empty when nothing.
std::string checkTake(const MidiCapture& cap, const Audio& audio, int32_t state) {
    const int32_t n = cap.entryCount;
    if (n < 0 || n > MidiCapture::limit + 128) return "entry count " + std::to_string(n);
    if (state == Full && n < MidiCapture::limit) return "Full with " + std::to_string(n) + " entries";
    struct {
        bool on;
        uint8_t channel;
    } open[128]{};
    double previous = 0.0;
    int32_t logged = 0;
    int32_t ons = 0;
    for (int32_t i = 0; i < n; ++i) {
        const CapturedNote& e = cap.entries[i];
        const std::string at = " at entry " + std::to_string(i);
        if (e.track != 1 || e.note > 127 || e.channel > 15) return "bad field" + at;
        if (!std::isfinite(e.beats) || e.beats < previous) return "out of order" + at;
        previous = e.beats;
        if (e.on) {
            if (open[e.note].on) return "note-on of an open note" + at;
            if (e.velocity < 1 || e.velocity > 127) return "note-on velocity" + at;
            open[e.note] = {true, e.channel};
            ++ons;
        } else {
            if (!open[e.note].on) return "note-off of a closed note" + at;
            if (e.channel != open[e.note].channel || e.velocity != 0)
                return "note-off channel or velocity" + at;
            open[e.note].on = false;
        }
        const Change* want = logged < audio.logCount ? &audio.log[logged] : nullptr;
        if (want && want->note == e.note && want->on == e.on && want->channel == e.channel &&
            want->velocity == e.velocity)
            ++logged;
        else if (e.on)
            return "note-on that was never sent" + at;
        // Otherwise a note-off that closing the take wrote.
    }
    for (int note = 0; note < 128; ++note)
        if (open[note].on) return "note " + std::to_string(note) + " left open";
    if (logged != audio.logCount)
        return "change " + std::to_string(logged) + " of " + std::to_string(audio.logCount) + " lost";
    if (ons != cap.publishedNotes.load()) return "published note count";
    if (cap.endBeats.load() < previous) return "clock behind the last entry";

    const std::vector<uint8_t> file = cap.midiFile();
    if (ons == 0) return file.empty() ? "" : "file without notes";
    velktest::Smf smf;
    const std::string problem = velktest::readSmf(file, smf);
    if (!problem.empty()) return "file: " + problem;
    if (smf.notes.size() != static_cast<size_t>(n))
        return "file holds " + std::to_string(smf.notes.size()) + " of " + std::to_string(n);
    return "";
}

TEST(TakeStress, EditorAndAudioThreadAgreeOnEveryTake) {
    auto cap = std::make_unique<MidiCapture>();
    std::atomic<bool> startWanted{false};
    auto audio = std::make_unique<Audio>(*cap, startWanted);
    std::thread audioThread([&] { audio->run(); });

    std::mt19937 rng{7};
    int finished = 0, full = 0, withdrawn = 0, stopsWhilePausing = 0;
    std::string failure;
    auto waitBlocks = [&](uint64_t k) {
        const uint64_t until = audio->blocks.load(std::memory_order_acquire) + k;
        return velktest::waitFor([&] { return audio->blocks.load(std::memory_order_acquire) >= until; });
    };
    // Rounds go on past `rounds` until every race below has happened, for at
    // most `patience` more.
    auto racesSeen = [&] {
        return full >= rounds / fullEvery && finished > rounds / 2 && stopsWhilePausing > 0;
    };
    auto overtime = std::chrono::steady_clock::time_point::max();

    int round = 0;
    for (; failure.empty(); ++round) {
        if (round >= rounds) {
            if (racesSeen()) break;
            if (overtime == std::chrono::steady_clock::time_point::max())
                overtime = std::chrono::steady_clock::now() + velktest::patience;
            if (std::chrono::steady_clock::now() > overtime) break;
        }
        startWanted.store(true, std::memory_order_release);
        if (!velktest::waitFor([&] { return !startWanted.load(std::memory_order_acquire); })) {
            failure = "the audio thread never took a start";
            break;
        }
        const unsigned kind = rng() % 100;
        if (round % fullEvery == fullEvery - 1) {
            if (!velktest::waitFor([&] { return cap->state.load(std::memory_order_acquire) == Full; }))
                failure = "the take never became Full";
        } else if (kind >= 5) { // else stop at once: may withdraw the start
            const int actions = static_cast<int>(rng() % 10);
            for (int a = 0; a < actions; ++a) {
                if (rng() % 2 && !waitBlocks(rng() % 3)) {
                    failure = "the audio thread stopped running blocks";
                    break;
                }
                velktest::spin(32 * (rng() % 64));
                const bool pausing = rng() % 2 != 0;
                if (!(pausing ? applyPauseTransition(cap->state) : applyResumeTransition(cap->state)))
                    continue;
                if (pausing && rng() % 3 == 0)
                    break; // stop right behind the pause, racing the audio thread's Paused
            }
        }
        if (cap->state.load() == PauseRequested) ++stopsWhilePausing;
        applyStopTransition(cap->state);
        if (!failure.empty()) break;
        if (!velktest::waitFor([&] { return ended(cap->state.load(std::memory_order_acquire)); })) {
            failure = "a stop was lost: the take stays in state " + std::to_string(cap->state.load());
            break;
        }
        const int32_t state = cap->state.load(std::memory_order_acquire);
        if (state == Idle) {
            ++withdrawn;
            continue;
        }
        state == Full ? ++full : ++finished;
        failure = checkTake(*cap, *audio, state);
        if (!failure.empty()) failure = "round " + std::to_string(round) + ": " + failure;
    }

    audio->quit.store(true);
    audioThread.join();
    EXPECT_EQ(failure, "");
    EXPECT_GE(full, rounds / fullEvery) << "too few takes ran until they were Full";
    EXPECT_GT(finished, rounds / 2) << "too few takes finished: most stops withdrew their start";
    EXPECT_GT(stopsWhilePausing, 0) << "no stop ever came while a pause waited for the audio thread";
    std::printf(
        "%d rounds: %d finished, %d full, %d withdrawn takes; %d stops while a pause waited; %llu blocks\n",
        round, finished, full, withdrawn, stopsWhilePausing,
        static_cast<unsigned long long>(audio->blocks.load()));
}

} // namespace
