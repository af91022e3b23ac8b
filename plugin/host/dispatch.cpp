// The body of the host's dispatcher call: every opcode but close.
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include "plugin/host/editor_seam.hpp"
#include "plugin/host/parameters.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

namespace {

// Handed to the host by address; the host may write through the pointer.
vst2::Rect editorRect = {0, 0, static_cast<int16_t>(editorHeight), static_cast<int16_t>(editorWidth)};

// Writes text into a host field of `size` bytes: the text (cut to fit), then
// zeros to the end of the field, whose last byte is always 0.
void writeField(void* ptr, const char* text, size_t size) noexcept {
    if (!ptr) return;
    char* out = static_cast<char*>(ptr);
    std::memset(out, 0, size);
    const size_t length = std::strlen(text);
    std::memcpy(out, text, length < size - 1 ? length : size - 1);
}

// The 8-byte parameter fields: 7 characters and a terminating zero.
void writeShort(void* ptr, const char* text) noexcept {
    writeField(ptr, text, 8);
}

bool canDo(const char* text) noexcept {
    if (!text) return false;
    static const char* const answers[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                                          "sendVstMidiEvent"};
    for (const char* answer : answers)
        if (std::strcmp(text, answer) == 0) return true;
    return false;
}

} // namespace

intptr_t Plugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option) {
    namespace op = vst2::op;
    try {
        switch (opcode) {
        case op::open:
            if (host) host(&effect, vst2::hostWantMidi, 0, 1, nullptr, 0.0f);
            return 1;
        case op::setProgram: return value == 0 ? 1 : 0;
        case op::getProgram: return 0;
        case op::setProgramName: return 1;
        case op::getProgramName:
        case op::programNameAt: writeField(ptr, builtInSound, 24); return 1;
        case op::parameterLabel: writeShort(ptr, label(index)); return 1;
        case op::parameterDisplay: {
            if (!isParamIndex(index)) return 0;
            const std::string text = display(index, params[index].load());
            writeShort(ptr, text.c_str());
            return 1;
        }
        case op::parameterName:
            if (!isParamIndex(index)) return 0;
            writeShort(ptr, specs[index].name);
            return 1;
        case op::setSampleRate: {
            const double rate = option;
            if (!std::isfinite(rate) || rate < 8000.0 || rate > 384000.0) return 0;
            sampleRate.store(rate);
            engine.sampleRate.store(rate);
            return 1;
        }
        case op::setBlockSize:
            if (value < 1 || value > 1048576) return 0;
            blockSize = static_cast<int32_t>(value);
            return 1;
        case op::mainsChanged:
            if (value == 0) {
                suspend();
            } else if (host) {
                host(&effect, vst2::hostWantMidi, 0, 1, nullptr, 0.0f);
            }
            return 1;
        case op::editorRect:
            if (!ptr) return 0;
            *static_cast<vst2::Rect**>(ptr) = &editorRect;
            return 1;
        case op::openEditor:
            if (!ptr) return 0;
            if (editor) {
                closeEditor(editor);
                editor = nullptr;
            }
            editor = openEditor(*this, ptr);
            return editor ? 1 : 0;
        case op::closeEditor:
            closeEditor(editor);
            editor = nullptr;
            return 1;
        case op::editorIdle: return 1;
        case op::getStateChunk: return saveState(static_cast<void**>(ptr));
        case op::setStateChunk: return restoreState(ptr, value);
        case op::midiEvents: return takeEvents(static_cast<const vst2::HostEventList*>(ptr));
        case op::canAutomate: return isParamIndex(index) ? 1 : 0;
        case op::category: return vst2::instrumentCategory;
        case op::effectName: writeField(ptr, productName, 32); return 1;
        case op::vendorText: writeField(ptr, "VELK / Tarnwell", 64); return 1;
        case op::productText: writeField(ptr, productName, 64); return 1;
        case op::vendorVersion: return pluginVersion;
        case op::canDo: return canDo(static_cast<const char*>(ptr)) ? 1 : 0;
        case op::tailSize: return static_cast<intptr_t>(static_cast<int32_t>(sampleRate.load() * 30.0));
        case op::keyboardQuery: return 1;
        case op::interfaceVersion: return 2400;
        case op::startProcessing: return 1;
        case op::stopProcessing: suspend(); return 1;
        case op::processingPrecision: return value == 0 ? 1 : 0; // 32-bit floats only
        case op::midiInputChannels:
        case op::midiOutputChannels: return 16;
        default: return 0;
        }
    } catch (...) {
        return 0;
    }
}

intptr_t Plugin::takeEvents(const vst2::HostEventList* list) noexcept {
    if (!list) return 0;
    int32_t count = list->numEvents;
    if (count <= 0) return 1;
    if (count > 4096) count = 4096;
    // The host's list is as long as its count, whatever the declared size.
    const vst2::MidiEvent* const* pointers = reinterpret_cast<const vst2::MidiEvent* const*>(
        reinterpret_cast<const char*>(list) + offsetof(vst2::HostEventList, events));
    for (int32_t i = 0; i < count; ++i) {
        const vst2::MidiEvent* e = pointers[i];
        if (!e || e->type != vst2::midiEventType || e->byteSize < 24) continue;
        if (blockEventCount >= maxBlockEvents) {
            overflow.exchange(true);
            return 1;
        }
        blockEvents[blockEventCount++] =
            InputEvent{e->deltaFrames, e->midiData[0], e->midiData[1] & 0x7F, e->midiData[2] & 0x7F, 0};
    }
    return 1;
}

} // namespace palmtone
