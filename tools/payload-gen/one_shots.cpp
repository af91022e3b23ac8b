#include "tools/payload-gen/one_shots.hpp"

#include <cmath>
#include <cstddef>

#include "tools/payload-gen/synth_math.hpp"
#include "tools/payload-gen/wave_file.hpp"

namespace payload {

namespace {

struct Partial {
    double ratio;        // frequency over C4
    double level;        // before normalisation
    double decaySeconds; // time to fall to 1/e
};

// Partials start in cosine phase so that they line up at the onset and the
// peak comes early; the attack ramp still starts the file at exactly 0.
constexpr double startPhase = 0.25;

struct Voice {
    int frames;
    double attackSeconds; // raised-sine rise from exactly 0
    double fadeSeconds;   // closing fade that ends in silence
    double peak;          // largest sample as a fraction of full scale
    std::vector<Partial> partials;
};

constexpr int silentTail = 240; // the last 5 ms are exactly zero

double envelope(const Voice& voice, int frame) {
    const double t = static_cast<double>(frame) / sampleRate;
    double gain = 1.0;
    if (t < voice.attackSeconds) {
        const double s = sineOfCycles(t / voice.attackSeconds / 4.0);
        gain = s * s;
    }
    const int end = voice.frames - silentTail;
    const int fadeFrames = static_cast<int>(voice.fadeSeconds * sampleRate);
    if (frame >= end) return 0.0;
    if (frame > end - fadeFrames) {
        const double u = static_cast<double>(end - frame) / fadeFrames; // 1..0
        const double s = sineOfCycles(u / 4.0);
        gain *= s * s;
    }
    return gain;
}

std::vector<int16_t> render(const Voice& voice) {
    std::vector<double> mix(static_cast<size_t>(voice.frames), 0.0);
    for (const Partial& p : voice.partials) {
        const double hertz = c4Hertz * p.ratio;
        for (int i = 0; i < voice.frames; ++i) {
            const double t = static_cast<double>(i) / sampleRate;
            mix[i] += p.level * exponential(-t / p.decaySeconds) * sineOfCycles(hertz * t + startPhase);
        }
    }
    double largest = 0.0;
    for (int i = 0; i < voice.frames; ++i) {
        mix[i] *= envelope(voice, i);
        largest = std::fmax(largest, std::fabs(mix[i]));
    }
    const double scale = voice.peak * 32767.0 / largest;
    std::vector<int16_t> out(mix.size());
    for (size_t i = 0; i < mix.size(); ++i)
        out[i] = static_cast<int16_t>(roundHalfAway(mix[i] * scale));
    return out;
}

} // namespace

std::vector<int16_t> bell() {
    // Partials of a struck bar and bell: the strong fundamental rings longest;
    // a short extra share of it is the strike, which puts the peak at the onset.
    return render({124800,
                   0.0006,
                   0.5,
                   0.70,
                   {{1.0, 1.00, 0.80},
                    {1.0, 0.30, 0.025},
                    {2.0, 0.40, 0.62},
                    {2.76, 0.32, 0.42},
                    {4.07, 0.16, 0.26},
                    {5.40, 0.12, 0.17},
                    {8.93, 0.05, 0.08}}});
}

std::vector<int16_t> pluck() {
    // Harmonics of a string plucked near its end, the upper ones dying first,
    // slightly stretched as a stiff string is.
    std::vector<Partial> partials;
    const double levels[] = {1.00, 0.62, 0.38, 0.22, 0.14, 0.09, 0.06, 0.04, 0.025, 0.015};
    const double decays[] = {0.55, 0.40, 0.30, 0.22, 0.17, 0.13, 0.10, 0.08, 0.065, 0.05};
    for (int n = 1; n <= 10; ++n) {
        const double stretch = std::sqrt(1.0 + 0.00008 * n * n); // sqrt is exact in IEEE
        partials.push_back({n * stretch, levels[n - 1], decays[n - 1]});
    }
    return render({76800, 0.0004, 0.3, 0.76, partials});
}

std::vector<int16_t> soft() {
    // Nearly a sine, swelling in over 39 ms.
    return render({100800,
                   0.039,
                   0.4,
                   0.66,
                   {{1.0, 1.00, 0.90}, {2.0, 0.22, 0.60}, {3.0, 0.07, 0.45}, {4.0, 0.02, 0.30}}});
}

} // namespace payload
