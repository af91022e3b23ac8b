// The take transport as the editor drives it: record, new take, pause and
// continue, stop, and the space bar. The editor moves the take state only by the
// take's own transitions (compare-and-swap); the audio thread does the rest.
#include "editor/editor.hpp"
#include "editor/texts.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

void Editor::startCountIn() {
    for (uint16_t& column : overview)
        column = 0;
    lastColumn = -1;
    plugin->countIn.requestStart();
}

void Editor::record(bool newTake) {
    if (!plugin || plugin->countIn.active.load()) return;
    std::atomic<int32_t>& state = plugin->capture.state;
    const int32_t s = state.load();
    if ((s == tamso::StartRequested || s == tamso::Recording) && !newTake) return;
    if (s == tamso::Paused && !newTake) {
        tamso::applyResumeTransition(state);
        return;
    }
    switch (s) {
    case tamso::StartRequested:
    case tamso::Recording:
    case tamso::StopRequested:
    case tamso::PauseRequested:
    case tamso::Paused:
    case tamso::ResumeRequested:
        if (newTake) box(texts::stopFirst, texts::take, box::ok);
        return;
    default: break;
    }
    if (plugin->capture.publishedNotes.load() > 0) {
        int answer = 0;
        if (!box(texts::replaceTake, texts::newTakeCaption, box::okCancel | box::iconQuestion, &answer))
            return;
        if (answer != box::idOk) return;
    }
    startCountIn();
}

void Editor::stop() {
    if (!plugin) return;
    plugin->countIn.requestCancel();
    tamso::applyStopTransition(plugin->capture.state);
}

void Editor::spaceBar() {
    if (!plugin) return;
    if (plugin->countIn.active.load()) {
        stop();
        return;
    }
    std::atomic<int32_t>& state = plugin->capture.state;
    const int32_t s = state.load();
    if (s == tamso::Paused)
        tamso::applyResumeTransition(state);
    else if (s == tamso::Recording)
        tamso::applyPauseTransition(state);
    else
        record(false);
}

} // namespace palmtone
