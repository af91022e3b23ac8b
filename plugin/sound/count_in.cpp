#include "plugin/sound/count_in.hpp"

#include <cmath>

namespace palmtone {

namespace {

constexpr double twoPi = 6.283185307179586476925286766559;

int64_t roundSamples(double x) noexcept {
    return static_cast<int64_t>(std::llround(x));
}

float clampUnit(float x) noexcept {
    return x < -1.0f ? -1.0f : (x > 1.0f ? 1.0f : x);
}

} // namespace

CountIn::Step CountIn::beginBlock(double sr, int32_t frames) noexcept {
    eventCount = 0;
    switch (request.exchange(Command::none)) {
    case Command::cancel: stop(); return {-1, true};
    case Command::start: begin(sr); break;
    default: followRate(sr); break;
    }
    if (remaining <= 0) return {-1, false};

    const int64_t thresholds[3] = {roundSamples(3.0 * sr), roundSamples(2.0 * sr), roundSamples(sr)};
    for (int32_t kind = 0; kind < 3; ++kind) {
        const int32_t bit = 1 << kind;
        const int64_t threshold = thresholds[kind];
        if ((mask & bit) == 0 && remaining >= threshold && remaining - frames < threshold) {
            events[eventCount++] = {static_cast<int32_t>(remaining - threshold), kind};
            mask |= bit;
        }
    }

    if (remaining - frames > 0) {
        remaining -= frames;
        const double seconds = std::ceil(static_cast<double>(remaining) / sr);
        secondsLeft.exchange(seconds < 1.0 ? 1 : (seconds > 3.0 ? 3 : static_cast<int32_t>(seconds)));
        return {-1, false};
    }
    const int32_t endOffset = static_cast<int32_t>(remaining);
    remaining = 0;
    secondsLeft.exchange(1);
    return {endOffset, false};
}

void CountIn::mix(float* left, float* right, int32_t frames, double sr) noexcept {
    // Without a click to add, every sample would stay as it is: the engine's
    // output already lies within -1..1 and holds no -0 (which adding 0 would
    // turn into +0).
    if (frames < 1 || (eventCount == 0 && clickRemaining < 1)) return;
    int32_t clickLength = static_cast<int32_t>(countInClick::lengthSeconds * sr);
    if (clickLength < 2) clickLength = 1;
    const double decay = sr * countInClick::decaySeconds;
    int32_t next = 0;
    for (int32_t i = 0; i < frames; ++i) {
        bool started = false;
        if (next < eventCount && i == events[next].offset) {
            phase = 0.0;
            clickAge = 0.0;
            clickFrequency = events[next].kind == 1 ? countInClick::lowPitch : countInClick::highPitch;
            ++next;
            clickRemaining = clickLength;
            started = true;
        }
        float s = 0.0f;
        if (started || clickRemaining >= 1) {
            s = static_cast<float>(std::sin(phase) * countInClick::level * std::exp(-clickAge / decay));
            phase += twoPi * clickFrequency / sr;
            clickAge += 1.0;
            clickRemaining -= 1;
        }
        if (left) left[i] = clampUnit(left[i] + s);
        if (right) right[i] = clampUnit(right[i] + s);
    }
}

bool CountIn::cancelWaiting() const noexcept {
    return request.load() == Command::cancel;
}

void CountIn::end() noexcept {
    secondsLeft.exchange(0);
    active.store(false);
}

void CountIn::clear() noexcept {
    request.exchange(Command::none);
    stop();
}

bool CountIn::requestStart() noexcept {
    if (active.load()) return false;
    secondsLeft.exchange(3);
    active.store(true);
    request.store(Command::start);
    return true;
}

void CountIn::requestCancel() noexcept {
    request.store(Command::cancel);
}

void CountIn::begin(double sr) noexcept {
    rate = sr;
    remaining = roundSamples(3.0 * sr);
    mask = 0;
    clickRemaining = 0;
    secondsLeft.exchange(3);
    active.exchange(true);
}

void CountIn::followRate(double sr) noexcept {
    if (remaining <= 0 || sr == rate) return;
    remaining = roundSamples(static_cast<double>(remaining) * sr / rate);
    rate = sr;
}

void CountIn::stop() noexcept {
    remaining = 0;
    mask = 0;
    eventCount = 0;
    clickRemaining = 0;
    end();
}

} // namespace palmtone
