#include "chords/names.hpp"

#include <array>

#include "chords/scales.hpp"

namespace tamso {

const char* const notes[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
const char* const sevenKinds[4] = {"Segun escala", "Menor (b7)", "Mayor (maj7)", "Disminuida (bb7)"};
const char* const nineKinds[4] = {"Segun escala", "Novena (9)", "Menor (b9)", "Aumentada (#9)"};

namespace {

const char* ninthSuffix(int32_t ninth) {
    if (ninth == 13) return "(b9)";
    if (ninth == 15) return "(#9)";
    return "(add9)";
}

} // namespace

std::string noteName(int32_t note) {
    // Floor division, so notes below 0 keep counting down: -1 is B-2, not B-1.
    const int64_t n = note;
    int64_t pitchClass = n % 12;
    int64_t octave = n / 12;
    if (pitchClass < 0) {
        pitchClass += 12;
        --octave;
    }
    return std::string(notes[pitchClass]) + std::to_string(octave - 1);
}

std::string chordName(int32_t root, const Config& config) {
    if (root < 0) return "--";
    const std::array<int32_t, 5> steps = intervals(root, config);
    const int32_t third = steps[1], fifth = steps[2], seventh = steps[3], ninth = steps[4];
    const bool withSeventh = config.addSeventh != 0;
    const bool withNinth = config.addNinth != 0;

    std::string name = notes[root % 12];
    if (third == 3 && fifth == 6 && withSeventh && seventh == 10) {
        name += "m7b5";
        if (withNinth) name += ninthSuffix(ninth);
        return name;
    }

    if (third == 3)
        name += fifth == 6 ? "dim" : "m";
    else if (fifth == 8)
        name += "aug";

    const bool foldedNinth = withSeventh && withNinth && ninth == 14;
    if (withSeventh) {
        if (seventh == 11)
            name += foldedNinth ? "maj9" : "maj7";
        else
            name += foldedNinth ? "9" : "7";
    }
    if (withNinth && !foldedNinth) name += ninthSuffix(ninth);
    return name;
}

} // namespace tamso
