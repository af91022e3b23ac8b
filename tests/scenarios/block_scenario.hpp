#pragma once
// What the block scenarios (block_scenario.cpp) share with the checks of the
// tempo the instance publishes (tests/plugin/sound/process_test.cpp): a schedule
// of MIDI at absolute frames played through block partitions, and the host's
// tempo answers with the fixture that plays a chord under each.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <ostream>
#include <vector>

#include "tests/scenarios/scenario_level.hpp"
#include "tools/vst-host/block_sizes.hpp"

namespace velktest {

// A MIDI message at an absolute frame.
struct Timed {
    int64_t time;
    int status, data1, data2;
};

// Runs blocks of `sizes` from absolute frame `from` (the level's position),
// handing each block the events of `schedule` that fall into it, in time order
// (stable).
inline void play(Driver& level, std::vector<Timed> schedule, const std::vector<int32_t>& sizes,
                 int64_t from = 0) {
    std::stable_sort(schedule.begin(), schedule.end(),
                     [](const Timed& a, const Timed& b) { return a.time < b.time; });
    size_t next = 0;
    while (next < schedule.size() && schedule[next].time < from)
        ++next;
    int64_t start = from;
    for (int32_t frames : sizes) {
        for (; next < schedule.size() && schedule[next].time < start + frames; ++next) {
            const Timed& e = schedule[next];
            level.queue(static_cast<int32_t>(e.time - start), e.status, e.data1, e.data2);
        }
        level.run(frames);
        start += frames;
    }
}

// --- the tempo ---

struct TempoCase {
    const char* what;
    bool answer; // false: the host answers opcode 7 with a null pointer
    int32_t flags;
    double hostTempo;
    double expected;
    bool fromHost;
};
inline void PrintTo(const TempoCase& c, std::ostream* os) {
    *os << c.what;
}

// The host's answers, and the tempo a block then takes with "BPM" at 165.
inline const TempoCase tempoAnswers[] = {
    {"valid", true, vst2::tempoValid, 140.0, 140.0, true},
    {"fractional", true, vst2::tempoValid | 0x2 | 0x200, 97.25, 97.25, true},
    {"lowest", true, vst2::tempoValid, 30.0, 30.0, true},
    {"highest", true, vst2::tempoValid, 300.0, 300.0, true},
    {"too slow", true, vst2::tempoValid, 29.9, 165.0, false},
    {"too fast", true, vst2::tempoValid, 300.5, 165.0, false},
    {"no validity bit", true, 0x3FF | 0x800, 140.0, 165.0, false},
    {"null answer", false, vst2::tempoValid, 140.0, 165.0, false},
    {"NaN", true, vst2::tempoValid, std::numeric_limits<double>::quiet_NaN(), 165.0, false},
    {"infinite", true, vst2::tempoValid, std::numeric_limits<double>::infinity(), 165.0, false},
    {"the default", true, vst2::tempoValid, 120.0, 120.0, true},
    {"no flags", true, 0, 140.0, 165.0, false},
};

// A chord and its release over 6000 frames in blocks of 700 (the last shorter).
inline const std::vector<Timed> chordAndRelease = {
    {10, 0x90, 48, 100}, {200, 0x90, 64, 80}, {3000, 0x80, 48, 0}, {3000, 0x80, 64, 0}};
inline const std::vector<int32_t> tempoBlocks = vsthost::uniformBlocks(6000, 700);

class Tempo : public LevelTest, public ::testing::WithParamInterface<TempoCase> {
  protected:
    void prepare() override { setUnit(palmtone::pBpm, 165); }
    // The chord's first block, then the others.
    void playFirstBlock() { play(level(), chordAndRelease, {tempoBlocks[0]}); }
    void playTheRest() {
        play(level(), chordAndRelease, std::vector<int32_t>(tempoBlocks.begin() + 1, tempoBlocks.end()),
             tempoBlocks[0]);
    }
};

} // namespace velktest
