#pragma once
// The voice engine's sound model written out literally, one library call per
// term and sample: the yardstick the fast renderer is held to.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "plugin/sound/engine.hpp"

namespace velktest {

struct ReferenceEngine {
    bool gate[128] = {};
    int32_t velocity[128] = {};
    double phase[128] = {};
    double envelope[128] = {};
    double age[128] = {};
    double frequency[128] = {};
    double position[128] = {};
    bool sampleActive[128] = {};
    double sampleRate = 48000.0;
    double gain = 0.65;
    const palmtone::SampleData* sample = nullptr;
    float peak = 0.0f;

    ReferenceEngine() {
        for (int n = 0; n < 128; ++n)
            frequency[n] = 440.0 * std::pow(2.0, (n - 69) / 12.0);
    }

    // Coefficients of one call: attack, release and the one-shot's pitch factor.
    struct Step {
        double a, r, g;
    };
    Step coefficients(const palmtone::Settings& s) const {
        const double attack = s.useWave ? 0.002 : 0.008;
        const double release = s.useWave ? 0.08 : 0.16;
        const double g =
            sample ? (sample->sampleRate / sampleRate) / (440.0 * std::pow(2.0, (s.waveRoot - 69) / 12.0))
                   : 0.0;
        return {std::exp(-1.0 / (sampleRate * attack)), std::exp(-1.0 / (sampleRate * release)), g};
    }

    // Voice n over one frame; true when it sounds. A sounding one-shot voice
    // gives the frame it read in L and R.
    bool stepVoice(int n, const palmtone::Settings& s, const Step& k, double& L, double& R) {
        const double pi2 = 2.0 * 3.14159265358979323846;
        const double sr = sampleRate;
        const bool on = s.useWave ? (sampleActive[n] && (s.wholeOneShot || gate[n])) : gate[n];
        envelope[n] = on ? envelope[n] + (1.0 - envelope[n]) * (1.0 - k.a) : envelope[n] * k.r;
        if (envelope[n] < 0.000001) {
            // A released one-shot voice that fell silent has ended.
            if (s.useWave) sampleActive[n] = false;
            return false;
        }
        phase[n] += pi2 * frequency[n] / sr;
        if (phase[n] >= pi2) phase[n] -= pi2;
        age[n] += 1.0 / sr;
        if (!s.useWave) return true;
        if (!sample || !sampleActive[n]) return false;
        const double p = position[n];
        const uint64_t i = static_cast<uint64_t>(p);
        const uint64_t count = sample->left.size();
        if (i + 1 >= count) {
            sampleActive[n] = false;
            envelope[n] = 0.0;
            return false;
        }
        const double frac = p - static_cast<double>(i);
        L = sample->left[i] + (sample->left[i + 1] - sample->left[i]) * frac;
        R = sample->right.empty() ? L : sample->right[i] + (sample->right[i + 1] - sample->right[i]) * frac;
        position[n] = p + frequency[n] * k.g;
        return true;
    }

    void render(float* left, float* right, int frames, const palmtone::Settings& s) {
        const double sr = sampleRate;
        const Step k = coefficients(s);
        if (frames < 1) {
            peak = 0.0f;
            return;
        }
        float callPeak = 0.0f;
        for (int i = 0; i < frames; ++i) {
            gain += (s.volume - gain) * 0.001;
            double accL = 0.0, accR = 0.0;
            for (int n = 0; n < 128; ++n) {
                double L = 0.0, R = 0.0;
                if (!stepVoice(n, s, k, L, R)) continue;
                if (!s.useWave) {
                    double x = std::sin(phase[n]);
                    if (0.45 * sr > 2.0 * frequency[n])
                        x += 0.25 * std::exp(-2.0 * age[n]) * std::sin(2.0 * phase[n]);
                    if (0.45 * sr > 3.0 * frequency[n]) x += 0.08 * std::sin(3.0 * phase[n]);
                    const double v = velocity[n] *
                                     (x * envelope[n] * (0.45 + 0.55 * std::exp(-1.2 * age[n]))) / 127.0 *
                                     0.11;
                    const double d = ((n % 12) - 5.5) * 0.02;
                    accL += v * (0.7 - d);
                    accR += v * (0.7 + d);
                } else {
                    const double v = envelope[n] * velocity[n] / 127.0 * 0.26;
                    accL += v * L;
                    accR += v * R;
                }
            }
            const float outL = static_cast<float>(std::tanh(gain * accL));
            const float outR = static_cast<float>(std::tanh(gain * accR));
            if (left) left[i] = outL;
            if (right) right[i] = outR;
            callPeak = std::fmax(callPeak, std::fmax(std::fabs(outL), std::fabs(outR)));
        }
        peak = callPeak;
    }

    // The model's state after `frames` more frames, without the output, which
    // no state depends on: a quick way through long stretches. Only the voices
    // in `notes` move; every other voice must be silent and released.
    template <typename Notes> void advance(int64_t frames, const palmtone::Settings& s, const Notes& notes) {
        for (int n = 0; n < 128; ++n) {
            bool listed = false;
            for (int m : notes)
                listed = listed || m == n;
            if (!listed && (gate[n] || envelope[n] != 0.0)) std::abort();
        }
        const Step k = coefficients(s);
        for (int64_t i = 0; i < frames; ++i) {
            gain += (s.volume - gain) * 0.001;
            double L, R;
            for (int n : notes)
                stepVoice(n, s, k, L, R);
        }
    }
};

} // namespace velktest
