// The scenarios' level in host_tests: the built DLL through the project's host.
#include <memory>

#include "tests/host/plugin_fixture.hpp"
#include "tests/host/state_chunk_bytes.hpp"
#include "tests/support/scenario_level.hpp"
#include "tools/host/wave_file.hpp"

namespace velktest {
namespace {

class DllLevel : public Level {
  public:
    DllLevel() : host_(hosttest::library()) { host_.start(); }

    vst2::Effect* effect() override { return host_.effect(); }
    void queue(int32_t frame, int status, int data1, int data2) override {
        pending_.push_back(
            {frame, static_cast<uint8_t>(status), static_cast<uint8_t>(data1), static_cast<uint8_t>(data2)});
    }
    intptr_t deliver() override {
        list_.assign(pending_);
        pending_.clear();
        return host_.sendList(list_);
    }
    void run(int32_t frames) override {
        if (!pending_.empty()) deliver();
        host_.process(frames);
    }
    int64_t blocks() const override { return host_.blocks(); }
    std::vector<Sent> sent() const override { return hosttest::sentEvents(host_.received()); }
    std::vector<Call> calls() const override {
        std::vector<Call> calls;
        for (const vsthost::HostCall& c : host_.calls())
            calls.push_back({c.opcode, c.index, c.value, c.ptr, c.option, c.inProcess ? c.block : -1,
                             c.thread == vsthost::currentThreadId(), c.eventCount});
        return calls;
    }
    void clearLog() override { host_.clearLog(); }
    std::vector<float> blockLeft() const override { return host_.blockLeft(); }
    std::vector<float> blockRight() const override { return host_.blockRight(); }
    const std::vector<float>& left() const override { return host_.left(); }
    const std::vector<float>& right() const override { return host_.right(); }
    int64_t overruns() const override { return host_.overruns(); }
    void answerTime(bool answer, int32_t flags, double tempo) override {
        host_.setTempo(answer ? vsthost::TempoAnswer::valid : vsthost::TempoAnswer::none, tempo);
        host_.setTimeFlags(flags);
    }
    // Only a state chunk carries a file into the DLL's library.
    void loadOneShot(size_t frames, double rate, float value) override {
        const std::vector<uint8_t> wave = vsthost::encodeWave(
            std::vector<float>(frames, value), {}, static_cast<uint32_t>(rate), vsthost::WaveFormat::float32);
        std::vector<uint8_t> chunk =
            hosttest::chunkBytes({4, hosttest::defaultValues(), "w", "", "", {}, wave});
        ASSERT_EQ(
            host_.dispatch(vst2::op::setStateChunk, 0, static_cast<intptr_t>(chunk.size()), chunk.data()), 1);
    }

  private:
    vsthost::Host host_;
    std::vector<vsthost::BlockMidi> pending_;
    vsthost::EventListBuffer list_;
};

} // namespace

std::unique_ptr<Level> makeLevel() {
    return std::make_unique<DllLevel>();
}

// The DLL chose its kernels when it was loaded; this program's switch is not the DLL's.
void eachKernel(const std::function<void()>& check) {
    check();
}

} // namespace velktest
