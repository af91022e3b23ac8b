#include "tools/vst-host/host_instance.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace vsthost {

namespace {

// Live hosts, so the callback finds the one whose record the plug-in passes.
std::mutex registryMutex;
std::vector<Host*> registry;
std::atomic<int64_t> strays{0};

} // namespace

vst2::MidiEvent midiEvent(int32_t offset, uint8_t status, uint8_t data1, uint8_t data2) {
    vst2::MidiEvent e{};
    e.type = vst2::midiEventType;
    e.byteSize = sizeof(vst2::MidiEvent) - 8;
    e.deltaFrames = offset;
    e.flags = 1;
    e.midiData[0] = status;
    e.midiData[1] = data1;
    e.midiData[2] = data2;
    return e;
}

void EventListBuffer::assign(const std::vector<vst2::MidiEvent>& events) {
    events_ = events;
    words_.assign(2 + events_.size(), 0);
    words_[0] = static_cast<intptr_t>(static_cast<uint32_t>(events_.size()));
    for (size_t i = 0; i < events_.size(); ++i)
        words_[2 + i] = reinterpret_cast<intptr_t>(&events_[i]);
}

void EventListBuffer::assign(const std::vector<BlockMidi>& messages) {
    std::vector<vst2::MidiEvent> events;
    events.reserve(messages.size());
    for (const BlockMidi& m : messages)
        events.push_back(midiEvent(m.offset, m.status, m.data1, m.data2));
    assign(events);
}

void EventListBuffer::setCount(int32_t count) noexcept {
    // The count is the low 32 bits of the first word (little-endian); the gap stays 0.
    std::memcpy(words_.data(), &count, sizeof count);
}

void EventListBuffer::setPointer(size_t i, void* event) noexcept {
    if (2 + i < words_.size()) words_[2 + i] = reinterpret_cast<intptr_t>(event);
}

Host::Host(const PluginLibrary& library) {
    vst2::Effect* effect = library.entry()(&Host::callback);
    if (!effect) throw std::runtime_error("VSTPluginMain returned null");
    effect_ = effect;
    setTempo(TempoAnswer::valid, 120.0);
    std::lock_guard<std::mutex> lock(registryMutex);
    registry.push_back(this);
}

Host::~Host() {
    if (effect_) close();
}

intptr_t Host::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, option);
}

void Host::setParameter(int32_t index, float value) {
    effect_->setParameter(effect_, index, value);
}

float Host::getParameter(int32_t index) {
    return effect_->getParameter(effect_, index);
}

void Host::start(double sampleRate, int32_t blockSize) {
    dispatch(vst2::op::open);
    dispatch(vst2::op::setSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(vst2::op::setBlockSize, 0, blockSize);
    dispatch(vst2::op::mainsChanged, 0, 1);
    dispatch(vst2::op::startProcessing);
}

void Host::suspend() {
    dispatch(vst2::op::mainsChanged, 0, 0);
}

void Host::resume() {
    dispatch(vst2::op::mainsChanged, 0, 1);
}

intptr_t Host::close() {
    if (!effect_) return 0;
    const intptr_t result = dispatch(vst2::op::close);
    {
        std::lock_guard<std::mutex> lock(registryMutex);
        registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
    }
    effect_ = nullptr;
    return result;
}

intptr_t Host::sendEvents(const std::vector<BlockMidi>& messages) {
    pending_.assign(messages);
    return sendList(pending_);
}

intptr_t Host::sendList(EventListBuffer& list) {
    return dispatch(vst2::op::midiEvents, 0, 0, list.list());
}

void Host::runBlock(float** outputs, int32_t frames) {
    inProcess_.store(true);
    effect_->processReplacing(effect_, nullptr, outputs, frames);
    inProcess_.store(false);
    block_.fetch_add(1);
    if (frames > 0) position_.fetch_add(frames);
}

void Host::process(int32_t frames) {
    const size_t n = frames > 0 ? static_cast<size_t>(frames) : 0;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    scratchLeft_.assign(n + 1, nan);
    scratchRight_.assign(n + 1, nan);
    float* outputs[2] = {scratchLeft_.data(), scratchRight_.data()};
    runBlock(outputs, frames);
    // One guard sample after each channel shows writes past the block.
    if (!std::isnan(scratchLeft_[n]) || !std::isnan(scratchRight_[n])) ++overruns_;
    lastFrames_ = n;
    if (keepAudio_) {
        left_.insert(left_.end(), scratchLeft_.begin(), scratchLeft_.begin() + n);
        right_.insert(right_.end(), scratchRight_.begin(), scratchRight_.begin() + n);
    }
}

std::vector<float> Host::blockLeft() const {
    return std::vector<float>(scratchLeft_.begin(), scratchLeft_.begin() + lastFrames_);
}

std::vector<float> Host::blockRight() const {
    return std::vector<float>(scratchRight_.begin(), scratchRight_.begin() + lastFrames_);
}

void Host::processWithoutOutputs(int32_t frames) {
    lastFrames_ = 0;
    runBlock(nullptr, frames);
}

void Host::setTempo(TempoAnswer answer, double bpm) {
    tempoAnswer_ = answer;
    time_ = vst2::TimeInfo{};
    time_.tempo = bpm;
    time_.flags = answer == TempoAnswer::valid ? vst2::tempoValid : 0;
}

std::vector<HostCall> Host::calls() const {
    std::lock_guard<std::mutex> lock(logMutex_);
    return calls_;
}

std::vector<HostCall> Host::calls(int32_t opcode) const {
    std::lock_guard<std::mutex> lock(logMutex_);
    std::vector<HostCall> out;
    for (const HostCall& c : calls_)
        if (c.opcode == opcode) out.push_back(c);
    return out;
}

std::vector<ReceivedEvent> Host::received() const {
    std::lock_guard<std::mutex> lock(logMutex_);
    return received_;
}

void Host::clearLog() {
    std::lock_guard<std::mutex> lock(logMutex_);
    calls_.clear();
    received_.clear();
}

void Host::clearAudio() {
    left_.clear();
    right_.clear();
}

int64_t Host::strayCalls() noexcept {
    return strays.load();
}

intptr_t Host::callback(vst2::Effect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                        float option) {
    Host* host = nullptr;
    {
        std::lock_guard<std::mutex> lock(registryMutex);
        for (Host* h : registry)
            if (h->effect_ == effect && effect) host = h;
    }
    if (!host) {
        strays.fetch_add(1);
        return 0;
    }
    return host->answer(opcode, index, value, ptr, option);
}

intptr_t Host::answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option) {
    const bool inProcess = inProcess_.load();
    HostCall call{
        opcode, index, value, ptr, option, std::this_thread::get_id(), inProcess ? block_.load() : -1, 0};
    std::lock_guard<std::mutex> lock(logMutex_);
    switch (opcode) {
    case vst2::hostGetTime:
        calls_.push_back(call);
        return tempoAnswer_ == TempoAnswer::none ? 0 : reinterpret_cast<intptr_t>(&time_);
    case vst2::hostProcessEvents: {
        if (ptr) {
            int32_t count = 0;
            std::memcpy(&count, ptr, sizeof count);
            call.eventCount = count;
            auto* const* events = reinterpret_cast<vst2::MidiEvent* const*>(static_cast<char*>(ptr) + 16);
            for (int32_t i = 0; i < count; ++i) {
                ReceivedEvent r{block_.load(), position_.load(), lists_, inProcess, call.thread, {}};
                if (events[i]) std::memcpy(&r.raw, events[i], sizeof r.raw);
                received_.push_back(r);
            }
        }
        ++lists_;
        calls_.push_back(call);
        return 1;
    }
    default:
        // Automation (0), want-MIDI (6), begin and end of an edit (43, 44) and
        // anything else: recorded, answered with 0.
        calls_.push_back(call);
        return 0;
    }
}

} // namespace vsthost
