#include "chords/scales.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

namespace tamso {

const Scale scales[scaleCount] = {
    {"Mayor / Jonico", majorScaleMask},
    {"Menor natural / Eolico", 0x5AD},
    {"Menor armonica", 0x9AD},
    {"Menor melodica ascendente", 0xAAD},
    {"Dorico", 0x6AD},
    {"Frigio", 0x5AB},
    {"Lidio", 0xAD5},
    {"Mixolidio", 0x6B5},
    {"Locrio", 0x56B},
    {"Pentatonica mayor", 0x295},
    {"Pentatonica menor", 0x4A9},
    {"Blues menor", 0x4E9},
    {"Blues mayor", 0x29D},
    {"Cromatica", 0xFFF},
    {"Tonos enteros", 0x555},
    {"Disminuida semitono-tono", 0x6DB},
    {"Disminuida tono-semitono", 0xB6D},
    {"Mayor armonica", 0x9B5},
    {"Doble armonica", 0x9B3},
    {"Menor hungara", 0x9CD},
    {"Frigio dominante", 0x5B3},
    {"Lidio dominante", 0x6D5},
    {"Alterada / Superlocria", 0x55B},
    {"Hirajoshi", 0x18D},
    {"In sen", 0x4A3},
    {"Iwato", 0x463},
    {"Egipcia", 0x4A5},
    {"Napolitana menor", 0x9AB},
    {"Napolitana mayor", 0xAAB},
    {"Personalizada", majorScaleMask}, // never read: index 29 uses Config::customScale
};

namespace {

constexpr uint16_t pitchClassBits = 0xFFF;

// Membership by pitch class; 64-bit so that note - tonic cannot overflow.
bool maskHolds(uint16_t mask, int64_t tonic, int64_t note) noexcept {
    int64_t r = (note - tonic) % 12;
    if (r < 0) r += 12;
    return ((mask >> r) & 1u) != 0;
}

int32_t saturate(int64_t v) noexcept {
    constexpr int64_t lo = std::numeric_limits<int32_t>::min();
    constexpr int64_t hi = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(v, lo, hi));
}

int popCount12(uint16_t mask) noexcept {
    int n = 0;
    for (int k = 0; k < 12; ++k)
        n += (mask >> k) & 1;
    return n;
}

// The nearest scale note to target, as an interval above root.
int64_t nearestAbove(int64_t root, int64_t offset, const Config& config) noexcept {
    return static_cast<int64_t>(nearestInScale(saturate(root + offset), config)) - root;
}

// The first of the preferred intervals the scale holds, else -1.
int32_t firstInScale(uint16_t mask, const Config& config, int64_t root,
                     std::initializer_list<int32_t> preferred) noexcept {
    for (int32_t step : preferred)
        if (maskHolds(mask, config.tonic, root + step)) return step;
    return -1;
}

} // namespace

uint16_t scaleMask(const Config& config) noexcept {
    // Out-of-range rows are clamped so the table is never read past its end.
    const int32_t index = std::clamp<int32_t>(config.scale, 0, scaleCount - 1);
    if (index == customScaleIndex) {
        // Bits above 11 name no pitch class; an empty set plays as the tonic alone.
        const uint16_t custom = config.customScale & pitchClassBits;
        return custom != 0 ? custom : uint16_t{1};
    }
    return scales[index].mask;
}

bool inScale(int32_t note, const Config& config) noexcept {
    return maskHolds(scaleMask(config), config.tonic, note);
}

int32_t nearestInScale(int32_t target, const Config& config) noexcept {
    const uint16_t mask = scaleMask(config);
    const int32_t t0 = std::max(target, 0);
    const int32_t c = std::min(t0, 127);
    const int32_t lo = std::max(c - 12, 0);
    const int32_t hi = std::min(t0, 115) + 12;
    // Infinity, not a finite sentinel: a target far outside 0..127 still gets a scale note.
    int32_t best = c;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int32_t i = lo; i <= hi; ++i) {
        if (!maskHolds(mask, config.tonic, i)) continue;
        const double distance = std::abs(static_cast<double>(target) - i);
        if (distance < bestDistance) { // strict: a tie keeps the lower note
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

std::array<int32_t, 5> intervals(int32_t root, const Config& config) noexcept {
    const uint16_t mask = scaleMask(config);
    const int64_t r = root;
    int64_t third = 0, fifth = 0, seventh = 0, ninth = 0;

    if (popCount12(mask) == 7) {
        // Stack scale thirds, counting from the semitone above the root. Seven
        // notes per octave reach the 8th one within 18 semitones; 24 is a hard cap.
        int found = 0;
        for (int32_t s = 1; s <= 24 && found < 8; ++s) {
            if (!maskHolds(mask, config.tonic, r + s)) continue;
            ++found;
            if (found == 2)
                third = s;
            else if (found == 4)
                fifth = s;
            else if (found == 6)
                seventh = s;
            else if (found == 8)
                ninth = s;
        }
    } else {
        int32_t step = firstInScale(mask, config, r, {4, 3, 5, 2});
        third = step >= 0 ? step : nearestAbove(r, 4, config);
        step = firstInScale(mask, config, r, {7, 6, 8});
        fifth = step >= 0 ? step : nearestAbove(r, 7, config);
        step = firstInScale(mask, config, r, {10, 11, 9});
        seventh = step >= 0 ? step : nearestAbove(r, 10, config);
        step = firstInScale(mask, config, r, {2, 1, 3});
        ninth = (step >= 0 ? step : nearestAbove(r, 2, config)) + 12;
    }

    // Kind 3 and every value outside 0..3 take the last choice.
    switch (config.seventhKind) {
    case 0: break;
    case 1: seventh = 10; break;
    case 2: seventh = 11; break;
    default: seventh = 9; break;
    }
    switch (config.ninthKind) {
    case 0: break;
    case 1: ninth = 14; break;
    case 2: ninth = 13; break;
    default: ninth = 15; break;
    }
    return {0, saturate(third), saturate(fifth), saturate(seventh), saturate(ninth)};
}

} // namespace tamso
