#pragma once
// The clickable regions that every paint pass registers, in drawing order, and
// the search a click makes through them.
#include <cstdint>
#include <vector>

#include "editor/geometry.hpp"

namespace palmtone {

// What a click on a region does. The numbers are fixed; a region of any other
// value only repaints.
enum HitType : int32_t {
    Field = 0,
    ChordSize = 1,
    Pad = 2,
    VolumeSlider = 4,
    Record = 5,
    DragMidi = 6,
    Guide = 7,
    ReleaseNotes = 8,
    PauseResume = 12,
    Stop = 13,
    NewTake = 14,
    AddWaves = 20,
    Folder = 21,
    LibraryRow = 22,
    SaveMidi = 25,
    SoundSwitch = 26,
    PlayMode = 27,
    WaveRoot = 28,
    RemoveFile = 29,
    RemoveCurrent = 30,
};

struct Hit {
    Rect rect;
    HitType type = Field;
    int32_t value = 0;
    bool enabled = false;
};

// The first enabled region containing p, in registration order; null when none.
const Hit* findHit(const std::vector<Hit>& hits, Point p) noexcept;

} // namespace palmtone
