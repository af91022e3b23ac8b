// One audio block: settings, the borrowed one-shot, tempo, count-in and take,
// resets and re-voicing, the editor's and the host's events in sample order with
// rendering in between, the clicks, and the MIDI output.
#include <algorithm>
#include <cmath>

#include "plugin/plugin.hpp"

namespace palmtone {

namespace {

bool chordShapeChanged(const Settings& a, const Settings& b) noexcept {
    const tamso::Config& x = a.config;
    const tamso::Config& y = b.config;
    return a.inputMode != b.inputMode || x.tonic != y.tonic || x.scale != y.scale || x.octave != y.octave ||
           x.inversion != y.inversion || x.customScale != y.customScale || x.addSeventh != y.addSeventh ||
           x.addNinth != y.addNinth || x.seventhKind != y.seventhKind || x.ninthKind != y.ninthKind;
}

} // namespace

double Plugin::hostTempo(const Settings& settings, bool& fromHost) noexcept {
    fromHost = false;
    if (!host) return settings.bpm;
    const intptr_t answer = host(&effect, vst2::hostGetTime, 0, vst2::tempoValid, nullptr, 0.0f);
    const auto* time = reinterpret_cast<const vst2::TimeInfo*>(answer);
    if (!time || (time->flags & vst2::tempoValid) == 0) return settings.bpm;
    const double bpm = time->tempo;
    if (!std::isfinite(bpm) || bpm < 30.0 || bpm > 300.0) return settings.bpm;
    fromHost = true;
    return bpm;
}

void Plugin::enterSoundingNotes(int32_t offset, const Settings& settings) noexcept {
    for (int n = 0; n < 128; ++n) {
        if (engine.gate[n]) capture.add(offset, n, true, settings.channel, engine.velocity[n]);
    }
}

void Plugin::countInEnd(int32_t offset, double rate, double tempoBpm, const Settings& settings) noexcept {
    if (!countIn.cancelWaiting() && tamso::applyStartTransition(capture.state)) {
        if (capture.beginBlock(rate, tempoBpm, offset)) enterSoundingNotes(offset, settings);
    }
    countIn.end();
}

void Plugin::renderPiece(float* left, float* right, int32_t from, int32_t to,
                         const Settings& settings) noexcept {
    engine.render(left ? left + from : nullptr, right ? right + from : nullptr, to - from, settings);
}

void Plugin::process(float** outputs, int32_t frames) noexcept {
    if (frames <= 0) return;
    const Settings s = settings(snapshot());

    // Borrow the one-shot for this block; a new one, or a change of the sound
    // switch, restarts the sounding notes on the new sound.
    const SampleData* sample = bank.borrow();
    const int64_t serial = sample ? sample->serial : 0;
    if (sample != engine.sample || serial != engine.sampleSerial || s.useWave != engine.lastUseWave) {
        engine.sample = sample;
        engine.sampleSerial = serial;
        engine.lastUseWave = s.useWave;
        for (int n = 0; n < Engine::voices; ++n) {
            engine.position[n] = 0.0;
            engine.sampleActive[n] = engine.gate[n];
            engine.envelope[n] = 0.0;
        }
    }

    bool fromHost = false;
    const double t = hostTempo(s, fromHost);
    tempo.exchange(t);
    tempoFromHost.exchange(fromHost);

    const double rate = sampleRate.load();
    const CountIn::Step countStep = countIn.beginBlock(rate, frames);
    if (countStep.cancelled) tamso::applyStopTransition(capture.state);

    // A take that has just started or resumed begins with every sounding note.
    if (capture.beginBlock(rate, t, 0)) enterSoundingNotes(0, s);

    if (resetRequest.exchange(false) || overflow.exchange(false)) fullReset(s);

    if (engine.lastSettingsValid && chordShapeChanged(s, engine.lastSettings)) revoice(s);
    engine.lastSettings = s;
    engine.lastSettingsValid = true;

    syncOutput(0, s);

    // Editor events act at frame 0, before any host event. At most a ring's
    // worth per block: an editor pushing without pause cannot hold the audio
    // thread here, and what it pushes meanwhile waits for the next block.
    for (uint32_t taken = 0; taken < UiEventRing::capacity; ++taken) {
        if (!uiEvents.take([&](const InputEvent& event) { handleEvent(event, s); })) break;
    }

    const int32_t count = blockEventCount;
    for (int32_t i = 0; i < count; ++i) {
        InputEvent& e = blockEvents[i];
        e.frame = e.frame < 0 ? 0 : (e.frame > frames - 1 ? frames - 1 : e.frame);
        e.order = i;
    }
    // Orders are distinct, so this equals a stable sort by frame without its allocation.
    std::sort(blockEvents, blockEvents + count, [](const InputEvent& a, const InputEvent& b) {
        return a.frame != b.frame ? a.frame < b.frame : a.order < b.order;
    });

    float* left = outputs ? outputs[0] : nullptr;
    float* right = outputs ? outputs[1] : nullptr;
    int32_t rendered = 0;
    bool endPending = countStep.endOffset >= 0;
    for (int32_t i = 0; i < count; ++i) {
        const InputEvent event = blockEvents[i];
        if (endPending && event.frame > countStep.endOffset) {
            renderPiece(left, right, rendered, countStep.endOffset, s);
            countInEnd(countStep.endOffset, rate, t, s);
            rendered = countStep.endOffset;
            endPending = false;
        }
        renderPiece(left, right, rendered, event.frame, s);
        rendered = event.frame;
        handleEvent(event, s);
    }
    if (endPending) {
        renderPiece(left, right, rendered, countStep.endOffset, s);
        countInEnd(countStep.endOffset, rate, t, s);
        rendered = countStep.endOffset;
    }
    renderPiece(left, right, rendered, frames, s);

    countIn.mix(left, right, frames, rate);
    blockEventCount = 0;
    capture.endBlock(frames);
    flush();
    bank.giveBack();
}

} // namespace palmtone
