#include "tools/vst-host/schedule.hpp"

#include <algorithm>

namespace vsthost {

std::vector<OutputMidi> outputMidi(const std::vector<ReceivedEvent>& received) {
    std::vector<OutputMidi> out;
    out.reserve(received.size());
    for (const ReceivedEvent& r : received)
        out.push_back({r.time(), r.status(), r.data1(), r.data2()});
    return out;
}

void play(Host& host, const std::vector<TimedMidi>& schedule, const std::vector<int32_t>& blocks) {
    std::vector<TimedMidi> sorted = schedule;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TimedMidi& a, const TimedMidi& b) { return a.time < b.time; });
    size_t next = 0;
    // Events before the current position would never fit a block: start from the first due.
    while (next < sorted.size() && sorted[next].time < host.position())
        ++next;
    for (int32_t frames : blocks) {
        const int64_t start = host.position();
        std::vector<BlockMidi> messages;
        while (frames > 0 && next < sorted.size() && sorted[next].time < start + frames) {
            const TimedMidi& e = sorted[next++];
            messages.push_back({static_cast<int32_t>(e.time - start), e.status, e.data1, e.data2});
        }
        if (!messages.empty()) host.sendEvents(messages);
        host.process(frames);
    }
}

} // namespace vsthost
