#pragma once
// The mix of work the audio-path proofs put through one instance, block by
// block, so the native count and the count on the built DLL see the same
// scenario: chords on several channels, the pedal, all-notes-off and
// all-sound-off, note-offs as velocity 0, ignored kinds, offsets outside the
// block, parameter changes (chord shape, channel, MIDI out, sound, whole
// one-shot, volume, input mode), one-shots from restored state chunks and their
// removal, sample-rate changes, host tempo coming and going, the editor's keys
// and "Soltar notas", a cancelled count-in, then a count-in after the first
// suspend that starts a take which is paused, resumed and stopped, suspend and
// resume, odd block sizes up to 4096.
//
// It runs on a Driver (scenario_level.hpp): every block is opcode 25 (also
// with no events) and then the block. A proof's driver counts what the
// instance calls during deliver() and run(), setParameter() and the suspend
// and resume (opcode 12); restoring a chunk and a new sample rate are UI-thread
// work and are not counted. The editor's buttons act at fixed blocks: the
// take's three-second count-in, asked for at block 260, ends in block 619 at
// the rates in force, so the take records from block 620 on. The native proof
// checks the take's state where the buttons act; the DLL's proof saves the
// finished take through the editor and checks its notes and its length
// (shortestTake, longestTake).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/host/parameters.hpp"
#include "plugin/host/state_chunk.hpp"
#include "tests/scenarios/scenario_level.hpp"
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
    // Where the editor's buttons act: a count-in asked for and cancelled, then
    // one that starts the take, which is paused, resumed and stopped.
    static constexpr size_t cancelledCountIn = 100, cancel = 140;
    static constexpr size_t countIn = 260, recording = 620;
    static constexpr size_t pause = recording + 40, resume = recording + 60, stop = recording + 100;
    // The sample rate from block 500 to 900, the take's.
    static constexpr float takeRate = 44100.0f;
    // Wide strings hold UTF-16 in every build: a bell outside the BMP is a pair.
    const std::wstring bellName = L"Campana \xD83D\xDD14";

    std::vector<uint8_t> firstSound = oneShotChunk(toneWave(44100, 0.7, true, 57), bellName);
    std::vector<uint8_t> secondSound = oneShotChunk(toneWave(22050, 0.2, false, 64), L"Pluck");
    std::vector<uint8_t> noSound = oneShotChunk({}, L"Pluck");

    static int32_t frames(size_t b) { return b % 97 == 0 ? 4096 : static_cast<int32_t>(1 + (b * 37) % 700); }
    static int64_t framesOf(size_t from, size_t to) {
        int64_t sum = 0;
        for (size_t b = from; b < to; ++b)
            sum += frames(b);
        return sum;
    }
    // The audio the take holds, in frames at takeRate: the blocks from
    // `recording` up to `stop`, less the paused ones from `pause` up to
    // `resume`, and the end of block recording - 1, where the count-in ends.
    static int64_t shortestTake() { return framesOf(recording, pause) + framesOf(resume, stop); }
    static int64_t longestTake() { return shortestTake() + frames(recording - 1); }

    void run(Driver& d) const {
        using namespace palmtone;
        bool tempoValid = true;
        d.answerTime(true, vst2::tempoValid, 98.0);
        restore(d, firstSound);
        for (size_t b = 0; b < blocks; ++b) {
            const int32_t n = frames(b);
            switch (b % 12) {
            case 0: // a chord on channel 1 and one on channel 3, with the pedal
                d.queue(0, 0x90, 60, 100);
                d.queue(n / 2, 0x92, 67, 80);
                d.queue(n - 1, 0xB0, 64, 127);
                break;
            case 3:
                d.queue(1, 0x80, 60, 0);
                d.queue(2, 0x90, 62, 0); // velocity 0 as note-off
                break;
            case 5:
                d.queue(0, 0xB0, 64, 0);
                d.queue(n / 3, 0x91, 127, 127);
                d.queue(n / 3, 0xE0, 0, 64); // ignored kinds
                d.queue(n / 3, 0xC0, 5, 0);
                break;
            case 6: // five keys at one offset, then at the block's last frame
                for (int k = 0; k < 5; ++k)
                    d.queue(n - 1, 0x90 | k, 48 + 7 * k, 20 + 20 * k);
                break;
            case 8: d.queue(-5, 0xB2, 123, 0); break; // all notes off, before the block
            case 9:
                for (int k = 0; k < 5; ++k)
                    d.queue(0, 0x80 | k, 48 + 7 * k, 0);
                break;
            case 10: d.queue(100000, 0xBF, 120, 0); break; // all sound off, after the block
            default: break;
            }
            if (b % 50 == 7) d.setParameter(pTonic, static_cast<float>((b % 11) / 11.0));
            if (b % 70 == 9) d.setParameter(pChannel, static_cast<float>((b % 16) / 15.0));
            if (b % 90 == 11) d.setParameter(pMidiOut, (b / 90) % 2 ? 0.0f : 1.0f);
            if (b % 130 == 13) d.setParameter(pSound, (b / 130) % 2 ? 0.0f : 1.0f);
            if (b % 150 == 17) d.setParameter(pWholeOneShot, (b / 150) % 2 ? 1.0f : 0.0f);
            if (b % 40 == 19) d.setParameter(pVolume, static_cast<float>((b % 40) / 40.0));
            if (b % 60 == 21) d.setParameter(pInput, static_cast<float>((b % 3) / 2.0));
            if (b % 110 == 23) d.setParameter(pChords, static_cast<float>((b / 110) % 4 / 3.0));
            if (b % 120 == 25) d.setParameter(pInversion, static_cast<float>((b / 120) % 5 / 4.0));
            if (b % 80 == 27) d.setParameter(pScale, static_cast<float>((b / 80) % 30 / 29.0));

            // The editor's side: its transport, its "D" key, "Soltar notas".
            if (b == cancelledCountIn || b == countIn) d.record();
            if (b == cancel || b == stop) d.stop();
            if (b == pause || b == resume) d.pauseOrResume();
            if (b % 200 == 150) d.releaseNotes();
            if (b % 25 == 4) d.key('D', true);
            if (b % 25 == 14) d.key('D', false);
            if (b % 300 == 299) {
                tempoValid = !tempoValid;
                d.answerTime(true, tempoValid ? vst2::tempoValid : 0, 98.0);
            }

            // The host's state thread and UI thread between blocks: a new
            // one-shot while chords sound, its removal, another, rate changes.
            if (b == 400) restore(d, secondSound);
            if (b == 600) restore(d, noSound);
            if (b == 800) restore(d, firstSound);
            if (b == 500) sampleRate(d, takeRate);
            if (b == 900) sampleRate(d, 96000.0f);
            if (b == 1000) sampleRate(d, 48000.0f);

            d.deliver();
            d.run(n);
            if (b == 250 || b == 1250) {
                d.dispatch(vst2::op::mainsChanged, 0, 0, nullptr, 0.0f);
                d.dispatch(vst2::op::mainsChanged, 0, 1, nullptr, 0.0f);
            }
        }
    }

  private:
    static void restore(Driver& d, const std::vector<uint8_t>& chunk) {
        ASSERT_EQ(d.dispatch(vst2::op::setStateChunk, 0, static_cast<intptr_t>(chunk.size()),
                             const_cast<uint8_t*>(chunk.data()), 0.0f),
                  1);
    }
    static void sampleRate(Driver& d, float hz) {
        ASSERT_EQ(d.dispatch(vst2::op::setSampleRate, 0, 0, nullptr, hz), 1);
    }
};

} // namespace velktest
