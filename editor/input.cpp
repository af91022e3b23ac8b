// Keys, pads and the mouse: note events into the UI event ring, clicks
// dispatched to the regions the last paint registered, the volume drag, the
// MIDI drag gesture, the library wheel and file drops.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "editor/editor.hpp"
#include "editor/key_tables.hpp"
#include "editor/layout.hpp"
#include "editor/regions.hpp"
#include "editor/texts.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

namespace {

constexpr int32_t vkSpace = 0x20;
constexpr int32_t vkDelete = 0x2E;

// The volume along its track, from the track's left edge.
double volumeAt(int32_t x) noexcept {
    const Rect& track = regions::volumeTrack;
    return std::clamp((x - track.left) / static_cast<double>(track.width()), 0.0, 1.0);
}

} // namespace

void Editor::push(int32_t status, int32_t note, int32_t velocity) noexcept {
    if (plugin) plugin->pushUiEvent(status, std::clamp(note, 0, 127), velocity);
}

void Editor::releasePad() noexcept {
    if (padHeld < 0) return;
    push(padOff, notes[padHeld], 0);
    padHeld = -1;
}

void Editor::releaseKeys() {
    for (int i = 0; i < padCount; ++i) {
        if (!keyDown[i]) continue;
        keyDown[i] = false;
        push(keyOff, notes[i], 0);
    }
    releasePad();
}

bool Editor::keyPressed(int32_t virtualKey, bool repeat, bool ctrlOrAlt) {
    if (virtualKey == vkDelete && !repeat) {
        removeAndRelease(std::wstring(), true);
        return true;
    }
    if (virtualKey == vkSpace && !repeat) {
        spaceBar();
        return true;
    }
    const int i = keyIndex(virtualKey);
    if (i < 0 || ctrlOrAlt) return false;
    if (repeat || keyDown[i]) return true;
    keyDown[i] = true;
    push(keyOn, notes[i], 100);
    return true;
}

bool Editor::keyReleased(int32_t virtualKey) {
    const int i = keyIndex(virtualKey);
    if (i < 0 || !keyDown[i]) return false;
    keyDown[i] = false;
    push(keyOff, notes[i], 0);
    return true;
}

void Editor::focusLost() {
    releaseKeys();
}

void Editor::timerTick() {
    if (plugin) {
        std::lock_guard<std::mutex> lock(plugin->bank.mutex);
        plugin->bank.collectLocked();
    }
    ui->repaint();
}

void Editor::mouseMoved(Point at) {
    mouse = at;
    if (!tracking) {
        ui->trackLeave();
        tracking = true;
    }
    if (dragArmed >= 0 && std::abs(at.x - dragStart.x) + std::abs(at.y - dragStart.y) >= 6) {
        dragArmed = -1;
        ui->releaseCapture();
        drag();
        // The drag loop took the button release.
        if (!closed) pressedType = -1;
        return;
    }
    if (volumeDragging && plugin) plugin->edit(pVolume, volumeAt(at.x));
}

void Editor::buttonPressed(Point at) {
    ui->focus();
    const Hit* found = findHit(hits, at);
    if (!found) return;
    // A copy: a repaint inside a modal loop rebuilds `hits`.
    const Hit hit = *found;
    pressedType = hit.type;
    pressedValue = hit.value;
    click(hit, at);
    if (closed) return;
    ui->repaint();
}

void Editor::click(const Hit& hit, Point at) {
    const Point menuPoint{hit.rect.left, hit.rect.bottom};
    const int32_t boxesBefore = modalCalls;
    switch (hit.type) {
    case Field:
        menu(hit.value, menuPoint);
        pressedType = -1;
        break;
    case ChordSize: plugin->edit(pChords, hit.value); break;
    case Pad:
        // A second press before the release of the first still ends the first note.
        releasePad();
        padHeld = std::clamp(hit.value, 0, padCount - 1);
        push(padOn, notes[padHeld], 100);
        ui->capture();
        break;
    case VolumeSlider:
        volumeDragging = true;
        plugin->edit(pVolume, volumeAt(at.x));
        ui->capture();
        break;
    case Record: record(false); break;
    case DragMidi:
        dragArmed = 1;
        dragStart = at;
        ui->capture();
        break;
    case Guide:
        if (!box(texts::guide, texts::guideCaption, box::iconInformation)) return;
        pressedType = -1;
        break;
    case ReleaseNotes:
        releaseKeys();
        plugin->resetRequest.store(true);
        break;
    case PauseResume: {
        if (plugin->countIn.active.load()) break;
        std::atomic<int32_t>& state = plugin->capture.state;
        if (state.load() == tamso::Paused)
            tamso::applyResumeTransition(state);
        else
            tamso::applyPauseTransition(state); // fails harmlessly unless recording
        break;
    }
    case Stop: stop(); break;
    case NewTake: record(true); break;
    case AddWaves:
        addWaves();
        pressedType = -1;
        break;
    case Folder:
        folder();
        pressedType = -1;
        break;
    case LibraryRow: {
        if (hit.value == 0) {
            plugin->edit(pSound, 0.0);
            break;
        }
        if (hit.value < 0 || static_cast<size_t>(hit.value) > library.size()) break;
        const std::wstring path = library[static_cast<size_t>(hit.value) - 1];
        if (summary.frames != 0 && path == plugin->bank.selection())
            plugin->edit(pSound, 1.0);
        else
            load(path);
        break;
    }
    case SaveMidi:
        save();
        pressedType = -1;
        break;
    case SoundSwitch: plugin->edit(pSound, hit.value); break;
    case PlayMode: playModeToggle(); break;
    case WaveRoot:
        rootMenu(menuPoint);
        pressedType = -1;
        break;
    case RemoveFile:
        if (hit.value >= 1 && static_cast<size_t>(hit.value) <= library.size())
            removeAndRelease(library[static_cast<size_t>(hit.value) - 1], false);
        break;
    case RemoveCurrent: removeAndRelease(std::wstring(), true); break;
    default: break;
    }
    // A box or dialog took the button release: the button must not stay pressed.
    if (!closed && modalCalls != boxesBefore) pressedType = -1;
}

void Editor::playModeToggle() {
    // Read as the block decodes it.
    const bool on = roundHalfAway(cleanNormalised(plugin->params[pWholeOneShot].load())) > 0.5;
    plugin->edit(pWholeOneShot, on ? 0.0 : 1.0);
}

void Editor::removeAndRelease(const std::wstring& path, bool current) {
    if (!plugin) return;
    if (plugin->removeSample(path, current)) releaseKeys();
    refreshLibrary();
}

void Editor::buttonReleased() {
    const int32_t armed = dragArmed;
    dragArmed = -1;
    pressedType = -1;
    volumeDragging = false;
    releasePad();
    if (ui->hasCapture()) ui->releaseCapture();
    // Released before the pointer moved far enough for a drag: a click, which saves.
    if (armed >= 0) save();
}

void Editor::captureLost() {
    dragArmed = -1;
    volumeDragging = false;
    pressedType = -1;
    releasePad();
}

void Editor::mouseLeft() {
    mouse = {-1, -1};
    tracking = false;
    pressedType = -1;
}

bool Editor::wheel(Point at, int32_t delta) {
    if (!regions::libraryPanel.contains(at)) return false;
    scroll = clampScroll(scroll + (delta > 0 ? -1 : 1), library.size());
    ui->repaint();
    return true;
}

void Editor::shellDrop(std::vector<std::wstring> paths) {
    pendingDrop = std::move(paths);
    dropHover = false;
    ui->postDeferredDrop();
}

void Editor::deferredDrop() {
    std::vector<std::wstring> list = std::move(pendingDrop);
    pendingDrop.clear();
    if (list.empty()) return;
    if (!addAndLoad(std::move(list)) || closed) return;
    ui->repaint();
}

bool Editor::acceptsDrop(Point p) const noexcept {
    return regions::libraryPanel.contains(p) || regions::soundPanel.contains(p);
}

void Editor::hover(bool on) {
    dropHover = on;
    if (window) ui->repaint();
}

void Editor::deliver(std::vector<std::wstring> paths) {
    if (window) shellDrop(std::move(paths));
}

} // namespace palmtone
