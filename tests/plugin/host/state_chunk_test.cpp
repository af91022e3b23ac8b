// The state chunk as pure functions: the version-4 layout, the old versions, the
// reader's refusals, and the writer refusing what the reader would refuse.
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "plugin/host/state_chunk.hpp"
#include "plugin/media/wave.hpp"
#include "plugin/text/text.hpp"
#include "tests/support/media_support.hpp"

using namespace velktest;
using palmtone::LibrarySnapshot;
using palmtone::ParamValues;
using palmtone::readStateChunk;
using palmtone::RestoredState;
using palmtone::writeStateChunk;

namespace {

ParamValues defaults() {
    ParamValues v{};
    for (int i = 0; i < palmtone::paramCount; ++i)
        v[i] = palmtone::normalisedDefault(i);
    return v;
}

std::string refusal(const Bytes& chunk) {
    try {
        readStateChunk(chunk.data(), chunk.size());
        return "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

Bytes written(const ParamValues& values, const LibrarySnapshot& library) {
    Bytes out;
    writeStateChunk(out, values, library);
    return out;
}

} // namespace

TEST(StateChunk, EmptyLibraryWritesOneHundredBytes) {
    const Bytes chunk = written(defaults(), {});
    ASSERT_EQ(chunk.size(), 100u);
    Bytes expected = header(4, 16);
    for (int i = 0; i < 16; ++i)
        putF32(expected, float(palmtone::normalisedDefault(i)));
    for (int i = 0; i < 5; ++i)
        put32(expected, 0);
    EXPECT_EQ(chunk, expected);

    const RestoredState s = readStateChunk(chunk.data(), chunk.size());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(s.values[i], double(float(palmtone::normalisedDefault(i))));
    EXPECT_EQ(s.sample, nullptr);
    EXPECT_TRUE(s.folder.empty() && s.selection.empty() && s.files.empty());
}

TEST(StateChunk, WritesEveryFieldInOrderAndReadsItBack) {
    LibrarySnapshot lib;
    lib.name = L"Pluck \u00f1";
    lib.file = pcm16Mono({1000, -1000, 2000}, 44100);
    lib.folder = L"C:\\Muestras";
    lib.selection = L"C:\\Muestras\\Pluck \u00f1.wav";
    lib.files = {L"C:\\Muestras\\a.wav", lib.selection};
    ParamValues values = defaults();
    values[0] = 6.0 / 11.0;
    values[5] = 0.3;

    const Bytes chunk = written(values, lib);
    std::vector<float> stored;
    for (double v : values)
        stored.push_back(float(v));
    EXPECT_EQ(chunk, version4(stored, "Pluck \xC3\xB1", "C:\\Muestras", "C:\\Muestras\\Pluck \xC3\xB1.wav",
                              {"C:\\Muestras\\a.wav", "C:\\Muestras\\Pluck \xC3\xB1.wav"}, lib.file));

    const RestoredState s = readStateChunk(chunk.data(), chunk.size());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(s.values[i], double(float(values[i])));
    ASSERT_NE(s.sample, nullptr);
    EXPECT_EQ(s.sample->name, lib.name);
    EXPECT_EQ(asVector(s.sample->file), lib.file);
    EXPECT_EQ(s.sample->sampleRate, 44100.0);
    EXPECT_EQ(s.folder, lib.folder);
    EXPECT_EQ(s.selection, lib.selection);
    EXPECT_EQ(s.files, lib.files);
}

TEST(StateChunk, ReadsOldVersionsWithDefaultsForTheLaterParameters) {
    for (uint32_t version : {1u, 3u, 2u}) {
        SCOPED_TRACE(version);
        const uint32_t count = version == 2 ? 17 : 13;
        Bytes chunk = header(version, count);
        for (uint32_t i = 0; i < count; ++i)
            putF32(chunk, i < 13 ? float(i) / 16.0f : 1.0f);
        const RestoredState s = readStateChunk(chunk.data(), chunk.size());
        for (int i = 0; i < 13; ++i)
            EXPECT_EQ(s.values[i], i / 16.0);
        for (int i = 13; i < 16; ++i)
            EXPECT_EQ(s.values[i], palmtone::normalisedDefault(i));
        EXPECT_EQ(s.sample, nullptr);
        EXPECT_TRUE(s.folder.empty() && s.selection.empty() && s.files.empty());
    }
}

TEST(StateChunk, TakesValuesFromZeroToOne) {
    std::vector<float> v = sixteen();
    v[0] = -0.0f;
    v[1] = 1.0f;
    v[2] = std::numeric_limits<float>::denorm_min();
    const Bytes chunk = version4(v, "", "", "", {}, {});
    const RestoredState s = readStateChunk(chunk.data(), chunk.size());
    EXPECT_EQ(s.values[0], 0.0);
    EXPECT_FALSE(std::signbit(s.values[0]));
    EXPECT_EQ(s.values[1], 1.0);
    EXPECT_GT(s.values[2], 0.0);
}

TEST(StateChunk, RefusesEveryMalformedChunk) {
    const Bytes wave = pcm16Mono({1, 2});
    const Bytes good = version4(sixteen(), "n", "f", "s", {"a", "b"}, wave);
    ASSERT_EQ(refusal(good), "");

    auto withValue = [](float v, size_t index, uint32_t version, uint32_t count) {
        Bytes b = header(version, count);
        for (uint32_t i = 0; i < count; ++i)
            putF32(b, i == index ? v : 0.5f);
        if (version == 4) put32(b, 0), put32(b, 0), put32(b, 0), put32(b, 0), put32(b, 0);
        return b;
    };
    Bytes badMagic = good;
    badMagic[0] = 't';
    Bytes hugeString = header(4, 16);
    for (int i = 0; i < 16; ++i)
        putF32(hugeString, 0.5f);
    put32(hugeString, 0xFFFFFFFFu); // a length that would wrap a 32-bit offset
    Bytes longString = header(4, 16);
    for (int i = 0; i < 16; ++i)
        putF32(longString, 0.5f);
    put32(longString, 65537);
    longString.resize(longString.size() + 65537 + 16, 'a');
    Bytes hugeWave = version4(sixteen(), "", "", "", {}, {});
    hugeWave[hugeWave.size() - 1] = 0xFF; // W near 2^32 with nothing behind it
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Bytes brokenWave = wave;
    brokenWave[22] = 9; // 9 channels

    const struct {
        const char* what;
        Bytes chunk;
    } cases[] = {
        {"15 bytes", Bytes(good.begin(), good.begin() + 15)},
        {"magic", badMagic},
        {"version 4 with 13 values", withValue(0.5f, 0, 4, 13)},
        {"version 5", withValue(0.5f, 0, 5, 16)},
        {"version 1 with 16 values", withValue(0.5f, 0, 1, 16)},
        {"version 3 with 17 values", withValue(0.5f, 0, 3, 17)},
        {"version 1 of 72 bytes", padded(withValue(0.5f, 0, 1, 13), 4)},
        {"version 1 of 64 bytes", cut(withValue(0.5f, 0, 1, 13), 4)},
        {"version 2 with a 17th value of 1.5", withValue(1.5f, 16, 2, 17)},
        {"value just above 1", withValue(std::nextafter(1.0f, 2.0f), 3, 4, 16)},
        {"negative value", withValue(-std::numeric_limits<float>::denorm_min(), 5, 4, 16)},
        {"NaN", withValue(nan, 15, 4, 16)},
        {"infinity", withValue(inf, 1, 1, 13)},
        {"header and values only", Bytes(good.begin(), good.begin() + 80)},
        {"string length past the end", cut(version4(sixteen(), "name", "", "", {}, {}), 22)},
        {"string length near 2^32", hugeString},
        {"string over 65536 bytes", longString},
        {"invalid UTF-8 in the name", version4(sixteen(), "\xC3", "", "", {}, {})},
        {"invalid UTF-8 in the folder", version4(sixteen(), "", "\xED\xA0\x80", "", {}, {})},
        {"invalid UTF-8 in the selection", version4(sixteen(), "", "", "\xFF", {}, {})},
        {"invalid UTF-8 in a file", version4(sixteen(), "", "", "", {"ok", "\xC0\x80"}, {})},
        {"1025 files", version4(sixteen(), "", "", "", std::vector<std::string>(1025, "a"), {})},
        {"a library over 4 MiB (100 paths of 50,000 bytes)",
         version4(sixteen(), "", "", "", std::vector<std::string>(100, std::string(50000, 'p')), {})},
        {"file count past the end", cut(version4(sixteen(), "", "", "", {}, {}), 8)},
        {"no WAV count", cut(version4(sixteen(), "", "", "", {}, {}), 4)},
        {"WAV longer than what remains", cut(good, 1)},
        {"a byte after the WAV", padded(good, 1)},
        {"W near 2^32", hugeWave},
        {"a WAV that does not decode", version4(sixteen(), "n", "", "", {}, brokenWave)},
        {"71,303,169 bytes", Bytes(palmtone::maxChunkBytes + 1, 0)},
    };
    for (const auto& c : cases)
        EXPECT_NE(refusal(c.chunk), "") << c.what;
}

TEST(StateChunk, ReaderNeverReadsPastTheGivenBytes) {
    // Every prefix of a valid chunk is refused, and the sanitizer watches each read.
    const Bytes good = version4(sixteen(), "n", "dir", "sel", {"a", "bb"}, pcm16Mono({1, 2}));
    for (size_t n = 0; n < good.size(); ++n) {
        const Bytes prefix(good.begin(), good.begin() + n);
        EXPECT_THROW(readStateChunk(prefix.data(), prefix.size()), std::exception) << n;
    }
    EXPECT_THROW(readStateChunk(nullptr, 100), std::exception);
}

TEST(StateChunk, WriterRefusesWhatTheReaderWouldRefuse) {
    auto refused = [](const ParamValues& values, const LibrarySnapshot& lib) {
        Bytes out;
        try {
            writeStateChunk(out, values, lib);
            return std::string();
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
    };
    const std::wstring at65536(65536, L'a');
    const std::wstring over(65537, L'a');
    // 21846 three-byte characters: 65538 bytes of UTF-8 from fewer wide characters.
    const std::wstring overInUtf8(21846, wchar_t(0x20AC));

    LibrarySnapshot lib;
    lib.selection = at65536;
    lib.files = {at65536};
    EXPECT_EQ(refused(defaults(), lib), "");
    const Bytes chunk = written(defaults(), lib);
    EXPECT_EQ(readStateChunk(chunk.data(), chunk.size()).files, lib.files);

    const struct {
        const char* what;
        LibrarySnapshot lib;
        const char* message;
    } cases[] = {
        {"long name", {over, {}, L"", L"", {}}, "Nombre demasiado largo"},
        {"long folder", {L"", {}, over, L"", {}}, "Nombre demasiado largo"},
        {"long selection", {L"", {}, L"", overInUtf8, {}}, "Nombre demasiado largo"},
        {"long library path", {L"", {}, L"", L"", {L"ok", overInUtf8}}, "Nombre demasiado largo"},
        {"unpaired surrogate",
         {L"", {}, L"", L"", {std::wstring(1, wchar_t(0xD800))}},
         "Nombre de archivo no valido"},
        {"1025 files",
         {L"", {}, L"", L"", std::vector<std::wstring>(1025, L"a")},
         "Biblioteca demasiado grande"},
        {"library over 4 MiB",
         {L"", {}, L"", L"", std::vector<std::wstring>(65, at65536)},
         "Biblioteca demasiado grande"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(refused(defaults(), c.lib), c.message) << c.what;

    ParamValues bad = defaults();
    bad[4] = std::nan("");
    EXPECT_NE(refused(bad, {}), "");
}

TEST(StateChunk, WriterRefusesAChunkOverTheReadersLimit) {
    // A library just under 4 MiB and a 64 MiB WAV add up to more than 68 MiB.
    Bytes wave = pcm16Mono({1, 2});
    wave.resize(palmtone::maxWaveBytes, 0);
    LibrarySnapshot lib;
    lib.name = L"big";
    lib.file = wave;
    // Header, values, the name "big", two empty strings and N take 99 bytes; 63
    // paths of 65536 bytes and one filler then reach 4 MiB exactly.
    const size_t base = 16 + 64 + (4 + 3) + 4 + 4 + 4;
    const size_t pathBytes = 4 + 65536;
    lib.files.assign(63, std::wstring(65536, L'p'));
    const size_t filler = palmtone::maxLibraryBytes - base - 63 * pathBytes - 4;
    lib.files.push_back(std::wstring(filler, L'q'));

    Bytes out;
    EXPECT_THROW(writeStateChunk(out, defaults(), lib), std::runtime_error);

    // Shrink the library until the total is exactly the reader's limit: written and read.
    const size_t over = palmtone::maxLibraryBytes + 4 + palmtone::maxWaveBytes - palmtone::maxChunkBytes;
    lib.files.back().resize(filler - over);
    writeStateChunk(out, defaults(), lib);
    ASSERT_EQ(out.size(), palmtone::maxChunkBytes);
    const RestoredState s = readStateChunk(out.data(), out.size());
    ASSERT_NE(s.sample, nullptr);
    EXPECT_EQ(s.sample->file.size(), palmtone::maxWaveBytes);
    EXPECT_EQ(s.files.size(), 64u);
}

TEST(StateChunk, ReaderTakesALibraryUpToWhatTheWriterStores) {
    // Header, values, three empty strings and N take 96 bytes; 63 paths of
    // 65536 bytes and one of 65184 then reach 4 MiB exactly.
    std::vector<std::string> files(63, std::string(65536, 'p'));
    files.push_back(std::string(65184, 'q'));
    const Bytes atLimit = version4(sixteen(), "", "", "", files, {});
    ASSERT_EQ(atLimit.size(), palmtone::maxLibraryBytes + 4);
    const RestoredState s = readStateChunk(atLimit.data(), atLimit.size());
    LibrarySnapshot lib;
    lib.files = s.files;
    ParamValues values{};
    for (int i = 0; i < 16; ++i)
        values[i] = s.values[i];
    EXPECT_TRUE(written(values, lib) == atLimit); // taken, and written back the same

    files.back().push_back('q');
    EXPECT_EQ(refusal(version4(sixteen(), "", "", "", files, {})), "Biblioteca demasiado grande");
}

TEST(StateChunk, StorablePathIsTheWritersOwnTest) {
    const wchar_t euro = wchar_t(0x20AC);                         // three bytes of UTF-8
    const std::wstring pair = {wchar_t(0xD83C), wchar_t(0xDFB5)}; // U+1F3B5, four bytes
    const struct {
        const char* what;
        std::wstring text;
        const char* refusal; // what the writer throws; null when it stores the text
    } cases[] = {
        {"empty", L"", nullptr},
        {"65536 ASCII characters", std::wstring(65536, L'a'), nullptr},
        {"65537 ASCII characters", std::wstring(65537, L'a'), "Nombre demasiado largo"},
        {"65535 bytes of three-byte characters and one more", std::wstring(21845, euro) + L"a", nullptr},
        {"21846 three-byte characters", std::wstring(21846, euro), "Nombre demasiado largo"},
        {"a surrogate pair", L"C:\\" + pair + L".wav", nullptr},
        {"two-byte characters", L"C:\\\u00f1\u00e9.wav", nullptr},
        {"an unpaired high surrogate at the end", L"C:\\a" + std::wstring(1, wchar_t(0xD800)),
         "Nombre de archivo no valido"},
        {"an unpaired low surrogate", std::wstring(1, wchar_t(0xDC00)) + L".wav",
         "Nombre de archivo no valido"},
        {"a high surrogate before a letter", std::wstring(1, wchar_t(0xDBFF)) + L"a.wav",
         "Nombre de archivo no valido"},
        {"a reversed pair", std::wstring{pair[1], pair[0]}, "Nombre de archivo no valido"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool storable = c.refusal == nullptr;
        EXPECT_EQ(palmtone::isStorablePath(c.text), storable);
        // The writer, with the text as a library path, agrees.
        LibrarySnapshot lib;
        lib.files = {c.text};
        Bytes out;
        std::string thrown;
        try {
            writeStateChunk(out, defaults(), lib);
        } catch (const std::exception& e) {
            thrown = e.what();
        }
        EXPECT_EQ(thrown, storable ? "" : c.refusal);
        try {
            palmtone::requireStorable(c.text);
            EXPECT_TRUE(storable);
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), c.refusal);
        }
        if (storable) {
            EXPECT_EQ(palmtone::storedBytes(c.text), 4 + palmtone::utf8(c.text).size());
        } else {
            EXPECT_GT(palmtone::storedBytes(c.text), palmtone::maxChunkBytes);
        }
    }
}
