#include "plugin/host/parameters.hpp"

#include <cmath>

#include "chords/names.hpp"
#include "chords/scales.hpp"

namespace palmtone {

const ParamSpec specs[paramCount] = {
    {"Tonica", 0, 11, 0, 11},
    {"Escala", 0, 29, 0, 29},
    {"Acordes", 0, 3, 2, 3},
    {"Invers.", 0, 4, 0, 4},
    {"Octava", -2, 2, 0, 4},
    {"Volumen", 0, 1, 0.65, 0},
    {"Entrada", 0, 2, 0, 2},
    {"Canal", 1, 16, 1, 15},
    {"MIDI out", 0, 1, 1, 1},
    {"BPM", 30, 300, 120, 270},
    {"Escala12", 1, 4095, tamso::majorScaleMask, 4094},
    {"Septima", 0, 3, 0, 3},
    {"Novena", 0, 3, 0, 3},
    {"Sonido", 0, 1, 0, 1},
    {"Raiz WAV", 0, 127, 60, 127},
    {"Tocar WAV", 0, 1, 0, 1},
};

const char* const extensions[4] = {"Triadas", "7mas", "9nas (incluyen 7ma)", "Add9 (sin 7ma)"};

const char* const inputModes[3] = {"Teclas / grados de escala", "Raices MIDI reales",
                                   "MIDI ya escrito / solo sonido"};

namespace {

double clamp01(double x) noexcept {
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}

// The whole value of row index for a clean normalised c.
int32_t whole(int index, double c) noexcept {
    const ParamSpec& s = specs[index];
    return static_cast<int32_t>(roundHalfAway(s.minimum + c * (s.maximum - s.minimum)));
}

} // namespace

double cleanNormalised(double x) noexcept {
    return std::isfinite(x) ? clamp01(x) : 0.0;
}

double roundHalfAway(double x) noexcept {
    return std::round(x);
}

double normalisedDefault(int index) noexcept {
    const ParamSpec& s = specs[index];
    return clamp01((s.defaultValue - s.minimum) / (s.maximum - s.minimum));
}

bool quantise(int index, double normalised, double& stored) noexcept {
    if (!isParamIndex(index) || !std::isfinite(normalised)) return false;
    const ParamSpec& s = specs[index];
    const double span = s.maximum - s.minimum;
    double e = s.minimum + clamp01(normalised) * span;
    if (index != pVolume) e = roundHalfAway(e);
    const double n = (e - s.minimum) / span;
    stored = std::isfinite(n) ? clamp01(n) : 0.0;
    return true;
}

Settings settings(const ParamValues& values) noexcept {
    double c[paramCount];
    for (int i = 0; i < paramCount; ++i)
        c[i] = cleanNormalised(values[i]);

    Settings s;
    tamso::Config& k = s.config;
    k.tonic = whole(pTonic, c[pTonic]);
    k.scale = whole(pScale, c[pScale]);
    k.inversion = whole(pInversion, c[pInversion]);
    k.octave = whole(pOctave, c[pOctave]);
    k.seventhKind = whole(pSeventh, c[pSeventh]);
    k.ninthKind = whole(pNinth, c[pNinth]);
    k.customScale = static_cast<uint16_t>(whole(pCustomScale, c[pCustomScale]));
    const int32_t size = whole(pChords, c[pChords]);
    k.addSeventh = (size == 1 || size == 2) ? 1 : 0;
    k.addNinth = (size == 2 || size == 3) ? 1 : 0;
    s.volume = c[pVolume];
    s.bpm = whole(pBpm, c[pBpm]);
    s.inputMode = whole(pInput, c[pInput]);
    s.channel = whole(pChannel, c[pChannel]);
    s.waveRoot = whole(pWaveRoot, c[pWaveRoot]);
    s.midiOut = roundHalfAway(c[pMidiOut]) > 0.5;
    s.useWave = roundHalfAway(c[pSound]) > 0.5;
    s.wholeOneShot = roundHalfAway(c[pWholeOneShot]) > 0.5;
    return s;
}

std::string display(int index, double value) {
    if (!isParamIndex(index)) return std::string();
    const double c = cleanNormalised(value);
    const int32_t a = whole(index, c);
    switch (index) {
    case pTonic: return tamso::notes[a];
    case pScale: return tamso::scales[a].name;
    case pChords: return extensions[a];
    case pVolume: return std::to_string(static_cast<int>(100.0 * c + 0.5)) + "%";
    case pInput: return inputModes[a];
    case pMidiOut: return a != 0 ? "Si" : "No";
    case pSeventh: return tamso::sevenKinds[a];
    case pNinth: return tamso::nineKinds[a];
    case pSound: return a == 0 ? builtInSound : "One shot WAV";
    case pWaveRoot: return tamso::noteName(a);
    case pWholeOneShot: return a == 0 ? "Seguir tecla" : "One shot completo";
    default: return std::to_string(a); // inversion, octave, channel, BPM, custom scale
    }
}

const char* label(int index) noexcept {
    return index == pBpm ? "BPM" : "";
}

} // namespace palmtone
