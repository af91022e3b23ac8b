// Mirrors the sounding notes to the host's MIDI output on one channel.
#include "chords/midi_numbers.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

void Plugin::addOutput(int32_t frame, int32_t note, bool on, int32_t channel, int32_t velocity) noexcept {
    if (outList.numEvents >= maxOutEvents) flush();
    const int32_t slot = outList.numEvents;
    vst2::MidiEvent& e = outEvents[slot];
    e.type = vst2::midiEventType;
    e.byteSize = 24;
    e.deltaFrames = frame;
    e.flags = 1;
    e.noteLength = 0;
    e.noteOffset = 0;
    e.midiData[0] = static_cast<uint8_t>((on ? tamso::midi::noteOn : tamso::midi::noteOff) |
                                         (channel & tamso::midi::channelBits));
    e.midiData[1] = static_cast<uint8_t>(note & 0x7F);
    e.midiData[2] = on ? static_cast<uint8_t>(velocity < 1 ? 1 : (velocity > 127 ? 127 : velocity)) : 0;
    e.midiData[3] = 0;
    e.detune = 0;
    e.noteOffVelocity = 0;
    e.reserved1 = 0;
    e.reserved2 = 0;
    outList.events[slot] = &e;
    outList.numEvents = slot + 1;
}

void Plugin::flush() noexcept {
    if (outList.numEvents > 0 && host) {
        outList.reserved = 0;
        host(&effect, vst2::hostProcessEvents, 0, 0, &outList, 0.0f);
    }
    outList.numEvents = 0;
}

void Plugin::syncOutput(int32_t frame, const Settings& settings) noexcept {
    const int32_t newChannel = settings.channel - 1;
    for (int n = 0; n < 128; ++n) {
        if (!outOn[n]) continue;
        if (newChannel == outChannel && settings.midiOut && engine.gate[n]) continue;
        addOutput(frame, n, false, outChannel, 0);
        outOn[n] = false;
    }
    outChannel = newChannel;
    if (!settings.midiOut) return;
    for (int n = 0; n < 128; ++n) {
        if (engine.gate[n] && !outOn[n]) {
            addOutput(frame, n, true, outChannel, engine.velocity[n]);
            outOn[n] = true;
        }
    }
}

} // namespace palmtone
