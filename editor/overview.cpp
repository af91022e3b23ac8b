// The take picture: a pitch-class mask for each of the timeline's columns,
// written live while recording and rebuilt once from the recorded notes when
// the take has stopped.
#include <algorithm>
#include <cmath>

#include "editor/editor.hpp"
#include "editor/regions.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

namespace {

using regions::timelineColumns;

bool stopped(int32_t state) noexcept {
    return state == tamso::Finished || state == tamso::Full;
}

} // namespace

void Editor::updateOverview(int32_t state) {
    if (!plugin) return;
    if (plugin->countIn.active.load()) {
        lastState = -2;
        return;
    }
    tamso::MidiCapture& take = plugin->capture;
    double beats = take.endBeats.load();
    if (!std::isfinite(beats) || beats < 0.0) beats = 0.0;
    beats = std::min(beats, 1e12);

    if (state == tamso::Recording) {
        const int32_t column =
            static_cast<int32_t>(static_cast<int64_t>(regions::columnsPerBeat * beats) % timelineColumns);
        if (beats < 0.3 && lastState != tamso::Recording) {
            for (uint16_t& c : overview)
                c = 0;
            lastColumn = -1;
        }
        if (column != lastColumn) {
            if (lastColumn >= 0) {
                const int32_t gap = (column - lastColumn + timelineColumns) % timelineColumns;
                for (int32_t j = 1; j <= gap; ++j)
                    overview[(lastColumn + j) % timelineColumns] = 0;
            }
            lastColumn = column;
        }
        uint16_t bits = 0;
        for (int n = 0; n < 128; ++n)
            if (plugin->engine.soundingNotes[n].load(std::memory_order_relaxed)) bits |= 1u << (n % 12);
        overview[column] |= bits;
    } else if (stopped(take.state.load()) && state != lastState) {
        // A take shorter than a bar is drawn over one bar.
        const double span = std::max(beats, static_cast<double>(regions::beatsPerBar));
        for (int i = 0; i < timelineColumns; ++i) {
            // A new take may begin while this runs: its entries are not ours to read.
            if (!stopped(take.state.load())) {
                overview[i] = 0;
                continue;
            }
            double start[128];
            for (double& s : start)
                s = -1.0;
            const double from = i * span / timelineColumns, to = (i + 1) * span / timelineColumns;
            const int32_t count = std::clamp(take.entryCount, 0, tamso::MidiCapture::capacity);
            uint16_t bits = 0;
            for (int32_t j = 0; j < count; ++j) {
                const tamso::CapturedNote& e = take.entries[j];
                if (e.track != 1 || e.note > 127) continue;
                if (e.on) {
                    start[e.note] = e.beats;
                } else if (start[e.note] >= 0.0) {
                    if (to > start[e.note] && from < e.beats) bits |= 1u << (e.note % 12);
                    start[e.note] = -1.0;
                }
            }
            overview[i] = bits;
        }
    }
    lastState = state;
}

} // namespace palmtone
