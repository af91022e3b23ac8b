// The instance: construction, teardown, the record's thin callbacks and the
// parameter setters.
#include "plugin/plugin.hpp"

#include <cmath>

#include "plugin/host/editor_seam.hpp"

namespace palmtone {

Plugin* fromEffect(vst2::Effect* effect) noexcept {
    return effect ? static_cast<Plugin*>(effect->object) : nullptr;
}

Plugin::Plugin(vst2::HostCallback hostCallback) noexcept : host(hostCallback) {
    for (int i = 0; i < paramCount; ++i)
        params[i].store(normalisedDefault(i));
    for (int n = 0; n < Engine::voices; ++n)
        engine.frequency[n] = noteFrequency(n);
    for (auto& slot : outList.events)
        slot = nullptr;

    effect.magic = vst2::effectMagic;
    effect.dispatcher = &Plugin::dispatcher;
    effect.process = &Plugin::replacing;
    effect.setParameter = &Plugin::setParameter;
    effect.getParameter = &Plugin::getParameter;
    effect.numPrograms = 1;
    effect.numParams = paramCount;
    effect.numInputs = 0;
    effect.numOutputs = 2;
    effect.flags = vst2::hasEditor | vst2::canReplacing | vst2::programChunks | vst2::isSynth;
    effect.ioRatio = 1.0f;
    effect.object = this;
    effect.uniqueId = uniqueId;
    effect.version = pluginVersion;
    effect.processReplacing = &Plugin::replacing;
    effect.processDoubleReplacing = nullptr;
}

Plugin::~Plugin() {
    closeEditor(editor);
    editor = nullptr;
    // The bank and the chunk buffer go with their members, in that order.
}

intptr_t Plugin::dispatcher(vst2::Effect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                            float option) {
    Plugin* self = fromEffect(effect);
    if (!self) return 0;
    if (opcode == vst2::op::close) {
        delete self;
        return 1;
    }
    return self->dispatch(opcode, index, value, ptr, option);
}

void Plugin::replacing(vst2::Effect* effect, float**, float** outputs, int32_t frames) noexcept {
    if (Plugin* self = fromEffect(effect)) self->process(outputs, frames);
}

void Plugin::setParameter(vst2::Effect* effect, int32_t index, float value) noexcept {
    if (Plugin* self = fromEffect(effect)) self->set(index, static_cast<double>(value));
}

float Plugin::getParameter(vst2::Effect* effect, int32_t index) noexcept {
    Plugin* self = fromEffect(effect);
    if (!self || static_cast<uint32_t>(index) >= static_cast<uint32_t>(paramCount)) return 0.0f;
    return static_cast<float>(self->params[index].load());
}

void Plugin::set(int index, double normalised) noexcept {
    double stored;
    if (quantise(index, normalised, stored)) params[index].store(stored);
}

void Plugin::edit(int index, double value) noexcept {
    if (!isParamIndex(index)) return;
    const ParamSpec& s = specs[index];
    const double n = cleanNormalised((value - s.minimum) / (s.maximum - s.minimum));
    set(index, n);
    if (host) {
        host(&effect, vst2::hostBeginEdit, index, 0, nullptr, 0.0f);
        host(&effect, vst2::hostAutomate, index, 0, nullptr, static_cast<float>(n));
        host(&effect, vst2::hostEndEdit, index, 0, nullptr, 0.0f);
    }
}

ParamValues Plugin::snapshot() const noexcept {
    ParamValues values;
    for (int i = 0; i < paramCount; ++i)
        values[i] = params[i].load();
    return values;
}

bool Plugin::pushUiEvent(int32_t status, int32_t data1, int32_t data2) noexcept {
    if (uiEvents.push(InputEvent{0, status, data1 < 0 ? 0 : (data1 > 127 ? 127 : data1), data2, 0}))
        return true;
    overflow.exchange(true);
    return false;
}

} // namespace palmtone
