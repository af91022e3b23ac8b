#include "tests/plugin/native_level.hpp"

#include <memory>
#include <thread>

namespace velktest {

NativeLevel::NativeLevel() : editor_(host_.plugin()) {
    host_.guardSample = true;
    host_.dispatch(vst2::op::open);
    host_.dispatch(vst2::op::setSampleRate, 0, 0, nullptr, 48000.0f);
    host_.dispatch(vst2::op::setBlockSize, 0, 512);
    host_.dispatch(vst2::op::mainsChanged, 0, 1);
    host_.dispatch(vst2::op::startProcessing);
}

void NativeLevel::answerTime(bool answer, int32_t flags, double tempo) {
    host_.setTimeAnswer(answer, flags, tempo);
}

std::vector<Sent> NativeLevel::sent() const {
    std::vector<Sent> sent;
    for (const OutEvent& e : host_.out)
        sent.push_back({e.block, e.list, e.time, e.thread == std::this_thread::get_id(), e.raw});
    return sent;
}

void NativeLevel::clearLog() {
    host_.calls.clear();
    host_.clearOutput();
}

void NativeLevel::loadOneShot(size_t frames, double rate, float value) {
    host_.plugin().bank.publish(constantSample(frames, rate, value), L"w.wav");
}

std::unique_ptr<Level> makeLevel() {
    return std::make_unique<NativeLevel>();
}

} // namespace velktest
