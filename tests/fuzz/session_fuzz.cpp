// libFuzzer target: a whole host session on one instance. The first byte picks
// the SSE2 or the AVX2 kernels (and whether the host has a callback); every
// further byte starts one step a host, the editor or the user could take:
// parameter writes with any bits and index, opcode-25 lists with any records,
// blocks of 0 to 4096 frames (and negative counts), sample-rate and tempo
// changes including NaN, editor key events, count-in and take requests,
// one-shots loaded from a file and removed, state saved and restored, raw
// chunks restored, suspend and resume, other dispatcher calls, and the take's
// MIDI file. After every step the invariants are checked:
//   - every block's output is finite, within -1..1, and nothing past it changes;
//   - the MIDI output is well formed, inside its block, in order and balanced
//     (session_checks.hpp), and a final suspend leaves no note on;
//   - every parameter stays within 0..1, the published tempo within 30..300;
//   - a saved state restores, and saving it again gives the same bytes;
//   - a refused chunk changes nothing that a save shows;
//   - the take's MIDI file parses (session_checks.hpp).
// A save can fail for a library the reader took but the writer refuses; the
// two save checks are made only when the saves succeed.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "chords/midi_capture.hpp"
#include "fuzz_input.hpp"
#include "plugin/plugin.hpp"
#include "plugin/sound/engine_kernels.hpp"
#include "session_checks.hpp"
#include "tests/support/quiet_host.hpp"
#include "tests/support/wave_image.hpp"

namespace fuzztest {
namespace {

constexpr int32_t maxFrames = 4096;
constexpr int32_t guardFrames = 16;
constexpr float canary = 12345.0f;
constexpr int32_t frameBudget = 1 << 17; // 16 s at 8000 Hz, 2.7 s at 48000 Hz

// The host of one input: the quiet host, with every MIDI list it is handed checked.
struct Session : velktest::QuietHost {
    MidiOutputCheck midi;
    float left[maxFrames + guardFrames] = {};
    float right[maxFrames + guardFrames] = {};
    std::wstring wavePath;
    int32_t framesLeft = frameBudget;

  protected:
    void heard(const vsthost::HostCall& call) override {
        if (call.opcode == vst2::hostProcessEvents)
            midi.list(static_cast<const vst2::HostEventList*>(call.ptr));
    }
};

// A file for the one-shot loader, one per process (libFuzzer's workers are processes).
std::wstring wavePath() {
    const std::string path = "/tmp/velk-session-fuzz-" + std::to_string(getpid()) + ".wav";
    return std::wstring(path.begin(), path.end());
}

std::vector<uint8_t> save(palmtone::Plugin& p, bool& ok) {
    void* data = nullptr;
    const intptr_t size = p.dispatch(23, 0, 0, &data, 0.0f);
    ok = size > 0 && data != nullptr;
    if (!ok) return {};
    return std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

// A small well-formed WAV image with fuzzed format, length and unity note.
std::vector<uint8_t> madeWave(FuzzInput& in) {
    static const uint32_t rates[] = {8000, 22050, 44100, 48000, 96000, 192000, 7999, 192001};
    static const uint16_t widths[] = {8, 16, 24, 32, 32, 64};
    const uint8_t form = in.u8();
    const uint32_t rate = rates[form % 8];
    const uint16_t channels = (form >> 3) & 1 ? 2 : 1;
    const int width = (form >> 4) % 6;
    const uint16_t bits = widths[width];
    const uint16_t tag = width >= 4 ? 3 : 1;
    const uint32_t frames = in.u8() % 64 + 1;
    const uint32_t unity = in.u8();
    const uint32_t align = channels * bits / 8;
    std::vector<uint8_t> data = in.bytes(frames * align);
    data.resize(frames * align, 0x40);
    // No pad byte after odd data: the image ends with the data chunk.
    return velktest::riff({{"fmt ", velktest::fmtData(tag, channels, rate, bits)},
                           {"smpl", velktest::smplData(unity)},
                           {"data", data, false}});
}

void checkParameters(palmtone::Plugin& p) {
    for (int i = 0; i < palmtone::paramCount; ++i) {
        const double v = p.params[i].load();
        require(v >= 0.0 && v <= 1.0, "a parameter outside 0..1");
        const float host = p.effect.getParameter(&p.effect, i);
        require(host >= 0.0f && host <= 1.0f, "a parameter read by the host outside 0..1");
    }
}

void block(Session& s, palmtone::Plugin& p, int32_t frames, bool withOutputs) {
    // Every input renders at most `frameBudget` frames, so that one input
    // stays fast however many long blocks it asks for.
    if (frames > 0) {
        frames = std::min(frames, s.framesLeft);
        s.framesLeft -= frames;
    }
    const int32_t written = withOutputs && frames > 0 ? frames : 0;
    std::fill_n(s.left, written + guardFrames, canary);
    std::fill_n(s.right, written + guardFrames, canary);
    float* outputs[2] = {s.left, s.right};
    s.midi.beginBlock(frames);
    p.effect.processReplacing(&p.effect, nullptr, withOutputs ? outputs : nullptr, frames);
    s.midi.endBlock();
    checkBlockOutput(s.left, s.right, written, guardFrames, canary);
    if (frames > 0) {
        const double t = p.tempo.load();
        require(t >= 30.0 && t <= 300.0, "published tempo outside 30..300");
    }
}

void hostEvents(FuzzInput& in, palmtone::Plugin& p) {
    static vst2::MidiEvent events[1280];
    static vst2::EventList<1280> list;
    const uint8_t shape = in.u8();
    if (shape == 0xFF) { // no list at all
        require(p.dispatch(25, 0, 0, nullptr, 0.0f) == 0, "opcode 25 took a null list");
        return;
    }
    int32_t n = shape % 32;
    if (shape == 0xFE) n = 1000 + in.u8(); // more than a block holds
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t flags = in.u8();
        vst2::MidiEvent& e = events[i];
        e = vst2::MidiEvent{};
        e.type = flags & 0x02 ? int32_t(in.u8()) : vst2::midiEventType;
        e.byteSize = flags & 0x04 ? int32_t(in.u8()) : 24;
        e.deltaFrames = flags & 0x08 ? in.i32() : int16_t(in.u16());
        for (int k = 0; k < 4; ++k)
            e.midiData[k] = in.u8();
        list.events[i] = flags & 0x01 ? nullptr : &e;
    }
    // A count the list does not hold would be the host's fault; a negative one
    // is read as none.
    list.numEvents = shape == 0xFD ? -int32_t(in.u8()) - 1 : n;
    require(p.dispatch(25, 0, 0, &list, 0.0f) == 1, "opcode 25 refused a list");
}

void otherOpcode(FuzzInput& in, palmtone::Plugin& p) {
    static char buffer[256];
    int32_t opcode = in.u8() % 80;
    // Close, the state chunk and the event list have steps of their own.
    if (opcode == 1 || opcode == 23 || opcode == 24 || opcode == 25) opcode = 19;
    const int32_t index = in.u8() & 0x80 ? in.i32() : in.u8() % 18;
    const intptr_t value = static_cast<intptr_t>(static_cast<int64_t>(in.u64()));
    const float option = in.f32();
    const uint8_t text = in.u8();
    const std::vector<uint8_t> bytes = in.bytes(text % 32);
    std::memset(buffer, 0, sizeof buffer);
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    p.dispatch(opcode, index, value, text & 0x80 ? nullptr : buffer, option);
}

void step(FuzzInput& in, Session& s, palmtone::Plugin& p) {
    using namespace palmtone;
    switch (in.u8() % 18) {
    case 0: { // a parameter write from the host
        const uint8_t which = in.u8();
        const int32_t index = which & 0x80 ? in.i32() : which % 16;
        p.effect.setParameter(&p.effect, index, in.f32());
        break;
    }
    case 1: hostEvents(in, p); break;
    case 2: { // one block
        const uint8_t flags = in.u8();
        int32_t frames = in.u16() % (maxFrames + 1);
        if (flags & 0x02) frames = -frames;
        block(s, p, frames, !(flags & 0x01));
        break;
    }
    case 3: { // many long blocks: time for a count-in to end
        const int count = in.u8() % 16 + 1;
        for (int i = 0; i < count; ++i)
            block(s, p, maxFrames, true);
        break;
    }
    case 4: { // the sample rate
        static const float rates[] = {
            8000.0f,   44100.0f, 48000.0f,  96000.0f,
            384000.0f, 7999.9f,  384000.1f, std::numeric_limits<float>::quiet_NaN()};
        const uint8_t pick = in.u8();
        const float rate = pick & 0x80 ? in.f32() : rates[pick % 8];
        const intptr_t taken = p.dispatch(10, 0, 0, nullptr, rate);
        require(taken == (std::isfinite(rate) && rate >= 8000.0f && rate <= 384000.0f ? 1 : 0),
                "opcode 10 answer");
        break;
    }
    case 5: { // the host's tempo
        static const double tempos[] = {120.0,
                                        29.9,
                                        30.0,
                                        300.0,
                                        300.5,
                                        -1.0,
                                        std::numeric_limits<double>::quiet_NaN(),
                                        std::numeric_limits<double>::infinity()};
        const uint8_t pick = in.u8();
        s.time.tempo = pick & 0x80 ? in.f64() : tempos[pick % 8];
        s.time.flags = pick & 0x40 ? 0 : vst2::tempoValid;
        break;
    }
    case 6: { // editor keys and pads; 0xFF overfills the ring
        const uint8_t count = in.u8();
        const int n = count == 0xFF ? 300 : count % 8 + 1;
        for (int i = 0; i < n; ++i) {
            const int32_t status = in.u8();
            const int32_t key = in.u8() & 0x80 ? in.i32() : in.u8();
            p.pushUiEvent(status, key, in.u8() % 128);
        }
        break;
    }
    case 7: // the count-in
        if (in.u8() & 1)
            p.countIn.requestStart();
        else
            p.countIn.requestCancel();
        break;
    case 8: { // pause, resume or stop the take, as the editor does
        const uint8_t what = in.u8() % 3;
        if (what == 0) {
            tamso::applyPauseTransition(p.capture.state);
        } else if (what == 1) {
            tamso::applyResumeTransition(p.capture.state);
        } else {
            tamso::applyStopTransition(p.capture.state);
        }
        break;
    }
    case 9: { // a one-shot from a file: made here, or any bytes
        const uint8_t kind = in.u8();
        const std::vector<uint8_t> wave = kind & 1 ? madeWave(in) : in.bytes(in.u16() % 2048);
        {
            const std::string narrow(s.wavePath.begin(), s.wavePath.end());
            std::ofstream out(narrow, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(wave.data()), std::streamsize(wave.size()));
        }
        try {
            p.loadSample(s.wavePath);
        } catch (const std::exception&) {
        }
        const std::string narrow(s.wavePath.begin(), s.wavePath.end());
        unlink(narrow.c_str()); // the library keeps the path, not the file
        break;
    }
    case 10: { // removal of the current one-shot or of a listed file
        const uint8_t kind = in.u8();
        try {
            p.removeSample(kind & 2 ? s.wavePath : L"C:\\Muestras\\a.wav", kind & 1);
        } catch (const std::exception&) {
        }
        break;
    }
    case 11: { // save, restore, save again
        bool ok = false;
        const std::vector<uint8_t> first = save(p, ok);
        if (!ok) break;
        require(p.dispatch(24, 0, static_cast<intptr_t>(first.size()), const_cast<uint8_t*>(first.data()),
                           0.0f) == 1,
                "a saved state was refused");
        const std::vector<uint8_t> again = save(p, ok);
        if (ok) require(again == first, "a restored state saves differently");
        break;
    }
    case 12: { // any chunk; one that is refused changes nothing
        std::vector<uint8_t> chunk = in.bytes(in.u16() % 4096);
        if (in.u8() & 1 && chunk.size() >= 16) std::memcpy(chunk.data(), "TPX2STAT\x04\0\0\0\x10\0\0\0", 16);
        bool before = false, after = false;
        const std::vector<uint8_t> was = save(p, before);
        const intptr_t taken = p.dispatch(24, 0, static_cast<intptr_t>(chunk.size()), chunk.data(), 0.0f);
        if (!taken) {
            const std::vector<uint8_t> is = save(p, after);
            if (before && after) require(is == was, "a refused chunk changed the state");
        }
        break;
    }
    case 13: { // suspend, resume, start and stop processing
        static const int32_t calls[][2] = {{12, 0}, {12, 1}, {72, 0}, {71, 0}};
        const auto& c = calls[in.u8() % 4];
        p.dispatch(c[0], 0, c[1], nullptr, 0.0f);
        break;
    }
    case 14: { // the take's MIDI file
        const int32_t state = p.capture.state.load();
        std::vector<uint8_t> file;
        try {
            file = p.capture.midiFile();
        } catch (const std::runtime_error&) {
            break; // a take too long for the file format
        }
        if (state == tamso::Finished || state == tamso::Full) {
            if (!file.empty()) checkMidiFile(file);
        } else {
            require(file.empty(), "a MIDI file from a take still running");
        }
        break;
    }
    case 15: p.resetRequest.store(true); break;
    case 16: otherOpcode(in, p); break;
    case 17: { // a null record at every entry point
        p.effect.dispatcher(nullptr, 0, 0, 0, nullptr, 0.0f);
        p.effect.processReplacing(nullptr, nullptr, nullptr, 64);
        p.effect.setParameter(nullptr, 0, 1.0f);
        require(p.effect.getParameter(nullptr, 0) == 0.0f, "getParameter with a null record");
        break;
    }
    }
    checkParameters(p);
}

} // namespace
} // namespace fuzztest

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace fuzztest;
    FuzzInput in(data, size);
    const uint8_t setup = in.u8();
    palmtone::kernel::useWide(setup & 1);

    const auto own = std::make_unique<Session>();
    Session& session = *own;
    session.wavePath = wavePath();

    auto* plugin = new palmtone::Plugin(setup & 2 ? nullptr : &Session::callback);
    plugin->effect.user = &session;
    plugin->dispatch(0, 0, 0, nullptr, 0.0f);
    while (!in.empty())
        step(in, session, *plugin);

    // The session ends as a host ends it: suspend, then close.
    plugin->dispatch(12, 0, 0, nullptr, 0.0f);
    require(!session.midi.anyOn(), "a note left on after suspend");
    require(plugin->effect.dispatcher(&plugin->effect, 1, 0, 0, nullptr, 0.0f) == 1, "close");
    return 0;
}
