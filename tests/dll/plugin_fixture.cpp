#include "tests/dll/plugin_fixture.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tools/vst-host/wine_path.hpp"

namespace dlltest {

vsthost::PluginLibrary& library() {
    static vsthost::PluginLibrary loaded([] {
        if (const wchar_t* path = _wgetenv(L"VELK_PLUGIN_DLL")) return vsthost::windowsPath(path);
        const std::string built = VELK_PLUGIN_DLL;
        return vsthost::windowsPath(std::wstring(built.begin(), built.end()));
    }());
    return loaded;
}

float peak(const std::vector<float>& samples, size_t from, size_t to) {
    float p = 0.0f;
    for (size_t i = from; i < std::min(to, samples.size()); ++i)
        p = std::max(p, std::fabs(samples[i]));
    return p;
}

std::vector<vsthost::OutputMidi> sentMidi(const vsthost::Host& host) {
    return vsthost::outputMidi(host.received());
}

std::string describe(const std::vector<vsthost::OutputMidi>& midi) {
    std::ostringstream out;
    for (const auto& m : midi) {
        char line[64];
        std::snprintf(line, sizeof line, "\n  %lld: %02X %d %d", static_cast<long long>(m.time), m.status,
                      m.data1, m.data2);
        out << line;
    }
    return out.str();
}

::testing::AssertionResult sameMidi(const std::vector<vsthost::OutputMidi>& actual,
                                    const std::vector<vsthost::OutputMidi>& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "MIDI sent:" << describe(actual) << "\nexpected:" << describe(expected);
}

std::vector<velktest::Sent> sentEvents(const std::vector<vsthost::ReceivedEvent>& received) {
    std::vector<velktest::Sent> sent;
    for (const vsthost::ReceivedEvent& r : received)
        sent.push_back(
            {r.inProcess ? r.block : -1, r.list, r.time(), r.thread == std::this_thread::get_id(), r.raw});
    return sent;
}

::testing::AssertionResult midiWellFormed(const std::vector<vsthost::ReceivedEvent>& received,
                                          const std::vector<int32_t>& blockSizes,
                                          std::vector<std::vector<bool>>* open) {
    return velktest::midiWellFormed(sentEvents(received), blockSizes, open);
}

void PluginTest::SetUp() {
    host = std::make_unique<vsthost::Host>(library());
    host->start();
}

void PluginTest::TearDown() {
    if (host) {
        EXPECT_TRUE(audioSane(host->left()));
        EXPECT_TRUE(audioSane(host->right()));
        EXPECT_EQ(host->overruns(), 0) << "blocks written past their end";
        host->close();
    }
}

void PluginTest::play(const std::vector<vsthost::TimedMidi>& schedule, int64_t frames, int32_t block) {
    vsthost::play(*host, schedule, vsthost::uniformBlocks(frames, block));
}

} // namespace dlltest
