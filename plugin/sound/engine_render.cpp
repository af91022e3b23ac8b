// The voice engine's rendering. Each voice follows the sound model frame by
// frame, but with recurrences in place of per-sample library calls: the
// oscillator's sine and cosine advance by a rotation, the two decays by a
// constant factor (synth_kernel.hpp). That state is carried from call to call,
// and voices are assigned to vector lanes by note, so the samples do not depend
// on how the host cuts its blocks. Silent voices cost nothing.
//
// One call renders chunk after chunk of at most Engine::chunkFrames frames,
// each in two steps:
//   the synth chunk or the one-shot chunk puts the voices into mixLeft and
//     mixRight: synth voices gathered into lanes, rendered batch by batch by
//     the kernel, the lanes summed in a fixed order; one-shot voices one by
//     one, frame by frame, in note order;
//   the gain stage follows the volume glide, then the kernel's output stage
//     writes tanh(gain * mix) and finds the chunk's peak.
#include <cmath>

#include "plugin/sound/engine.hpp"
#include "plugin/sound/engine_kernels.hpp"
#include "plugin/sound/synth_kernel.hpp"

namespace palmtone {

namespace {

using kernel::SynthConstants;
using kernel::SynthLane;

constexpr double twoPi = 6.283185307179586476925286766559;
constexpr double silence = 0.000001; // a voice below this level is silent
// The partials' decays (0.5 exp(-2 age), 0.55 exp(-1.2 age)) pass the smallest
// normal double after some six and ten minutes of a held note and would then
// crawl on as subnormals, which cost many x86 cores dearly on every frame.
// Below this level they vanish next to the fundamental (their terms round away
// in the sums they join), so they stop at 0 there, with the same samples.
constexpr double negligible = 1e-20;

// The synth voice: sin x + 0.25 exp(-2 age) sin 2x + 0.08 sin 3x, each partial
// only below the band limit, times its envelope, its velocity and a level that
// falls from 1 to the kernel's floor (kernel::levelFloor + 0.55 exp(-1.2 age)),
// panned by the note's pitch class.
namespace synth {
constexpr double attackSeconds = 0.008; // the envelope's time constant while the key is held
constexpr double releaseSeconds = 0.16; // and after it is released
constexpr double level = 0.11;          // at velocity 127, before the pan
constexpr double secondStart = 0.5;     // the second partial's factor at the note's start (oscFade2)
constexpr double secondFall = 2.0;      // per second of age: 0.5 exp(-2 age)
constexpr double levelStart = 0.55;     // the level over its floor at the note's start (oscLevel)
constexpr double levelFall = 1.2;       // per second of age: 0.55 exp(-1.2 age)
constexpr double third = 0.08;          // the third partial's level
constexpr double bandLimit = 0.45;      // a partial sounds below this fraction of the sample rate
constexpr double panCentre = 0.7;       // each channel's share of a note in the middle of the octave
constexpr double panPerSemitone = 0.02; // moved from the left to the right channel per semitone
constexpr double octaveMiddle = 5.5;    // the pitch class between F and F sharp
} // namespace synth

// The one-shot voice: the file read at the note's pitch, times its envelope and velocity.
namespace oneShot {
constexpr double attackSeconds = 0.002;
constexpr double releaseSeconds = 0.08;
constexpr double level = 0.26; // at velocity 127
} // namespace oneShot

// The volume glide: each frame the gain keeps this share of its way to the volume.
constexpr double glideFactor = 1.0 - 0.001;

double flushNegligible(double x) noexcept {
    return x < negligible ? 0.0 : x;
}
constexpr int chunkFrames = Engine::chunkFrames;
static_assert(Engine::maxLanes == kernel::maxLanes, "the engine's buffers hold the widest vector");
constexpr int maxGroups = 4;
constexpr int maxBatch = maxGroups * kernel::maxLanes;

// 0.999^k for the volume glide: power(k) = big[k / 512] * small[k % 512],
// and 0 from 80 * 512 frames on, where the glide has long arrived.
struct GlideTable {
    static constexpr int bigCount = 80;
    double small[chunkFrames];
    double big[bigCount];
    GlideTable() noexcept {
        small[0] = 1.0;
        for (int i = 1; i < chunkFrames; ++i)
            small[i] = small[i - 1] * glideFactor;
        const double step = small[chunkFrames - 1] * glideFactor;
        big[0] = 1.0;
        for (int i = 1; i < bigCount; ++i)
            big[i] = big[i - 1] * step;
    }
    double power(int64_t k) const noexcept {
        return k < int64_t(bigCount) * chunkFrames ? big[k / chunkFrames] * small[k % chunkFrames] : 0.0;
    }
};
const GlideTable glide; // filled when the library loads, never on the audio thread

// The phase after `frames` audible frames, for the record (the oscillator
// itself runs on oscSin/oscCos).
double advancePhase(double phase, double step, int64_t frames) noexcept {
    const double p = phase + static_cast<double>(frames) * step;
    return p - twoPi * std::floor(p / twoPi);
}

bool bandLimited(double frequency, double sr, double multiple) noexcept {
    return synth::bandLimit * sr > multiple * frequency;
}

// The audible frames of a released voice that went silent within `frames`,
// found by the same multiplications the kernel made.
int64_t framesUntilSilent(double env, double release, int64_t frames) noexcept {
    int64_t audible = 0;
    while (audible < frames) {
        env *= release;
        if (env < silence) break;
        ++audible;
    }
    return audible;
}

// What every voice of one call shares: the rate, the envelope's factors per
// frame and the partials' decays.
struct CallSteps {
    double sr;
    double attack;  // the envelope's factor per frame on its way up
    double release; // and on its way down
    double ageStep; // seconds per frame
    SynthConstants k;
};

CallSteps callSteps(double sr, bool wave) noexcept {
    CallSteps c;
    c.sr = sr;
    c.attack = std::exp(-1.0 / (sr * (wave ? oneShot::attackSeconds : synth::attackSeconds)));
    c.release = std::exp(-1.0 / (sr * (wave ? oneShot::releaseSeconds : synth::releaseSeconds)));
    c.ageStep = 1.0 / sr;
    c.k.silence = silence;
    c.k.decay2 = std::exp(-synth::secondFall * c.ageStep);
    c.k.decay12 = std::exp(-synth::levelFall * c.ageStep);
    return c;
}

// First call, or a new sample rate: the rotation per frame, and (first call
// only) the oscillators from their phase and age.
void prepareOscillators(Engine& e, double sr) noexcept {
    for (int n = 0; n < Engine::voices; ++n) {
        const double step = twoPi * e.frequency[n] / sr;
        e.stepCos[n] = std::cos(step);
        e.stepSin[n] = std::sin(step);
        if (e.renderRate == 0.0) {
            e.oscSin[n] = std::sin(e.phase[n]);
            e.oscCos[n] = std::cos(e.phase[n]);
            e.oscFade2[n] = synth::secondStart * std::exp(-synth::secondFall * e.age[n]);
            e.oscLevel[n] = synth::levelStart * std::exp(-synth::levelFall * e.age[n]);
        }
    }
    e.renderRate = sr;
}

// The record of a voice's phase and age after `audible` sounding frames.
void advanceRecord(Engine& e, const CallSteps& c, int n, int64_t audible) noexcept {
    e.phase[n] = advancePhase(e.phase[n], twoPi * e.frequency[n] / c.sr, audible);
    e.age[n] += static_cast<double>(audible) * c.ageStep;
}

// --- the synth chunk ---

// The sounding voices by lane: each takes the lane of its note's class, and
// the j-th sounding voice of each class goes into the j-th group.
struct LaneOrder {
    int order[kernel::maxLanes][Engine::voices];
    int count[kernel::maxLanes] = {};
    int deepest = 0; // the most voices in one lane
};

void gatherLanes(const Engine& e, int lanes, LaneOrder& o) noexcept {
    for (int n = 0; n < Engine::voices; ++n) {
        if (!e.gate[n] && e.envelope[n] == 0.0) continue;
        const int lane = n % lanes;
        o.order[lane][o.count[lane]++] = n;
    }
    for (int l = 0; l < lanes; ++l)
        o.deepest = o.count[l] > o.deepest ? o.count[l] : o.deepest;
}

// Voice n as a lane of the kernel.
SynthLane synthLane(const Engine& e, const CallSteps& c, int n) noexcept {
    const bool on = e.gate[n];
    const double f = e.frequency[n];
    const double h3 = bandLimited(f, c.sr, 3.0) ? synth::third : 0.0;
    const double amp = e.velocity[n] / 127.0 * synth::level;
    const double d = ((n % 12) - synth::octaveMiddle) * synth::panPerSemitone;
    return SynthLane{e.envelope[n],
                     on ? c.attack : c.release,
                     on ? 1.0 - c.attack : 0.0,
                     e.oscSin[n],
                     e.oscCos[n],
                     e.stepCos[n],
                     e.stepSin[n],
                     e.oscFade2[n],
                     e.oscLevel[n],
                     bandLimited(f, c.sr, 2.0) ? 1.0 : 0.0,
                     1.0 + 3.0 * h3,
                     4.0 * h3,
                     amp * (synth::panCentre - d),
                     amp * (synth::panCentre + d)};
}

// A lane without a voice: silent, it adds nothing.
constexpr SynthLane emptyLane{0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0};

// One batch: up to maxGroups groups of lanes from group `first` on.
struct Batch {
    SynthLane lane[maxBatch];
    int note[maxBatch]; // -1 for an empty lane
    int groups = 0;
    bool masked = false; // a released voice may fall silent in this chunk: the kernel needs its masks
};

void fillBatch(const Engine& e, const CallSteps& c, const LaneOrder& o, int lanes, int first,
               double releaseOverChunk, Batch& b) noexcept {
    b.groups = o.deepest - first < maxGroups ? o.deepest - first : maxGroups;
    for (int g = 0; g < b.groups; ++g) {
        for (int l = 0; l < lanes; ++l) {
            SynthLane& x = b.lane[g * lanes + l];
            const int j = first + g;
            const int n = j < o.count[l] ? o.order[l][j] : -1;
            b.note[g * lanes + l] = n;
            if (n < 0) {
                x = emptyLane;
                continue;
            }
            // A released voice that may fall silent here; the margin leaves rounding no say.
            if (!e.gate[n] && e.envelope[n] * releaseOverChunk < 2.0 * silence) b.masked = true;
            x = synthLane(e, c, n);
        }
    }
}

// The voices' state back from the kernel's lanes.
void takeBackBatch(Engine& e, const CallSteps& c, const Batch& b, int lanes, int m) noexcept {
    for (int i = 0; i < b.groups * lanes; ++i) {
        const int n = b.note[i];
        if (n < 0) continue;
        const SynthLane& x = b.lane[i];
        advanceRecord(e, c, n, e.gate[n] || x.env > 0.0 ? m : framesUntilSilent(e.envelope[n], c.release, m));
        e.envelope[n] = x.env;
        e.oscSin[n] = x.s;
        e.oscCos[n] = x.c;
        e.oscFade2[n] = flushNegligible(x.p2);
        e.oscLevel[n] = flushNegligible(x.lvl);
    }
}

// The lanes into the mix, added in a fixed order.
void sumLanes(Engine& e, int lanes, int m) noexcept {
    for (int i = 0; i < m; ++i) {
        double l = e.laneLeft[i][0], r = e.laneRight[i][0];
        for (int j = 1; j < lanes; ++j) {
            l += e.laneLeft[i][j];
            r += e.laneRight[i][j];
        }
        e.mixLeft[i] = l;
        e.mixRight[i] = r;
    }
}

// Folded into render, whose frame then holds the lane order and the batch (a
// call of its own makes a chord's blocks measurably slower).
VELK_ALWAYS_INLINE void synthChunk(Engine& e, const CallSteps& c, const kernel::Kernels& kernels,
                                   int m) noexcept {
    const int lanes = kernels.lanes;
    LaneOrder o;
    gatherLanes(e, lanes, o);
    for (int i = 0; i < m; ++i)
        for (int l = 0; l < Engine::maxLanes; ++l)
            e.laneLeft[i][l] = e.laneRight[i][l] = 0.0;
    const double releaseOverChunk = std::pow(c.release, m);
    for (int first = 0; first < o.deepest; first += maxGroups) {
        Batch b;
        fillBatch(e, c, o, lanes, first, releaseOverChunk, b);
        kernels.synthBatch(b.lane, b.groups, b.masked, c.k, m, e.laneLeft, e.laneRight);
        takeBackBatch(e, c, b, lanes, m);
    }
    sumLanes(e, lanes, m);
}

// --- the one-shot chunk ---

// One one-shot voice over a chunk, frame by frame (its file may end inside the
// chunk), added into the mix; its oscillator runs on so that the synth takes
// over where it stands. `one` may be null (the voice sounds nothing but runs
// on); `pitch` is the file's frames per frame per Hz of the note; with `whole`
// the file plays to its end whatever the key does.
void oneShotVoice(Engine& e, const CallSteps& c, const SampleData* one, double pitch, bool whole, int n,
                  int m) noexcept {
    // What the loop reads every frame, as locals (read through c and e instead,
    // the loop runs measurably slower).
    const double attack = c.attack, release = c.release;
    const SynthConstants k = c.k;
    double* accL = e.mixLeft;
    double* accR = e.mixRight;
    double env = e.envelope[n];
    const double speed = e.frequency[n] * pitch;
    const double cw = e.stepCos[n], sw = e.stepSin[n];
    double s = e.oscSin[n], co = e.oscCos[n];
    double fade2 = e.oscFade2[n], level = e.oscLevel[n];
    int64_t audible = 0;
    for (int i = 0; i < m; ++i) {
        const bool on = e.sampleActive[n] && (whole || e.gate[n]);
        env = on ? env + (1.0 - env) * (1.0 - attack) : env * release;
        if (env < silence) {
            // Only a released voice fades out: it has ended, and switching to
            // the whole file later does not revive it.
            env = 0.0;
            e.sampleActive[n] = false;
            continue;
        }
        ++audible;
        const double ns = s * cw + co * sw;
        co = co * cw - s * sw;
        s = ns;
        fade2 *= k.decay2;
        level *= k.decay12;
        if (!one || !e.sampleActive[n]) continue;
        const double p = e.position[n];
        const uint64_t at = static_cast<uint64_t>(p);
        if (at + 1 < one->left.size()) {
            const double frac = p - static_cast<double>(at);
            const double l = one->left[at] + (one->left[at + 1] - one->left[at]) * frac;
            const double r =
                one->right.empty() ? l : one->right[at] + (one->right[at + 1] - one->right[at]) * frac;
            e.position[n] = p + speed;
            const double v = env * e.velocity[n] / 127.0 * oneShot::level;
            accL[i] += v * l;
            accR[i] += v * r;
        } else {
            e.sampleActive[n] = false;
            env = 0.0;
        }
    }
    e.envelope[n] = env;
    e.oscSin[n] = s;
    e.oscCos[n] = co;
    e.oscFade2[n] = flushNegligible(fade2);
    e.oscLevel[n] = flushNegligible(level);
    advanceRecord(e, c, n, audible);
}

// The one-shot voices, added in note order.
void oneShotChunk(Engine& e, const CallSteps& c, const SampleData* one, double pitch, bool whole,
                  int m) noexcept {
    for (int n = 0; n < Engine::voices; ++n) {
        if (e.envelope[n] == 0.0 && !e.sampleActive[n]) continue;
        oneShotVoice(e, c, one, pitch, whole, n, m);
    }
}

// --- the gain stage ---

// The volume glide restarts from the present gain when the volume moves.
void followVolume(Engine& e, double volume) noexcept {
    if (volume != e.glideTo) {
        e.glideFrom = e.gain;
        e.glideTo = volume;
        e.glideSteps = 0;
    }
}

// The chunk's gain per frame along the glide, then the output stage into
// left/right (either may be null); returns the chunk's peak.
float gainStage(Engine& e, const kernel::Kernels& kernels, int m, float* left, float* right) noexcept {
    const double span = e.glideFrom - e.glideTo;
    for (int i = 0; i < m; ++i)
        e.mixGain[i] = e.glideTo + span * glide.power(e.glideSteps + i + 1);
    for (int i = m; i < m + Engine::maxLanes; ++i)
        e.mixGain[i] = 0.0;
    e.glideSteps += m;
    e.gain = e.glideTo + span * glide.power(e.glideSteps);
    return kernels.outputStage(e.mixLeft, e.mixRight, e.mixGain, m, left, right);
}

} // namespace

double noteFrequency(int note) noexcept {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

void Engine::startNote(int n) noexcept {
    age[n] = 0.0;
    position[n] = 0.0;
    sampleActive[n] = true;
    if (lastUseWave) envelope[n] = 0.0;
    oscFade2[n] = synth::secondStart;
    oscLevel[n] = synth::levelStart;
}

void Engine::render(float* left, float* right, int32_t frames, const Settings& settings) noexcept {
    const double sr = sampleRate.load(std::memory_order_relaxed);
    const CallSteps steps = callSteps(sr, settings.useWave);
    if (sr != renderRate) prepareOscillators(*this, sr);

    const SampleData* one = sample;
    const double pitch = one ? (one->sampleRate / sr) / noteFrequency(settings.waveRoot) : 0.0;

    if (frames < 1) {
        peak.store(0.0f, std::memory_order_relaxed);
        return;
    }
    followVolume(*this, settings.volume);

    const kernel::Kernels& kernels = kernel::active();
    float callPeak = 0.0f;
    for (int32_t done = 0; done < frames;) {
        const int m = frames - done < chunkFrames ? frames - done : chunkFrames;
        for (int i = 0; i < m + maxLanes; ++i)
            mixLeft[i] = mixRight[i] = 0.0;
        if (settings.useWave)
            oneShotChunk(*this, steps, one, pitch, settings.wholeOneShot, m);
        else
            synthChunk(*this, steps, kernels, m);
        const float chunkPeak =
            gainStage(*this, kernels, m, left ? left + done : nullptr, right ? right + done : nullptr);
        if (chunkPeak > callPeak) callPeak = chunkPeak;
        done += m; // never past `frames`, so no overflow near the largest block
    }
    peak.store(callPeak, std::memory_order_relaxed);
}

} // namespace palmtone
