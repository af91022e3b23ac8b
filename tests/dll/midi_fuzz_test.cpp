// Every status byte on every channel, with random data bytes and offsets, mixed
// into random playing: the output stays a well-formed note stream and the audio
// stays in range, whatever arrives.
#include <random>

#include "tests/dll/plugin_fixture.hpp"

namespace dlltest {
namespace {

TEST_F(PluginTest, MidiFuzzOverEveryStatus) {
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> byte(0, 255), coin(0, 1), count(0, 6), size(1, 700), mode(0, 2);
    std::vector<int32_t> sizes;
    host->keepAudio(false);
    for (int status = 0; status < 256; ++status) {
        // Vary what shapes the output along the way.
        if (status % 16 == 0) {
            host->setParameter(entrada, mode(random) / 2.0f);
            host->setParameter(canal, byte(random) / 255.0f);
            host->setParameter(acordes, byte(random) / 255.0f);
            host->setParameter(octava, byte(random) / 255.0f);
            host->setParameter(midiOut, status % 64 == 48 ? 0.0f : 1.0f);
        }
        for (int block = 0; block < 24; ++block) {
            const int32_t frames = size(random);
            std::vector<vsthost::BlockMidi> events;
            for (int e = count(random); e > 0; --e) {
                const int32_t offset = byte(random) * (frames + 40) / 255 - 20;
                if (coin(random)) {
                    events.push_back({offset, static_cast<uint8_t>(status),
                                      static_cast<uint8_t>(byte(random)),
                                      static_cast<uint8_t>(byte(random))});
                } else {
                    // Ordinary playing around it: notes and the pedal, on any channel.
                    static const uint8_t kinds[] = {0x90, 0x90, 0x80, 0xB0};
                    const uint8_t kind = kinds[byte(random) % 4];
                    const uint8_t data1 = kind == 0xB0 ? 64 : static_cast<uint8_t>(byte(random) / 2);
                    events.push_back({offset, static_cast<uint8_t>(kind | (byte(random) & 15)), data1,
                                      static_cast<uint8_t>(byte(random) / 2)});
                }
            }
            if (!events.empty()) host->sendEvents(events);
            host->process(frames);
            sizes.push_back(frames);
            ASSERT_TRUE(audioSane(host->blockLeft())) << "status " << status;
            ASSERT_TRUE(audioSane(host->blockRight())) << "status " << status;
        }
    }
    host->suspend();
    std::vector<std::vector<bool>> open;
    ASSERT_TRUE(midiWellFormed(host->received(), sizes, &open));
    EXPECT_GT(host->received().size(), 1000u);
    for (int c = 0; c < 16; ++c)
        for (int n = 0; n < 128; ++n)
            EXPECT_FALSE(open[c][n]) << "left on: channel " << c + 1 << " note " << n;
}

} // namespace
} // namespace dlltest
