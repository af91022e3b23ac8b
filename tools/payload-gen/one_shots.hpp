#pragma once
// The installer's three sample sounds, synthesised from decaying partials:
// a bell (inharmonic, long decay), a plucked string (harmonic, fast decay)
// and a soft tone (slow attack). All on C4 and ready as 16-bit samples.
#include <cstdint>
#include <vector>

namespace payload {

constexpr double c4Hertz = 261.62556530059862; // 440 * 2^(-9/12)

std::vector<int16_t> bell();  // 124800 frames, peak 0.70 within 16 ms
std::vector<int16_t> pluck(); // 76800 frames, peak 0.76 within 7 ms
std::vector<int16_t> soft();  // 100800 frames, peak 0.66 near 39 ms

} // namespace payload
