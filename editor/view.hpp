#pragma once
// Everything one paint pass shows, read once from the instance and the editor
// at the start of the pass; only the take picture (`overview`, the editor's
// own) is kept from reads of its own (editor/overview.cpp). The layout is a
// pure function of it.
#include <cstdint>
#include <string>
#include <vector>

#include "chords/midi_capture.hpp"
#include "editor/geometry.hpp"
#include "plugin/host/parameters.hpp"
#include "plugin/media/sample_bank.hpp"

namespace palmtone {

struct View {
    // --- parameters ---
    ParamValues params{}; // normalised, as stored
    Settings settings{};  // decoded from params
    // --- display fields of the audio thread ---
    bool sounding[128] = {};
    int32_t soundingCount = 0;
    int32_t lastChordRoot = -1;
    float meter = 0.0f;  // the level meter after this pass's decay
    double glow[8] = {}; // after this pass's easing
    // --- count-in and take ---
    bool countIn = false;
    int32_t shownSeconds = 1; // the count-in's seconds, at least 1
    tamso::TakeState state = tamso::Idle;
    int32_t publishedNotes = 0;
    double endBeats = 0.0;
    double tempo = 120.0;
    bool tempoFromHost = false;
    const uint16_t* overview = nullptr; // a pitch-class mask per timeline column
    // --- the library ---
    const std::vector<std::wstring>* library = nullptr;
    std::wstring selection; // the bank's selected path
    const SampleSummary* summary = nullptr;
    int32_t scroll = 0;
    bool dropHover = false;
    // --- the pointer and the keys ---
    Point mouse{-1, -1};
    int32_t pressedType = -1;
    int32_t pressedValue = -1;
    // --- the clock of the record button's pulse ---
    double milliseconds = 0.0;
};

// The take is ready to export: no count-in, Finished or Full, with note-ons.
bool takeReady(const View& view) noexcept;

} // namespace palmtone
