// Played keys become sounding chord notes: the held-key table, note evaluation,
// full reset, re-voicing and the host's suspend.
#include "chords/midi_numbers.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

void Plugin::releaseKey(HeldKey& key) noexcept {
    for (int i = 0; i < key.chord.count; ++i)
        engine.noteRefCount[key.chord.notes[i]] -= 1;
    key.free();
}

void Plugin::evaluateNotes(int32_t frame, const Settings& settings, bool syncEach) noexcept {
    int32_t sounding = 0;
    for (int n = 0; n < Engine::voices; ++n) {
        const bool on = engine.noteRefCount[n] >= 1;
        if (on != engine.gate[n]) {
            engine.gate[n] = on;
            if (on) engine.startNote(n);
            capture.add(frame, n, on, settings.channel, engine.velocity[n]);
            if (syncEach) syncOutput(frame, settings);
        }
        engine.soundingNotes[n].store(on, std::memory_order_relaxed);
        sounding += on ? 1 : 0;
    }
    engine.soundingCount.store(sounding, std::memory_order_relaxed);
}

void Plugin::handleEvent(const InputEvent& event, const Settings& settings) noexcept {
    namespace midi = tamso::midi;
    const int32_t row = event.status & midi::channelBits;
    const int32_t kind = event.status & midi::kindBits;
    const int32_t data1 = event.data1;
    const int32_t data2 = event.data2;
    const int32_t frame = event.frame;
    if (data1 < 0 || data1 > 127) return;
    HeldKey& key = engine.heldKeys[row][data1];

    if (kind == midi::noteOn && data2 >= 1) {
        if (key.active) {
            releaseKey(key);
            evaluateNotes(frame, settings, true);
        }
        key.down = true;
        key.active = true;
        key.velocity = data2 > 127 ? 127 : data2;
        key.chord = voicing(data1, settings);
        for (int i = 0; i < key.chord.count; ++i) {
            const int32_t n = key.chord.notes[i];
            engine.noteRefCount[n] += 1;
            engine.velocity[n] = key.velocity;
        }
        engine.lastChordRoot.store(key.chord.root, std::memory_order_relaxed);
        evaluateNotes(frame, settings, true);
    } else if (kind == midi::noteOff || kind == midi::noteOn) {
        key.down = false;
        if (key.active && !engine.sustain[row]) releaseKey(key);
        evaluateNotes(frame, settings, true);
    } else if (kind == midi::controlChange && data1 == midi::sustainPedal) {
        engine.sustain[row] = data2 >= midi::pedalDownFrom;
        if (data2 < midi::pedalDownFrom) {
            for (HeldKey& k : engine.heldKeys[row])
                if (k.active && !k.down) releaseKey(k);
        }
        evaluateNotes(frame, settings, true);
    } else if (kind == midi::controlChange && (data1 == midi::allSoundOff || data1 == midi::allNotesOff)) {
        engine.sustain[row] = false;
        for (HeldKey& k : engine.heldKeys[row])
            if (k.active) releaseKey(k);
        evaluateNotes(frame, settings, true);
    }
}

void Plugin::releaseEverything(const Settings& settings, bool syncEach) noexcept {
    for (auto& row : engine.heldKeys)
        for (HeldKey& k : row)
            k.free();
    for (bool& pedal : engine.sustain)
        pedal = false;
    for (int32_t& refs : engine.noteRefCount)
        refs = 0;
    evaluateNotes(0, settings, syncEach);
    // One-shots stop at once; synth voices fade by their release.
    for (bool& active : engine.sampleActive)
        active = false;
    engine.lastChordRoot.exchange(-1);
}

void Plugin::dropPendingEvents() noexcept {
    blockEventCount = 0;
    uiEvents.discard();
}

void Plugin::fullReset(const Settings& settings) noexcept {
    releaseEverything(settings, true);
    dropPendingEvents();
}

void Plugin::revoice(const Settings& settings) noexcept {
    for (int32_t& refs : engine.noteRefCount)
        refs = 0;
    for (int row = 0; row < 16; ++row) {
        for (int key = 0; key < 128; ++key) {
            HeldKey& k = engine.heldKeys[row][key];
            if (!k.active) continue;
            k.chord = voicing(key, settings);
            for (int i = 0; i < k.chord.count; ++i) {
                const int32_t n = k.chord.notes[i];
                engine.noteRefCount[n] += 1;
                engine.velocity[n] = k.velocity;
            }
        }
    }
    evaluateNotes(0, settings, true);
}

void Plugin::suspend() noexcept {
    countIn.clear();
    const Settings s = settings(snapshot());
    // Every note-off reaches the take first, then the host at once.
    releaseEverything(s, false);
    capture.suspend();
    syncOutput(0, s);
    flush();
    dropPendingEvents();
}

} // namespace palmtone
