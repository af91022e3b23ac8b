// Saving and restoring the state chunk through opcodes 23 and 24: the exact bytes
// of a fresh instance, round trips, the older versions, and every refusal leaving
// the instance as it was.
#include <cmath>
#include <cstring>
#include <limits>

#include "tests/dll/plugin_fixture.hpp"
#include "tests/dll/state_chunk_bytes.hpp"
#include "tools/vst-host/wave_file.hpp"

namespace dlltest {
namespace {

class StateChunk : public PluginTest {
  protected:
    // The chunk opcode 23 hands out, copied.
    std::vector<uint8_t> saved() {
        void* data = reinterpret_cast<void*>(1);
        const intptr_t size = host->dispatch(23, 0, 0, &data);
        EXPECT_GT(size, 0) << "opcode 23 answered 0: is the state chunk in this build?";
        if (size <= 0 || !data) return {};
        const auto* bytes = static_cast<const uint8_t*>(data);
        return std::vector<uint8_t>(bytes, bytes + size);
    }
    intptr_t restore(std::vector<uint8_t> bytes) {
        return host->dispatch(24, 0, static_cast<intptr_t>(bytes.size()), bytes.data());
    }
    std::vector<float> values() {
        std::vector<float> out;
        for (int32_t i = 0; i < 16; ++i)
            out.push_back(host->getParameter(i));
        return out;
    }
    // A state that differs from the defaults in every parameter.
    void changeEverything() {
        const float steps[16] = {3.0f / 11, 4.0f / 29, 0.0f,        0.25f, 0.75f, 0.3f,
                                 0.5f,      2.0f / 15, 0.0f,        0.5f,  0.25f, 1.0f / 3,
                                 2.0f / 3,  1.0f,      72.0f / 127, 1.0f};
        for (int32_t i = 0; i < 16; ++i)
            host->setParameter(i, steps[i]);
    }
};

TEST_F(StateChunk, FreshInstanceWritesExactly100Bytes) {
    std::vector<uint8_t> expected = chunkBytes({4, defaultValues(), "", "", "", {}, {}});
    ASSERT_EQ(expected.size(), 100u);
    EXPECT_EQ(saved(), expected);
    // Nothing changed: the same bytes again.
    EXPECT_EQ(saved(), expected);
}

TEST_F(StateChunk, NullDestinationAnswersZero) {
    EXPECT_EQ(host->dispatch(23, 0, 0, nullptr), 0);
}

TEST_F(StateChunk, RoundTripKeepsEveryStep) {
    changeEverything();
    const std::vector<float> before = values();
    const std::vector<uint8_t> bytes = saved();
    ASSERT_EQ(bytes.size(), 100u);

    vsthost::Host other(library());
    ASSERT_EQ(other.dispatch(24, 0, static_cast<intptr_t>(bytes.size()), const_cast<uint8_t*>(bytes.data())),
              1);
    for (int32_t i = 0; i < 16; ++i)
        EXPECT_EQ(other.getParameter(i), before[i]) << params[i].name;
    // A restore tells the host nothing.
    EXPECT_TRUE(other.calls().empty());

    // The defaults come back with "Volumen" as the float nearest to 0.65.
    ASSERT_EQ(restore(chunkBytes({4, defaultValues(), "", "", "", {}, {}})), 1);
    EXPECT_EQ(host->getParameter(volumen), 0.65f);
    EXPECT_EQ(values(), defaultValues());
}

TEST_F(StateChunk, RestoredValuesAreQuantisedAgain) {
    std::vector<float> v = defaultValues();
    v[tonica] = 0.5f;
    v[canal] = -0.0f;
    v[volumen] = 0.123f;
    ASSERT_EQ(restore(chunkBytes({4, v, "", "", "", {}, {}})), 1);
    EXPECT_EQ(host->getParameter(tonica), static_cast<float>(6.0 / 11.0));
    EXPECT_EQ(host->getParameter(canal), 0.0f);
    EXPECT_EQ(host->getParameter(volumen), 0.123f);
}

TEST_F(StateChunk, LibraryRoundTripsByteForByte) {
    ChunkContent c{4,
                   defaultValues(),
                   "",
                   "C:\\Muestras",
                   "C:\\Muestras\\campa\xC3\xB1"
                   "a.wav",
                   {"C:\\Muestras\\campa\xC3\xB1"
                    "a.wav",
                    "C:\\Muestras\\b.WAV", "\\\\nas\\x\\c.wav"},
                   {}};
    c.values[tonica] = 5.0f / 11;
    const std::vector<uint8_t> bytes = chunkBytes(c);
    ASSERT_EQ(restore(bytes), 1);
    EXPECT_EQ(saved(), bytes);
}

TEST_F(StateChunk, OlderVersionsRestoreThirteenValues) {
    changeEverything();
    std::vector<float> thirteen(13, 0.0f);
    thirteen[tonica] = 1.0f;
    thirteen[octava] = 0.25f;
    for (uint32_t version : {1u, 3u}) {
        changeEverything();
        const std::vector<uint8_t> bytes = chunkBytes({version, thirteen, "", "", "", {}, {}});
        ASSERT_EQ(bytes.size(), 68u);
        ASSERT_EQ(restore(bytes), 1) << "version " << version;
        EXPECT_EQ(host->getParameter(tonica), 1.0f);
        EXPECT_EQ(host->getParameter(octava), 0.25f);
        EXPECT_EQ(host->getParameter(volumen), 0.0f);
        // "Sonido", "Raiz WAV" and "Tocar WAV" go back to their defaults; the library empties.
        EXPECT_EQ(host->getParameter(sonido), 0.0f);
        EXPECT_EQ(host->getParameter(raizWav), static_cast<float>(60.0 / 127.0));
        EXPECT_EQ(host->getParameter(tocarWav), 0.0f);
        std::vector<uint8_t> back = saved();
        ASSERT_EQ(back.size(), 100u);
    }
    std::vector<float> seventeen(17, 0.5f);
    ASSERT_EQ(restore(chunkBytes({2, seventeen, "", "", "", {}, {}})), 1);
    EXPECT_EQ(host->getParameter(escala), static_cast<float>(15.0 / 29.0));
    EXPECT_EQ(host->getParameter(sonido), 0.0f); // the last four are not used
}

struct Refusal {
    const char* what;
    std::vector<uint8_t> bytes;
};

std::vector<Refusal> refusals() {
    const std::vector<float> d = defaultValues();
    auto withValue = [&](int index, float v) {
        std::vector<float> values = d;
        values[index] = v;
        return chunkBytes({4, values, "", "", "", {}, {}});
    };
    std::vector<Refusal> r;
    std::vector<uint8_t> good = chunkBytes({4, d, "", "", "", {}, {}});
    r.push_back({"15 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 15)});
    r.push_back({"16 bytes of header only", std::vector<uint8_t>(good.begin(), good.begin() + 16)});
    r.push_back({"99 bytes", std::vector<uint8_t>(good.begin(), good.end() - 1)});
    std::vector<uint8_t> magic = good;
    magic[7] = 'S';
    r.push_back({"wrong magic", magic});
    r.push_back(
        {"version 4 with 13 values", chunkBytes({4, std::vector<float>(13, 0.0f), "", "", "", {}, {}})});
    std::vector<uint8_t> v5 = good;
    v5[8] = 5;
    r.push_back({"version 5", v5});
    std::vector<uint8_t> v1 = chunkBytes({1, std::vector<float>(13, 0.0f), "", "", "", {}, {}});
    v1.insert(v1.end(), 4, 0);
    r.push_back({"version 1 of 72 bytes", v1});
    r.push_back({"version 1 with 16 values", chunkBytes({1, d, "", "", "", {}, {}})});
    std::vector<float> seventeen(17, 0.0f);
    seventeen[16] = 1.5f;
    r.push_back({"version 2 with 1.5 as 17th value", chunkBytes({2, seventeen, "", "", "", {}, {}})});
    r.push_back({"value 1.0000001", withValue(tonica, std::nextafter(1.0f, 2.0f))});
    r.push_back({"value -0.5", withValue(volumen, -0.5f)});
    r.push_back({"NaN value", withValue(canal, std::nanf(""))});
    r.push_back({"infinite value", withValue(bpm, std::numeric_limits<float>::infinity())});
    std::vector<uint8_t> files = chunkBytes({4, d, "", "", "", {}, {}});
    files[92] = 0x01; // N = 1025
    files[93] = 0x04;
    files.resize(96 + 1025 * 4 + 4, 0);
    r.push_back({"1025 library files", files});
    std::vector<uint8_t> longWave = good;
    longWave[96] = 10; // W = 10 with nothing after it
    r.push_back({"WAV size past the end", longWave});
    std::vector<uint8_t> trailing = good;
    trailing.push_back(0);
    r.push_back({"one byte after the WAV", trailing});
    r.push_back(
        {"WAV that does not decode", chunkBytes({4, d, "x", "", "", {}, std::vector<uint8_t>(64, 7)})});
    r.push_back({"invalid UTF-8 name", chunkBytes({4, d, "\xFF\xFE", "", "", {}, {}})});
    r.push_back({"invalid UTF-8 file", chunkBytes({4, d, "", "", "", {"C:\\\xC3"}, {}})});
    r.push_back({"string of 65537 bytes", chunkBytes({4, d, "", std::string(65537, 'a'), "", {}, {}})});
    std::vector<uint8_t> runaway = good;
    runaway[80] = 0xFF; // the name's length runs past the end
    r.push_back({"string past the end", runaway});
    std::vector<uint8_t> huge = good;
    huge.resize(71303169, 0);
    r.push_back({"71,303,169 bytes", huge});
    return r;
}

TEST_F(StateChunk, RefusedChunksChangeNothing) {
    ChunkContent library{4, defaultValues(), "", "C:\\lib", "C:\\lib\\a.wav", {"C:\\lib\\a.wav"}, {}};
    ASSERT_EQ(restore(chunkBytes(library)), 1);
    changeEverything();
    const std::vector<float> before = values();
    const std::vector<uint8_t> state = saved();
    for (const Refusal& r : refusals()) {
        EXPECT_EQ(restore(r.bytes), 0) << r.what;
        EXPECT_EQ(values(), before) << r.what;
        EXPECT_EQ(saved(), state) << r.what;
    }
    EXPECT_EQ(host->dispatch(24, 0, 100, nullptr), 0);
}

// The writer stores at most 4 MiB before the WAV, so a restore of a larger
// library is refused (nothing changes) instead of leaving a state that never
// saves again; a library just within the limit restores and saves.
TEST_F(StateChunk, ALibraryOver4MiBIsRefusedSoEveryRestoredStateSaves) {
    std::vector<std::string> files;
    for (int i = 0; i < 1024; ++i)
        files.push_back("C:\\" + std::string(4096, 'a' + i % 26) + std::to_string(i) + ".wav");
    const std::vector<uint8_t> before = saved();
    EXPECT_EQ(restore(chunkBytes({4, defaultValues(), "", "C:\\", "", files, {}})), 0);
    EXPECT_TRUE(saved() == before);

    files.resize(1000);
    ASSERT_EQ(restore(chunkBytes({4, defaultValues(), "", "C:\\", "", files, {}})), 1);
    const std::vector<uint8_t> chunk = saved();
    ASSERT_GT(chunk.size(), 4000000u);
    EXPECT_EQ(restore(chunk), 1);
    EXPECT_TRUE(saved() == chunk);
}

} // namespace
} // namespace dlltest
