// Which chord a played key means, by the input mode.
#include "plugin/sound/voicing.hpp"
#include "chords/make_chord.hpp"
#include "chords/scales.hpp"

namespace palmtone {

namespace {

// Scale degree (counted from 0) that each pitch class of an octave selects; the
// black keys repeat the degree of the white key below.
constexpr int degreeSteps[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};

// inputDegrees: key's pitch class picks a degree of the scale in key's octave.
int32_t degreeRoot(int key, const tamso::Config& config) noexcept {
    const int q = key >= 0 ? key / 12 : (key - 11) / 12;
    const int r = key - 12 * q;
    const int32_t base = 12 * q + config.tonic;
    const int steps = degreeSteps[r];
    if (steps == 0) return base;
    // Every scale mask holds at least one pitch class, so the count reaches
    // `steps` (at most 6) within seven octaves.
    int counted = 0;
    for (int32_t note = base + 1; note <= base + 12 * 7; ++note) {
        if (tamso::inScale(note, config) && ++counted == steps) return note;
    }
    return base;
}

} // namespace

tamso::Chord voicing(int key, const Settings& settings) noexcept {
    if (settings.inputMode == inputAsWritten) {
        return tamso::Chord{{key, 0, 0, 0, 0}, 1, key};
    }
    // inputRealRoots, and any value outside the three, moves the key into the scale.
    const int32_t root = settings.inputMode == inputDegrees ? degreeRoot(key, settings.config)
                                                            : tamso::nearestInScale(key, settings.config);
    return tamso::makeChord(root, settings.config);
}

} // namespace palmtone
