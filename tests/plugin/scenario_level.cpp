// The scenarios' level in core_tests: an instance in this process around the
// test host.
#include <memory>
#include <thread>

#include "tests/support/kernel_choice.hpp"
#include "tests/support/scenario_level.hpp"

namespace velktest {
namespace {

class NativeLevel : public Level {
  public:
    NativeLevel() {
        host_.guardSample = true;
        host_.dispatch(vst2::op::open);
        host_.dispatch(vst2::op::setSampleRate, 0, 0, nullptr, 48000.0f);
        host_.dispatch(vst2::op::setBlockSize, 0, 512);
        host_.dispatch(vst2::op::mainsChanged, 0, 1);
        host_.dispatch(vst2::op::startProcessing);
    }

    vst2::Effect* effect() override { return host_.effect(); }
    void queue(int32_t frame, int status, int data1, int data2) override {
        host_.queue(frame, status, data1, data2);
    }
    intptr_t deliver() override { return host_.deliver(); }
    void run(int32_t frames) override { host_.run(frames); }
    int64_t blocks() const override { return host_.blocks; }
    std::vector<Sent> sent() const override {
        std::vector<Sent> sent;
        for (const coretest::OutEvent& e : host_.out)
            sent.push_back({e.block, e.list, e.time, e.thread == std::this_thread::get_id(), e.raw});
        return sent;
    }
    std::vector<Call> calls() const override {
        std::vector<Call> calls;
        for (const coretest::HostCall& c : host_.calls)
            calls.push_back({c.opcode, c.index, c.value, c.pointer, c.option, c.block,
                             c.thread == std::this_thread::get_id(), c.events});
        return calls;
    }
    void clearLog() override {
        host_.calls.clear();
        host_.clearOutput();
    }
    std::vector<float> blockLeft() const override { return host_.left; }
    std::vector<float> blockRight() const override { return host_.right; }
    const std::vector<float>& left() const override { return host_.audioLeft; }
    const std::vector<float>& right() const override { return host_.audioRight; }
    int64_t overruns() const override { return host_.overruns; }
    void answerTime(bool answer, int32_t flags, double tempo) override {
        host_.answerTime = answer;
        host_.time.flags = flags;
        host_.time.tempo = tempo;
    }
    void loadOneShot(size_t frames, double rate, float value) override {
        host_.plugin().bank.publish(coretest::constantSample(frames, rate, value), L"w.wav");
    }

  private:
    coretest::TestHost host_;
};

} // namespace

std::unique_ptr<Level> makeLevel() {
    return std::make_unique<NativeLevel>();
}

// The kernels are this program's own: SSE2, then AVX2 where the CPU has it.
void eachKernel(const std::function<void()>& check) {
    forEachKernel(check);
}

} // namespace velktest
