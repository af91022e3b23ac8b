#pragma once
// The scenarios' level in core_tests: an instance in this process around the
// test host, its editor's gestures made on the instance as the editor makes
// them. The instance itself is open to the tests of what only its insides show,
// which run here alone (OnInstance).
#include <cstdint>
#include <vector>

#include "plugin/plugin.hpp"
#include "tests/scenarios/scenario_level.hpp"
#include "tests/support/instance_editor.hpp"
#include "tests/support/test_host.hpp"

namespace velktest {

class NativeLevel : public Level {
  public:
    NativeLevel();

    palmtone::Plugin& plugin() { return host_.plugin(); }

    vst2::Effect* effect() override { return host_.effect(); }
    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option) override {
        return effect()->dispatcher(effect(), opcode, index, value, ptr, option);
    }
    void setParameter(int32_t index, float value) override { effect()->setParameter(effect(), index, value); }
    float getParameter(int32_t index) override { return effect()->getParameter(effect(), index); }
    void queue(int32_t frame, int status, int data1, int data2) override {
        host_.queue(frame, status, data1, data2);
    }
    intptr_t deliver() override { return host_.deliver(); }
    void run(int32_t frames) override { host_.run(frames); }
    void answerTime(bool answer, int32_t flags, double tempo) override;

    void key(int32_t virtualKey, bool down) override { editor_.key(virtualKey, down); }
    void pad(int index, bool down) override { editor_.pad(index, down); }
    void record() override { editor_.record(); }
    void pauseOrResume() override { editor_.pauseOrResume(); }
    void stop() override { editor_.stop(); }
    void releaseNotes() override { editor_.releaseNotes(); }

    int64_t blocks() const override { return host_.blocks; }
    std::vector<Sent> sent() const override;
    std::vector<HostCall> calls() const override { return host_.calls; }
    void clearLog() override;
    std::vector<float> blockLeft() const override { return host_.left; }
    std::vector<float> blockRight() const override { return host_.right; }
    const std::vector<float>& left() const override { return host_.audioLeft; }
    const std::vector<float>& right() const override { return host_.audioRight; }
    int64_t overruns() const override { return host_.overruns; }
    void loadOneShot(size_t frames, double rate, float value) override;

  private:
    TestHost host_;
    InstanceEditor editor_;
};

// A scenario's fixture on the native level with the instance at hand, for the
// checks of what only the instance's insides show (its engine, its take, its
// intake buffers, its own flags): a host of the DLL has no way to see them, so
// they run in core_tests alone.
template <class Fixture> class OnInstance : public Fixture {
  protected:
    OnInstance() { EXPECT_EQ(&p().effect, this->fx()); }
    palmtone::Plugin& p() { return static_cast<NativeLevel&>(this->level()).plugin(); }
};

} // namespace velktest
