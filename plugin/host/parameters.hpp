#pragma once
// The 16 automatable parameters: their table, the quantisation rule, the decoding
// into one block's Settings and the display texts.
#include <array>
#include <cstdint>
#include <string>

#include "chords/chord.hpp"
#include "chords/scales.hpp"

namespace palmtone {

constexpr int paramCount = 16;
using ParamValues = std::array<double, paramCount>;

enum ParamIndex : int {
    pTonic = 0,
    pScale = 1,
    pChords = 2,
    pInversion = 3,
    pOctave = 4,
    pVolume = 5,
    pInput = 6,
    pChannel = 7,
    pMidiOut = 8,
    pBpm = 9,
    pCustomScale = 10,
    pSeventh = 11,
    pNinth = 12,
    pSound = 13,
    pWaveRoot = 14,
    pWholeOneShot = 15,
};

struct ParamSpec {
    const char* name;
    double minimum;
    double maximum;
    double defaultValue;
    int64_t steps; // whole steps from minimum to maximum; 0 for the continuous one
};

extern const ParamSpec specs[paramCount];
extern const char* const extensions[4]; // texts of "Acordes"
extern const char* const inputModes[3]; // texts of "Entrada"
// The values of "Entrada" (Settings::inputMode), in the order of its texts.
constexpr int32_t inputDegrees = 0;   // a key's pitch class picks a degree of the scale
constexpr int32_t inputRealRoots = 1; // a key is a root, moved into the scale
constexpr int32_t inputAsWritten = 2; // a key sounds as written, alone
// The built-in synth voice: the "Sonido" text for 0, the name of the one program
// and the name the editor shows for it.
constexpr char builtInSound[] = "VELK Soft Keys";

// The 16 values decoded for one block.
struct Settings {
    tamso::Config config{0, 0, 0, 0, 0, 0, 0, 0, tamso::majorScaleMask};
    double volume = 0.65;
    double bpm = 120.0;
    int32_t inputMode = inputDegrees;
    int32_t channel = 1; // 1..16
    int32_t waveRoot = 60;
    bool midiOut = true;
    bool useWave = false;
    bool wholeOneShot = false;
};

// Whether index names one of the 16 parameters.
constexpr bool isParamIndex(int index) noexcept {
    return index >= 0 && index < paramCount;
}

// A normalised value as every decoder reads it: non-finite counts as 0, then
// clamped to 0..1.
double cleanNormalised(double x) noexcept;

// Nearest whole number, halves away from zero.
double roundHalfAway(double x) noexcept;

// The normalised default of parameter index (valid index 0..15).
double normalisedDefault(int index) noexcept;

// The quantisation rule: the value to store for a normalised input, or false when
// nothing is stored (index outside 0..15 or a non-finite value).
bool quantise(int index, double normalised, double& stored) noexcept;

// Decodes 16 normalised values. Pure, no allocation.
Settings settings(const ParamValues& values) noexcept;

// The display text of a normalised value (index 0..15; others give an empty text).
std::string display(int index, double value);

// The host's unit label of a parameter: "BPM" for the tempo, empty otherwise.
const char* label(int index) noexcept;

} // namespace palmtone
