#include "tests/support/param_table.hpp"

namespace velktest {

const ParamRange params[16] = {
    {"Tonica", 0, 11, 0.0},
    {"Escala", 0, 29, 0.0},
    {"Acordes", 0, 3, 2.0 / 3.0},
    {"Invers.", 0, 4, 0.0},
    {"Octava", -2, 2, 0.5},
    {"Volumen", 0, 1, 0.65},
    {"Entrada", 0, 2, 0.0},
    {"Canal", 1, 16, 0.0},
    {"MIDI out", 0, 1, 1.0},
    {"BPM", 30, 300, 1.0 / 3.0},
    {"Escala12", 1, 4095, 2740.0 / 4094.0},
    {"Septima", 0, 3, 0.0},
    {"Novena", 0, 3, 0.0},
    {"Sonido", 0, 1, 0.0},
    {"Raiz WAV", 0, 127, 60.0 / 127.0},
    {"Tocar WAV", 0, 1, 0.0},
};

float normalised(int32_t index, double unitValue) {
    const ParamRange& p = params[index];
    return static_cast<float>((unitValue - p.minimum) / (p.maximum - p.minimum));
}

} // namespace velktest
