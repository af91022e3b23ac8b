#include "tools/vst-host/progression.hpp"

#include <cctype>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace vsthost {

namespace {

int parseRoot(const std::string& item) {
    if (item.empty()) throw std::invalid_argument("empty chord root");
    size_t used = 0;
    if (std::isdigit(static_cast<unsigned char>(item[0]))) {
        const int n = std::stoi(item, &used);
        if (used != item.size() || n > 127) throw std::invalid_argument("bad note number: " + item);
        return n;
    }
    static const int pitch[7] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])));
    if (letter < 'A' || letter > 'G') throw std::invalid_argument("bad note name: " + item);
    int pc = pitch[letter - 'A'];
    size_t i = 1;
    if (i < item.size() && item[i] == '#')
        pc += 1, ++i;
    else if (i < item.size() && item[i] == 'b')
        pc -= 1, ++i;
    if (i >= item.size()) throw std::invalid_argument("note name without octave: " + item);
    const int octave = std::stoi(item.substr(i), &used);
    if (i + used != item.size()) throw std::invalid_argument("bad note name: " + item);
    const int n = (octave + 1) * 12 + pc;
    if (n < 0 || n > 127) throw std::invalid_argument("note out of range: " + item);
    return n;
}

} // namespace

std::vector<int> parseRoots(const std::string& text) {
    std::vector<int> roots;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ','))
        roots.push_back(parseRoot(item));
    if (roots.empty()) throw std::invalid_argument("no chord roots");
    return roots;
}

Progression progression(const std::vector<int>& roots, double bpm, double sampleRate) {
    const double beat = 60.0 / bpm * sampleRate;
    auto at = [&](size_t bar, double beats) {
        return static_cast<int64_t>(std::llround((static_cast<double>(bar) * 4.0 + beats) * beat));
    };
    static const uint8_t velocities[4] = {100, 84, 92, 110};
    Progression p{{}, 0};
    for (size_t bar = 0; bar < roots.size(); ++bar) {
        const auto key = static_cast<uint8_t>(roots[bar]);
        p.events.push_back({at(bar, 0.0), 0x90, key, velocities[bar % 4]});
        if (bar % 2 == 0) {
            p.events.push_back({at(bar, 3.5), 0x80, key, 0});
        } else {
            // Pedal down, key up early: the pedal keeps the chord to the bar's end.
            p.events.push_back({at(bar, 2.0), 0xB0, 64, 127});
            p.events.push_back({at(bar, 2.5), 0x80, key, 0});
            p.events.push_back({at(bar, 4.0) - 1, 0xB0, 64, 0});
        }
    }
    p.frames = at(roots.size(), 0.0) + static_cast<int64_t>(sampleRate);
    return p;
}

} // namespace vsthost
