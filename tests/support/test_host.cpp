#include "tests/support/test_host.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

namespace velktest {

TestHost::TestHost() : plugin_(makePlugin()) {}

TestHost::~TestHost() = default;

void TestHost::setUnit(int index, double unitValue) {
    plugin_->set(index, exactNormalised(index, unitValue));
}

void TestHost::queue(int32_t frame, int status, int data1, int data2) {
    queued_.add(midiEvent(frame, status, data1, data2));
}

intptr_t TestHost::deliver() {
    const intptr_t result = dispatch(25, 0, 0, const_cast<vst2::HostEventList*>(queued_.build()));
    queued_ = EventList{};
    return result;
}

void TestHost::run(int32_t frames, bool buffers) {
    if (!queued_.events.empty()) deliver();
    const size_t size = frames > 0 ? static_cast<size_t>(frames) : 0;
    const float fill = guardSample ? std::numeric_limits<float>::quiet_NaN() : 0.0f;
    left.assign(size + (guardSample ? 1 : 0), fill);
    right.assign(size + (guardSample ? 1 : 0), fill);
    float* channels[2] = {left.data(), right.data()};
    currentBlock = blocks;
    palmtone::Plugin::replacing(effect(), nullptr, buffers ? channels : nullptr, frames);
    currentBlock = -1;
    if (guardSample) {
        if (!std::isnan(left[size]) || !std::isnan(right[size])) ++overruns;
        left.resize(size);
        right.resize(size);
    }
    blockStart.push_back(framesRun);
    framesRun += size;
    ++blocks;
    audioLeft.insert(audioLeft.end(), left.begin(), left.end());
    audioRight.insert(audioRight.end(), right.begin(), right.end());
}

void TestHost::runBlocks(int count, int32_t frames, bool buffers) {
    for (int i = 0; i < count; ++i)
        run(frames, buffers);
}

std::vector<Midi> TestHost::outputOf(int32_t block) const {
    std::vector<Midi> result;
    for (const OutEvent& e : out)
        if (e.block == block) result.push_back({e.frame, e.status, e.data1, e.data2});
    return result;
}

void TestHost::heard(const vsthost::HostCall& call) {
    calls.push_back(call);
    calls.back().block = currentBlock;
    const auto* list = static_cast<const vst2::EventList<palmtone::maxOutEvents>*>(call.ptr);
    if (call.opcode != vst2::hostProcessEvents || !list) return;
    for (int32_t i = 0; i < list->numEvents; ++i) {
        const vst2::MidiEvent* e = list->events[i];
        out.push_back({currentBlock, lists, e->deltaFrames, e->midiData[0], e->midiData[1], e->midiData[2],
                       framesRun + e->deltaFrames, std::this_thread::get_id(), *e});
    }
    ++lists;
    if (onList) onList();
}

bool TakeEntry::operator==(const TakeEntry& o) const {
    return std::fabs(beats - o.beats) < 1e-9 && note == o.note && channel == o.channel &&
           velocity == o.velocity && on == o.on;
}

std::ostream& operator<<(std::ostream& os, const TakeEntry& e) {
    return os << "{" << e.beats << " beats, note " << e.note << ", ch " << e.channel << ", vel " << e.velocity
              << (e.on ? ", on}" : ", off}");
}

std::vector<TakeEntry> takeEntries(const palmtone::Plugin& plugin) {
    std::vector<TakeEntry> result;
    for (int32_t i = 0; i < plugin.capture.entryCount; ++i) {
        const tamso::CapturedNote& n = plugin.capture.entries[i];
        EXPECT_EQ(n.track, 1);
        result.push_back({n.beats, n.note, n.channel, n.velocity, n.on});
    }
    return result;
}

double exactNormalised(int index, double unitValue) {
    const palmtone::ParamSpec& s = palmtone::specs[index];
    return (unitValue - s.minimum) / (s.maximum - s.minimum);
}

std::unique_ptr<palmtone::SampleData> constantSample(size_t frames, double rate, float value) {
    auto sample = std::make_unique<palmtone::SampleData>();
    sample->name = L"test.wav";
    sample->left.assign(frames, value);
    sample->sampleRate = rate;
    return sample;
}

void stoppedTake(palmtone::Plugin& plugin, int32_t heldFrames) {
    tamso::MidiCapture& take = plugin.capture;
    take.state.store(tamso::StartRequested);
    take.beginBlock(48000.0, 120.0, 0);
    take.add(0, 60, true, 1, 100);
    take.endBlock(heldFrames);
    take.beginBlock(48000.0, 120.0, 0);
    take.add(0, 60, false, 1, 0);
    take.endBlock(1);
    take.state.store(tamso::StopRequested);
    take.beginBlock(48000.0, 120.0, 0);
}

} // namespace velktest
