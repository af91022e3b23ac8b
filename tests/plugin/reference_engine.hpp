#pragma once
// The voice engine's sound model written out literally, one library call per
// term and sample: the yardstick the fast renderer is held to.
#include <cmath>
#include <cstdint>

#include "plugin/engine.hpp"

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
        for (int n = 0; n < 128; ++n) frequency[n] = 440.0 * std::pow(2.0, (n - 69) / 12.0);
    }

    void render(float* left, float* right, int frames, const palmtone::Settings& s) {
        const double pi2 = 2.0 * 3.14159265358979323846;
        const double sr = sampleRate;
        const double attack = s.useWave ? 0.002 : 0.008;
        const double release = s.useWave ? 0.08 : 0.16;
        const double a = std::exp(-1.0 / (sr * attack));
        const double r = std::exp(-1.0 / (sr * release));
        const double g =
            sample ? (sample->sampleRate / sr) / (440.0 * std::pow(2.0, (s.waveRoot - 69) / 12.0)) : 0.0;
        if (frames < 1) {
            peak = 0.0f;
            return;
        }
        float callPeak = 0.0f;
        for (int i = 0; i < frames; ++i) {
            gain += (s.volume - gain) * 0.001;
            double accL = 0.0, accR = 0.0;
            for (int n = 0; n < 128; ++n) {
                const bool on = s.useWave ? (sampleActive[n] && (s.wholeOneShot || gate[n])) : gate[n];
                envelope[n] = on ? envelope[n] + (1.0 - envelope[n]) * (1.0 - a) : envelope[n] * r;
                if (envelope[n] < 0.000001) continue;
                phase[n] += pi2 * frequency[n] / sr;
                if (phase[n] >= pi2) phase[n] -= pi2;
                age[n] += 1.0 / sr;
                if (!s.useWave) {
                    double x = std::sin(phase[n]);
                    if (0.45 * sr > 2.0 * frequency[n]) x += 0.25 * std::exp(-2.0 * age[n]) * std::sin(2.0 * phase[n]);
                    if (0.45 * sr > 3.0 * frequency[n]) x += 0.08 * std::sin(3.0 * phase[n]);
                    const double v =
                        velocity[n] * (x * envelope[n] * (0.45 + 0.55 * std::exp(-1.2 * age[n]))) / 127.0 * 0.11;
                    const double d = ((n % 12) - 5.5) * 0.02;
                    accL += v * (0.7 - d);
                    accR += v * (0.7 + d);
                } else if (sample && sampleActive[n]) {
                    const double p = position[n];
                    const uint64_t k = static_cast<uint64_t>(p);
                    const uint64_t count = sample->left.size();
                    if (k + 1 < count) {
                        const double frac = p - static_cast<double>(k);
                        const double L = sample->left[k] + (sample->left[k + 1] - sample->left[k]) * frac;
                        const double R = sample->right.empty()
                                             ? L
                                             : sample->right[k] + (sample->right[k + 1] - sample->right[k]) * frac;
                        position[n] = p + frequency[n] * g;
                        const double v = envelope[n] * velocity[n] / 127.0 * 0.26;
                        accL += v * L;
                        accR += v * R;
                    } else {
                        sampleActive[n] = false;
                        envelope[n] = 0.0;
                    }
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
};

} // namespace velktest
