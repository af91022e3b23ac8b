// One paint pass's state: the library copy, the pad glow, the level meter and
// the take picture move on, then the surface is laid out from one reading of
// the instance (the take picture reads what it needs itself, overview.cpp).
#include <algorithm>

#include "editor/editor.hpp"
#include "editor/key_tables.hpp"
#include "editor/layout.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

View Editor::view(double milliseconds) {
    View v;
    Plugin& p = *plugin;
    v.params = p.snapshot();
    v.settings = settings(v.params);
    Engine& engine = p.engine;
    v.soundingCount = engine.soundingCount.load(std::memory_order_relaxed);
    v.lastChordRoot = engine.lastChordRoot.load(std::memory_order_relaxed);
    for (int n = 0; n < 128; ++n)
        v.sounding[n] = engine.soundingNotes[n].load(std::memory_order_relaxed);

    for (int l = 0; l < padCount; ++l) {
        const tamso::Chord chord = voicing(notes[l], v.settings);
        const bool lit = keyDown[l] || padHeld == l || (v.lastChordRoot == chord.root && v.soundingCount > 0);
        glow[l] += ((lit ? 1.0 : 0.0) - glow[l]) * 0.35;
        v.glow[l] = glow[l];
    }
    meter = std::max(meter * 0.83f, engine.peak.load(std::memory_order_relaxed));
    v.meter = meter;

    {
        std::lock_guard<std::mutex> lock(p.bank.mutex);
        v.selection = p.bank.selectedPath;
    }
    v.countIn = p.countIn.active.load();
    v.shownSeconds = std::max(p.countIn.secondsLeft.load(), 1);
    v.state = static_cast<tamso::TakeState>(p.capture.state.load());
    v.publishedNotes = p.capture.publishedNotes.load();
    updateOverview(v.state);
    v.endBeats = p.capture.endBeats.load();
    v.tempo = p.tempo.load();
    v.tempoFromHost = p.tempoFromHost.load();
    v.overview = overview;

    v.library = &library;
    v.summary = &summary;
    v.scroll = scroll;
    v.dropHover = dropHover;
    v.mouse = mouse;
    v.pressedType = pressedType;
    v.pressedValue = pressedValue;
    v.milliseconds = milliseconds;
    return v;
}

const Scene& Editor::frame(double milliseconds) {
    hits.clear();
    if (!plugin) {
        scene_.clear();
        return scene_;
    }
    refreshLibrary();
    const View v = view(milliseconds);
    layout(v, scene_);
    hits.assign(scene_.hits.begin(), scene_.hits.end());
    return scene_;
}

} // namespace palmtone
