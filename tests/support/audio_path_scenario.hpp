#pragma once
// The mix of work the audio-path proofs put through one instance, block by
// block, so the native count and the count on the built DLL see the same
// scenario: chords on several channels, the pedal, all-notes-off and
// all-sound-off, note-offs as velocity 0, ignored kinds, offsets outside the
// block, parameter changes (chord shape, channel, MIDI out, sound, whole
// one-shot, volume, input mode), one-shots from restored state chunks and their
// removal, sample-rate changes, host tempo coming and going, the editor's keys,
// resets, a count-in that starts a take which is paused, resumed and stopped, a
// cancelled count-in, suspend and resume, odd block sizes up to 4096.
//
// A driver supplies:
//   void midi(int32_t frame, int status, int data1, int data2);  // for the coming block
//   void audio(int32_t frames);         // opcode 25 with those events, then the block
//   void parameter(int32_t index, float value);
//   void suspendAndResume();            // opcode 12 with 0, then with 1
//   void toggleHostTempo();             // the host's tempo flag on or off
//   void sampleRate(float hz);          // opcode 10
//   void restore(const std::vector<uint8_t>& chunk); // opcode 24, must be taken
//   palmtone::Plugin& plugin();         // the instance, for the editor's side
// audio, parameter and suspendAndResume are the calls a proof counts.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "chords/midi_capture.hpp"
#include "plugin/host/parameters.hpp"
#include "plugin/host/state_chunk.hpp"
#include "plugin/plugin.hpp"
#include "tests/support/wave_image.hpp"

namespace velktest {

// A 16-bit PCM WAV image with a "smpl" chunk giving its unity note: a decaying
// tone of `seconds` at `rate`, stereo when asked.
inline std::vector<uint8_t> toneWave(uint32_t rate, double seconds, bool stereo, uint32_t unity) {
    const uint32_t channels = stereo ? 2 : 1;
    const uint32_t frames = static_cast<uint32_t>(rate * seconds);
    Bytes data;
    for (uint32_t i = 0; i < frames; ++i) {
        const double v = std::sin(i * 0.07) * std::exp(-double(i) / (0.3 * rate));
        for (uint32_t c = 0; c < channels; ++c)
            put16(data, uint32_t(int32_t(std::lround(v * (c ? 9000 : 20000)))) & 0xFFFF);
    }
    return riff({{"fmt ", fmtData(1, channels, rate, 16)}, {"smpl", smplData(unity)}, {"data", data}});
}

// A state chunk with "Sonido" on the one-shot `wave` (none when empty), whole
// one-shot play, input as real notes, and a small library.
inline std::vector<uint8_t> oneShotChunk(const std::vector<uint8_t>& wave, const std::wstring& name) {
    palmtone::ParamValues values{};
    for (int i = 0; i < palmtone::paramCount; ++i)
        values[i] = palmtone::normalisedDefault(i);
    values[palmtone::pSound] = 1.0;
    values[palmtone::pWholeOneShot] = 1.0;
    values[palmtone::pInput] = 0.5;
    palmtone::LibrarySnapshot library;
    library.name = wave.empty() ? L"" : name;
    library.file = wave;
    library.folder = L"C:\\Muestras";
    library.files = {L"C:\\Muestras\\" + name + L".wav"};
    library.selection = wave.empty() ? L"" : library.files[0];
    std::vector<uint8_t> chunk;
    palmtone::writeStateChunk(chunk, values, library);
    return chunk;
}

struct AudioPathScenario {
    static constexpr size_t blocks = 1500;
    // Wide strings hold UTF-16 in every build: a bell outside the BMP is a pair.
    const std::wstring bellName = L"Campana \xD83D\xDD14";

    std::vector<uint8_t> firstSound = oneShotChunk(toneWave(44100, 0.7, true, 57), bellName);
    std::vector<uint8_t> secondSound = oneShotChunk(toneWave(22050, 0.2, false, 64), L"Pluck");
    std::vector<uint8_t> noSound = oneShotChunk({}, L"Pluck");

    // Outcomes, for the proofs' own checks.
    long recordingSince = -1; // block in which the take was first seen recording
    int32_t finalTakeState = -1;

    static int32_t frames(size_t b) { return b % 97 == 0 ? 4096 : static_cast<int32_t>(1 + (b * 37) % 700); }

    template <class Driver> void run(Driver& d) {
        using namespace palmtone;
        d.restore(firstSound);
        for (size_t b = 0; b < blocks; ++b) {
            const int32_t n = frames(b);
            switch (b % 12) {
            case 0: // a chord on channel 1 and one on channel 3, with the pedal
                d.midi(0, 0x90, 60, 100);
                d.midi(n / 2, 0x92, 67, 80);
                d.midi(n - 1, 0xB0, 64, 127);
                break;
            case 3:
                d.midi(1, 0x80, 60, 0);
                d.midi(2, 0x90, 62, 0); // velocity 0 as note-off
                break;
            case 5:
                d.midi(0, 0xB0, 64, 0);
                d.midi(n / 3, 0x91, 127, 127);
                d.midi(n / 3, 0xE0, 0, 64); // ignored kinds
                d.midi(n / 3, 0xC0, 5, 0);
                break;
            case 6: // five keys at one offset, then at the block's last frame
                for (int k = 0; k < 5; ++k)
                    d.midi(n - 1, 0x90 | k, 48 + 7 * k, 20 + 20 * k);
                break;
            case 8: d.midi(-5, 0xB2, 123, 0); break; // all notes off, before the block
            case 9:
                for (int k = 0; k < 5; ++k)
                    d.midi(0, 0x80 | k, 48 + 7 * k, 0);
                break;
            case 10: d.midi(100000, 0xBF, 120, 0); break; // all sound off, after the block
            default: break;
            }
            if (b % 50 == 7) d.parameter(pTonic, static_cast<float>((b % 11) / 11.0));
            if (b % 70 == 9) d.parameter(pChannel, static_cast<float>((b % 16) / 15.0));
            if (b % 90 == 11) d.parameter(pMidiOut, (b / 90) % 2 ? 0.0f : 1.0f);
            if (b % 130 == 13) d.parameter(pSound, (b / 130) % 2 ? 0.0f : 1.0f);
            if (b % 150 == 17) d.parameter(pWholeOneShot, (b / 150) % 2 ? 1.0f : 0.0f);
            if (b % 40 == 19) d.parameter(pVolume, static_cast<float>((b % 40) / 40.0));
            if (b % 60 == 21) d.parameter(pInput, static_cast<float>((b % 3) / 2.0));
            if (b % 110 == 23) d.parameter(pChords, static_cast<float>((b / 110) % 4 / 3.0));
            if (b % 120 == 25) d.parameter(pInversion, static_cast<float>((b / 120) % 5 / 4.0));
            if (b % 80 == 27) d.parameter(pScale, static_cast<float>((b / 80) % 30 / 29.0));

            // The editor's side: the take, counted in after the first suspend,
            // then paused, resumed and stopped; a second count-in is cancelled.
            Plugin& p = d.plugin();
            const int32_t state = p.capture.state.load();
            if (b == 260 || b == 1300) p.countIn.requestStart();
            if (state == tamso::Recording && recordingSince < 0) recordingSince = static_cast<long>(b);
            const long since = recordingSince < 0 ? -1 : static_cast<long>(b) - recordingSince;
            if (since == 40) tamso::applyPauseTransition(p.capture.state);
            if (since == 60) tamso::applyResumeTransition(p.capture.state);
            if (since == 100) tamso::applyStopTransition(p.capture.state);
            if (b == 1340) p.countIn.requestCancel();
            if (b % 200 == 150) p.resetRequest.store(true);
            if (b % 25 == 4) p.pushUiEvent(0x9F, 64, 100);
            if (b % 25 == 14) p.pushUiEvent(0x8F, 64, 0);
            if (b % 300 == 299) d.toggleHostTempo();

            // The host's state thread and UI thread between blocks: a new
            // one-shot while chords sound, its removal, another, rate changes.
            if (b == 400) d.restore(secondSound);
            if (b == 600) d.restore(noSound);
            if (b == 800) d.restore(firstSound);
            if (b == 500) d.sampleRate(44100.0f);
            if (b == 900) d.sampleRate(96000.0f);
            if (b == 1000) d.sampleRate(48000.0f);

            d.audio(n);
            if (b == 250 || b == 1250) d.suspendAndResume();
        }
        finalTakeState = d.plugin().capture.state.load();
    }
};

} // namespace velktest
