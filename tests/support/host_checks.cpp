#include "tests/support/host_checks.hpp"

#include <cmath>

namespace velktest {

::testing::AssertionResult audioSane(const std::vector<float>& samples) {
    for (size_t i = 0; i < samples.size(); ++i) {
        const float v = samples[i];
        if (!std::isfinite(v) || v < -1.0f || v > 1.0f)
            return ::testing::AssertionFailure() << "sample " << i << " is " << v;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult midiWellFormed(const std::vector<Sent>& sent,
                                          const std::vector<int32_t>& blockSizes,
                                          std::vector<std::vector<bool>>* open) {
    std::vector<std::vector<bool>> on(16, std::vector<bool>(128, false));
    int64_t lastTime = -1;
    for (size_t i = 0; i < sent.size(); ++i) {
        const Sent& s = sent[i];
        auto fail = [&] {
            return ::testing::AssertionFailure()
                   << "event " << i << " (block " << s.block << ", offset " << s.frame() << ", " << std::hex
                   << s.status() << " " << std::dec << s.data1() << " " << s.data2() << "): ";
        };
        if (s.raw.type != 1 || s.raw.byteSize != 24) return fail() << "not a 24-byte MIDI record";
        const int kind = s.status() & 0xF0, channel = s.status() & 0x0F;
        if (kind != 0x80 && kind != 0x90) return fail() << "neither note-on nor note-off";
        if (s.data1() > 127 || s.data2() > 127) return fail() << "data byte above 127";
        if (s.inProcess()) {
            const int32_t size = s.block < static_cast<int64_t>(blockSizes.size()) ? blockSizes[s.block] : -1;
            if (s.frame() < 0 || s.frame() >= size) return fail() << "offset outside the block of " << size;
        } else if (s.frame() != 0) {
            return fail() << "offset outside a block is not 0";
        }
        if (s.time < lastTime) return fail() << "time goes back from " << lastTime;
        lastTime = s.time;
        if (kind == 0x90) {
            if (s.data2() < 1) return fail() << "note-on with velocity 0";
            if (on[channel][s.data1()]) return fail() << "note-on for a note already on";
            on[channel][s.data1()] = true;
        } else {
            if (s.data2() != 0) return fail() << "note-off velocity not 0";
            if (!on[channel][s.data1()]) return fail() << "note-off for a note not on";
            on[channel][s.data1()] = false;
        }
    }
    if (open) *open = on;
    return ::testing::AssertionSuccess();
}

} // namespace velktest
