#include "tests/support/instance_editor.hpp"

#include "chords/midi_capture.hpp"

namespace velktest {

void InstanceEditor::key(int32_t virtualKey, bool down) noexcept {
    const int i = palmtone::keyIndex(virtualKey);
    if (i < 0 || keyDown_[i] == down) return;
    keyDown_[i] = down;
    plugin_.pushUiEvent(down ? palmtone::keyOn : palmtone::keyOff, palmtone::notes[i], down ? 100 : 0);
}

void InstanceEditor::pad(int index, bool down) noexcept {
    if (padHeld_ >= 0) plugin_.pushUiEvent(palmtone::padOff, palmtone::notes[padHeld_], 0);
    padHeld_ = -1;
    if (!down || index < 0 || index >= palmtone::padCount) return;
    padHeld_ = index;
    plugin_.pushUiEvent(palmtone::padOn, palmtone::notes[index], 100);
}

void InstanceEditor::record() noexcept {
    plugin_.countIn.requestStart();
}

void InstanceEditor::pauseOrResume() noexcept {
    if (plugin_.countIn.active.load()) return;
    if (plugin_.capture.state.load() == tamso::Paused)
        tamso::applyResumeTransition(plugin_.capture.state);
    else
        tamso::applyPauseTransition(plugin_.capture.state);
}

void InstanceEditor::stop() noexcept {
    plugin_.countIn.requestCancel();
    tamso::applyStopTransition(plugin_.capture.state);
}

void InstanceEditor::releaseNotes() noexcept {
    for (int i = 0; i < palmtone::padCount; ++i)
        key(palmtone::keys[i], false);
    pad(-1, false);
    plugin_.resetRequest.store(true);
}

} // namespace velktest
