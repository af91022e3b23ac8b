// The voice engine's rendering. Each voice follows the sound model frame by
// frame, but with recurrences in place of per-sample library calls: the
// oscillator's sine and cosine advance by a rotation, the two decays by a
// constant factor (synth_kernel.hpp). That state is carried from call to call,
// and voices are assigned to vector lanes by note, so the samples do not depend
// on how the host cuts its blocks. Silent voices cost nothing.
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

double flushNegligible(double x) noexcept {
    return x < negligible ? 0.0 : x;
}
constexpr int chunkFrames = Engine::chunkFrames;
static_assert(Engine::maxLanes == kernel::maxLanes, "the engine's buffers hold the widest vector");
constexpr int maxGroups = 4;

// 0.999^k for the volume glide: power(k) = big[k / 512] * small[k % 512],
// and 0 from 80 * 512 frames on, where the glide has long arrived.
struct GlideTable {
    static constexpr int bigCount = 80;
    double small[chunkFrames];
    double big[bigCount];
    GlideTable() noexcept {
        small[0] = 1.0;
        for (int i = 1; i < chunkFrames; ++i)
            small[i] = small[i - 1] * (1.0 - 0.001);
        const double step = small[chunkFrames - 1] * (1.0 - 0.001);
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
    return 0.45 * sr > multiple * frequency;
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

} // namespace

double noteFrequency(int note) noexcept {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

void Engine::startNote(int n) noexcept {
    age[n] = 0.0;
    position[n] = 0.0;
    sampleActive[n] = true;
    if (lastUseWave) envelope[n] = 0.0;
    oscFade2[n] = 0.5;
    oscLevel[n] = 0.55;
}

void Engine::render(float* left, float* right, int32_t frames, const Settings& settings) noexcept {
    const double sr = sampleRate.load(std::memory_order_relaxed);
    const bool wave = settings.useWave;
    const double attack = std::exp(-1.0 / (sr * (wave ? 0.002 : 0.008)));
    const double release = std::exp(-1.0 / (sr * (wave ? 0.08 : 0.16)));
    const double ageStep = 1.0 / sr;
    SynthConstants k;
    k.silence = silence;
    k.decay2 = std::exp(-2.0 * ageStep);
    k.decay12 = std::exp(-1.2 * ageStep);

    if (sr != renderRate) {
        // First call, or a new sample rate: the rotation per frame, and (first
        // call only) the oscillators from their phase and age.
        for (int n = 0; n < voices; ++n) {
            const double step = twoPi * frequency[n] / sr;
            stepCos[n] = std::cos(step);
            stepSin[n] = std::sin(step);
            if (renderRate == 0.0) {
                oscSin[n] = std::sin(phase[n]);
                oscCos[n] = std::cos(phase[n]);
                oscFade2[n] = 0.5 * std::exp(-2.0 * age[n]);
                oscLevel[n] = 0.55 * std::exp(-1.2 * age[n]);
            }
        }
        renderRate = sr;
    }

    const SampleData* one = sample;
    const double pitch = one ? (one->sampleRate / sr) / noteFrequency(settings.waveRoot) : 0.0;

    if (frames < 1) {
        peak.store(0.0f, std::memory_order_relaxed);
        return;
    }

    // The volume glide restarts from the present gain when the volume moves.
    if (settings.volume != glideTo) {
        glideFrom = gain;
        glideTo = settings.volume;
        glideSteps = 0;
    }

    const kernel::Kernels& kernels = kernel::active();
    const int lanes = kernels.lanes;
    float callPeak = 0.0f;
    double* accL = mixLeft;
    double* accR = mixRight;
    double* gains = mixGain;
    // The record of a voice's phase and age after `audible` sounding frames.
    auto advanceRecord = [&](int n, int64_t audible) {
        phase[n] = advancePhase(phase[n], twoPi * frequency[n] / sr, audible);
        age[n] += static_cast<double>(audible) * ageStep;
    };
    for (int32_t done = 0; done < frames;) {
        const int m = frames - done < chunkFrames ? frames - done : chunkFrames;
        for (int i = 0; i < m + maxLanes; ++i)
            accL[i] = accR[i] = 0.0;

        if (!wave) {
            // Voices that sound take the lane of their note's class; the j-th
            // sounding voice of each class goes into the j-th group.
            int order[maxLanes][voices];
            int count[maxLanes] = {};
            for (int n = 0; n < voices; ++n) {
                if (!gate[n] && envelope[n] == 0.0) continue;
                const int lane = n % lanes;
                order[lane][count[lane]++] = n;
            }
            int deepest = 0;
            for (int l = 0; l < lanes; ++l)
                deepest = count[l] > deepest ? count[l] : deepest;
            for (int i = 0; i < m; ++i)
                for (int l = 0; l < maxLanes; ++l)
                    laneLeft[i][l] = laneRight[i][l] = 0.0;
            // A released voice that may fall silent in this chunk needs the
            // kernel's masks; the margin leaves rounding no say.
            const double releaseOverChunk = std::pow(release, m);
            for (int first = 0; first < deepest; first += maxGroups) {
                const int groups = deepest - first < maxGroups ? deepest - first : maxGroups;
                SynthLane batch[maxGroups * maxLanes];
                int note[maxGroups * maxLanes];
                bool masked = false;
                for (int g = 0; g < groups; ++g) {
                    for (int l = 0; l < lanes; ++l) {
                        SynthLane& x = batch[g * lanes + l];
                        const int j = first + g;
                        const int n = j < count[l] ? order[l][j] : -1;
                        note[g * lanes + l] = n;
                        if (n < 0) { // an empty lane: silent, adds nothing
                            x = SynthLane{0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0};
                            continue;
                        }
                        const bool on = gate[n];
                        if (!on && envelope[n] * releaseOverChunk < 2.0 * silence) masked = true;
                        const double f = frequency[n];
                        const double h3 = bandLimited(f, sr, 3.0) ? 0.08 : 0.0;
                        const double amp = velocity[n] / 127.0 * 0.11;
                        const double d = ((n % 12) - 5.5) * 0.02;
                        x = SynthLane{envelope[n],
                                      on ? attack : release,
                                      on ? 1.0 - attack : 0.0,
                                      oscSin[n],
                                      oscCos[n],
                                      stepCos[n],
                                      stepSin[n],
                                      oscFade2[n],
                                      oscLevel[n],
                                      bandLimited(f, sr, 2.0) ? 1.0 : 0.0,
                                      1.0 + 3.0 * h3,
                                      4.0 * h3,
                                      amp * (0.7 - d),
                                      amp * (0.7 + d)};
                    }
                }
                kernels.synthBatch(batch, groups, masked, k, m, laneLeft, laneRight);
                for (int b = 0; b < groups * lanes; ++b) {
                    const int n = note[b];
                    if (n < 0) continue;
                    const SynthLane& x = batch[b];
                    advanceRecord(n, gate[n] || x.env > 0.0 ? m : framesUntilSilent(envelope[n], release, m));
                    envelope[n] = x.env;
                    oscSin[n] = x.s;
                    oscCos[n] = x.c;
                    oscFade2[n] = flushNegligible(x.p2);
                    oscLevel[n] = flushNegligible(x.lvl);
                }
            }
            // The lanes are added in a fixed order.
            for (int i = 0; i < m; ++i) {
                double l = laneLeft[i][0], r = laneRight[i][0];
                for (int j = 1; j < lanes; ++j) {
                    l += laneLeft[i][j];
                    r += laneRight[i][j];
                }
                accL[i] = l;
                accR[i] = r;
            }
        } else {
            // One-shot voices, frame by frame (a voice's file may end inside
            // the chunk), added in note order; their oscillators run on so that
            // the synth takes over where they stand.
            for (int n = 0; n < voices; ++n) {
                double env = envelope[n];
                if (env == 0.0 && !sampleActive[n]) continue;
                const double speed = frequency[n] * pitch;
                const double cw = stepCos[n], sw = stepSin[n];
                double s = oscSin[n], c = oscCos[n];
                double fade2 = oscFade2[n], level = oscLevel[n];
                int64_t audible = 0;
                for (int i = 0; i < m; ++i) {
                    const bool on = sampleActive[n] && (settings.wholeOneShot || gate[n]);
                    env = on ? env + (1.0 - env) * (1.0 - attack) : env * release;
                    if (env < silence) {
                        // Only a released voice fades out: it has ended, and
                        // switching to the whole file later does not revive it.
                        env = 0.0;
                        sampleActive[n] = false;
                        continue;
                    }
                    ++audible;
                    const double ns = s * cw + c * sw;
                    c = c * cw - s * sw;
                    s = ns;
                    fade2 *= k.decay2;
                    level *= k.decay12;
                    if (!one || !sampleActive[n]) continue;
                    const double p = position[n];
                    const uint64_t at = static_cast<uint64_t>(p);
                    if (at + 1 < one->left.size()) {
                        const double frac = p - static_cast<double>(at);
                        const double l = one->left[at] + (one->left[at + 1] - one->left[at]) * frac;
                        const double r = one->right.empty()
                                             ? l
                                             : one->right[at] + (one->right[at + 1] - one->right[at]) * frac;
                        position[n] = p + speed;
                        const double v = env * velocity[n] / 127.0 * 0.26;
                        accL[i] += v * l;
                        accR[i] += v * r;
                    } else {
                        sampleActive[n] = false;
                        env = 0.0;
                    }
                }
                envelope[n] = env;
                oscSin[n] = s;
                oscCos[n] = c;
                oscFade2[n] = flushNegligible(fade2);
                oscLevel[n] = flushNegligible(level);
                advanceRecord(n, audible);
            }
        }

        const double span = glideFrom - glideTo;
        for (int i = 0; i < m; ++i)
            gains[i] = glideTo + span * glide.power(glideSteps + i + 1);
        for (int i = m; i < m + maxLanes; ++i)
            gains[i] = 0.0;
        glideSteps += m;
        gain = glideTo + span * glide.power(glideSteps);

        const float chunkPeak = kernels.outputStage(accL, accR, gains, m, left ? left + done : nullptr,
                                                    right ? right + done : nullptr);
        if (chunkPeak > callPeak) callPeak = chunkPeak;
        done += m; // never past `frames`, so no overflow near the largest block
    }
    peak.store(callPeak, std::memory_order_relaxed);
}

} // namespace palmtone
