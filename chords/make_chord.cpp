#include "chords/make_chord.hpp"

#include <algorithm>
#include <cstdint>

#include "chords/scales.hpp"

namespace tamso {

namespace {

// Insertion sort: at most five notes, and std::sort promises nothing about allocation.
void sortAscending(int64_t* notes, int count) noexcept {
    for (int i = 1; i < count; ++i) {
        const int64_t v = notes[i];
        int j = i;
        for (; j > 0 && notes[j - 1] > v; --j)
            notes[j] = notes[j - 1];
        notes[j] = v;
    }
}

} // namespace

Chord makeChord(int32_t root, const Config& config) noexcept {
    Chord chord{{0, 0, 0, 0, 0}, 0, root};
    if (root < 0) return chord;

    const std::array<int32_t, 5> steps = intervals(root, config);
    // 64-bit throughout: root + interval and the octave shift cannot overflow.
    int64_t notes[5];
    int size = 0;
    notes[size++] = root;
    notes[size++] = static_cast<int64_t>(root) + steps[1];
    notes[size++] = static_cast<int64_t>(root) + steps[2];
    if (config.addSeventh) notes[size++] = static_cast<int64_t>(root) + steps[3];
    if (config.addNinth) notes[size++] = static_cast<int64_t>(root) + steps[4];
    sortAscending(notes, size);

    // At least one note stays in place; a negative inversion raises none.
    const int raised = static_cast<int>(std::clamp<int64_t>(config.inversion, 0, size - 1));
    for (int i = 0; i < raised; ++i)
        notes[i] += 12;
    sortAscending(notes, size);

    const int64_t shift = 12 * static_cast<int64_t>(config.octave);
    for (int i = 0; i < size; ++i) {
        const int32_t note = static_cast<int32_t>(std::clamp<int64_t>(notes[i] + shift, 0, 127));
        // Notes that meet at a clamp limit, or doubled by the scale, fold into one.
        if (chord.count > 0 && chord.notes[chord.count - 1] == note) continue;
        chord.notes[chord.count++] = note;
    }
    return chord;
}

} // namespace tamso
