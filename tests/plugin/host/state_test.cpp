// Saving and restoring a whole instance's state chunk (opcodes 23, 24): the
// same bytes back, old versions, all or nothing, whatever the library holds,
// and a restored state saving and restoring to itself.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/host/state_chunk.hpp"
#include "plugin/plugin.hpp"
#include "tests/support/one_shot_instance.hpp"

using namespace velktest;

TEST(StateSave, FreshInstanceWritesOneHundredBytesThatRestore) {
    auto p = instance();
    const Bytes chunk = save(*p);
    ASSERT_EQ(chunk.size(), 100u);
    EXPECT_EQ(restore(*p, chunk), 1);
    EXPECT_EQ(param(*p, palmtone::pVolume), double(0.65f));
    for (int i = 0; i < 16; ++i) {
        if (i == palmtone::pVolume) continue;
        EXPECT_EQ(param(*p, i), palmtone::normalisedDefault(i)) << i;
    }
    EXPECT_TRUE(host.edits.empty()); // a restore notifies nobody
    EXPECT_EQ(p->dispatch(23, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(p->dispatch(24, 0, 100, nullptr, 0.0f), 0);
}

TEST(StateSave, RestoreThenSaveGivesTheSameBytes) {
    const std::string dir = scratchDir("state_round_trip");
    const std::wstring shot = waveFile(dir, L"Bell \u00f1.wav", 72);
    auto p = instance();
    p->bank.restoreLibrary(hostPath(dir), {hostPath(dir + "/x.wav")});
    p->loadSample(shot);
    p->set(palmtone::pTonic, 5.0 / 11.0);
    p->set(palmtone::pVolume, 0.3);
    p->set(palmtone::pBpm, 0.77);

    const Bytes first = save(*p);
    ASSERT_FALSE(first.empty());
    // The same bytes twice, from the same buffer.
    void* a = nullptr;
    void* b = nullptr;
    p->dispatch(23, 0, 0, &a, 0.0f);
    p->dispatch(23, 0, 0, &b, 0.0f);
    EXPECT_EQ(a, b);
    EXPECT_EQ(save(*p), first);

    auto q = instance();
    EXPECT_EQ(restore(*q, first), 1);
    EXPECT_EQ(save(*q), first);
    EXPECT_EQ(q->bank.summary().name, L"Bell \u00f1");
    EXPECT_EQ(q->bank.selection(), shot);
    EXPECT_EQ(q->bank.directory(), hostPath(dir));
    EXPECT_EQ(q->bank.files(), p->bank.files());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(float(param(*q, i)), float(param(*p, i))) << i;

    // Restoring over a loaded one-shot replaces it and frees the old one.
    EXPECT_EQ(restore(*p, first), 1);
    EXPECT_EQ(save(*p), first);
    EXPECT_EQ(ownedCount(*p), 1u);
}

TEST(StateRestore, OldVersionsSetTheLaterParametersToDefaultsAndEmptyTheLibrary) {
    const std::string dir = scratchDir("state_old");
    for (uint32_t version : {1u, 2u, 3u}) {
        SCOPED_TRACE(version);
        auto p = instance();
        p->loadSample(waveFile(dir, L"a.wav", 40));
        p->set(palmtone::pWholeOneShot, 1.0);
        const uint32_t count = version == 2 ? 17 : 13;
        Bytes chunk = header(version, count);
        for (uint32_t i = 0; i < count; ++i)
            putF32(chunk, i == 0 ? 0.5f : (i == 5 ? 0.25f : 0.0f));
        ASSERT_EQ(restore(*p, chunk), 1);
        EXPECT_EQ(param(*p, palmtone::pTonic), 6.0 / 11.0); // 0.5 lands on step 6
        EXPECT_EQ(param(*p, palmtone::pVolume), 0.25);
        EXPECT_EQ(param(*p, palmtone::pOctave), 0.0);
        EXPECT_EQ(param(*p, palmtone::pSound), 0.0);
        EXPECT_EQ(param(*p, palmtone::pWaveRoot), 60.0 / 127.0);
        EXPECT_EQ(param(*p, palmtone::pWholeOneShot), 0.0);
        EXPECT_EQ(p->bank.published.load(), nullptr);
        EXPECT_TRUE(p->bank.files().empty() && p->bank.selection().empty() && p->bank.directory().empty());
        EXPECT_EQ(ownedCount(*p), 0u);
    }
}

TEST(StateRestore, NoWaveWithASelectionRestoresTheLibraryOnly) {
    auto p = instance();
    const Bytes chunk = version4(sixteen(0.0f), "ignored", "C:\\lib", "C:\\lib\\a.wav",
                                 {"C:\\lib\\a.wav", "C:\\lib\\b.wav"}, {});
    ASSERT_EQ(restore(*p, chunk), 1);
    EXPECT_EQ(p->bank.published.load(), nullptr);
    EXPECT_EQ(p->bank.selection(), L"C:\\lib\\a.wav");
    EXPECT_EQ(p->bank.directory(), L"C:\\lib");
    EXPECT_EQ(p->bank.files().size(), 2u);
    EXPECT_EQ(p->bank.summary().name, L"Soft Keys");
}

TEST(StateRestore, ARefusedChunkChangesNothing) {
    const std::string dir = scratchDir("state_refused");
    auto p = instance();
    p->bank.restoreLibrary(L"C:\\lib", {L"C:\\lib\\a.wav"});
    p->loadSample(waveFile(dir, L"kept.wav", 64));
    p->set(palmtone::pScale, 3.0 / 29.0);
    const Bytes before = save(*p);
    ASSERT_FALSE(before.empty());
    const int32_t revision = p->bank.revision.load();

    const Bytes wave = pcm16Mono({1, 2});
    Bytes brokenWave = wave;
    brokenWave[22] = 3; // three channels
    auto valuesOnly = [](uint32_t version, uint32_t count, float v, size_t extra) {
        Bytes b = header(version, count);
        for (uint32_t i = 0; i < count; ++i)
            putF32(b, v);
        return padded(std::move(b), extra);
    };
    Bytes good = version4(sixteen(), "n", "f", "s", {"a"}, wave);
    ASSERT_EQ(restore(*instance(), good), 1);
    host.edits.clear();
    Bytes wrongMagic = good;
    wrongMagic[7] = 'X';

    const struct {
        const char* what;
        Bytes chunk;
    } cases[] = {
        {"15 bytes", truncated(good, 15)},
        {"wrong magic", wrongMagic},
        {"version 4 with 13 values", valuesOnly(4, 13, 0.5f, 20)},
        {"version 5", valuesOnly(5, 16, 0.5f, 20)},
        {"version 1 of 72 bytes", valuesOnly(1, 13, 0.5f, 4)},
        {"version 2 with a value of 1.5",
         [&] {
             Bytes b = cut(valuesOnly(2, 17, 0.5f, 0), 4);
             putF32(b, 1.5f);
             return b;
         }()},
        {"a value above 1", version4(std::vector<float>(16, std::nextafter(1.0f, 2.0f)), "", "", "", {}, {})},
        {"NaN",
         version4(std::vector<float>(16, std::numeric_limits<float>::quiet_NaN()), "", "", "", {}, {})},
        {"1025 files", version4(sixteen(), "", "", "", std::vector<std::string>(1025, "x"), {})},
        {"WAV longer than what remains", cut(good, 1)},
        {"a byte after the WAV", padded(good, 1)},
        {"WAV that does not decode", version4(sixteen(), "n", "", "", {}, brokenWave)},
        {"invalid UTF-8 in a file", version4(sixteen(), "", "", "", {"\xE2\x82"}, {})},
        {"string past the end", cut(version4(sixteen(), "", "", "abcdef", {}, {}), 11)},
        {"over 68 MiB", Bytes(palmtone::maxChunkBytes + 1, 0)},
        {"a library over 4 MiB",
         version4(sixteen(), "", "", "", std::vector<std::string>(100, std::string(50000, 'p')), {})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(restore(*p, c.chunk), 0) << c.what;
        EXPECT_EQ(save(*p), before) << c.what;
    }
    EXPECT_EQ(p->bank.revision.load(), revision);
    EXPECT_TRUE(host.edits.empty());
}

// A library path the chunk cannot store enters by no route, and the library
// takes no more than a chunk holds: whatever it holds saves, and that chunk
// restores to the same library.
TEST(StateSave, WhateverTheLibraryHoldsSaves) {
    const std::string dir = scratchDir("state_always_saves");
    const std::wstring shot = waveFile(dir, L"shot.wav");
    const std::wstring unpaired = L"C:\\" + std::wstring(1, wchar_t(0xDC00)) + L".wav";
    const std::wstring tooLong = L"C:\\" + std::wstring(21846, wchar_t(0x20AC)) + L".wav";

    auto p = instance();
    p->loadSample(shot);
    const Bytes before = save(*p);
    host.edits.clear();
    for (const auto& [path, message] :
         {std::pair{unpaired, "Nombre de archivo no valido"}, std::pair{tooLong, "Nombre demasiado largo"}}) {
        try {
            p->loadSample(path);
            ADD_FAILURE() << "loaded a path the chunk cannot store";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), message);
        }
        EXPECT_EQ(save(*p), before);
    }
    EXPECT_TRUE(host.edits.empty());

    // Added files and a restored list: the storable ones, while they fit.
    std::vector<std::wstring> offered = {unpaired, tooLong};
    for (int i = 0; i < 70; ++i)
        offered.push_back(L"C:\\" + std::to_wstring(i) + std::wstring(65000, L'p'));
    auto prefixOfStorable = [&](const std::vector<std::wstring>& files, size_t skip) {
        return files.size() > skip && std::equal(files.begin() + skip, files.end(), offered.begin() + 2);
    };
    p->bank.addFiles(offered);
    const std::vector<std::wstring> files = p->bank.files();
    EXPECT_EQ(files.size(), 65u); // the one-shot and 64 paths of about 65 KB fill 4 MiB
    EXPECT_EQ(files[0], shot);
    EXPECT_TRUE(prefixOfStorable(files, 1));
    const Bytes full = save(*p);
    ASSERT_FALSE(full.empty());
    auto q = instance();
    ASSERT_EQ(restore(*q, full), 1);
    EXPECT_TRUE(q->bank.files() == files);
    EXPECT_TRUE(save(*q) == full);

    q->bank.restoreLibrary(L"D:\\", offered);
    EXPECT_TRUE(prefixOfStorable(q->bank.files(), 0));
    EXPECT_EQ(q->bank.files().size(), 64u);
    EXPECT_FALSE(save(*q).empty());
}

// restore(save(restore(x))) is restore(x): every chunk the reader accepts, of
// every version, with values between steps, saves and comes back the same.
TEST(StateRestore, ARestoredStateSavesAndRestoresToItself) {
    std::vector<float> offStep(16);
    for (int i = 0; i < 16; ++i)
        offStep[i] = 0.037f + 0.061f * float(i);
    auto old = [&](uint32_t version, uint32_t count) {
        Bytes b = header(version, count);
        for (uint32_t i = 0; i < count; ++i)
            putF32(b, offStep[i % 16]);
        return b;
    };
    const struct {
        const char* what;
        Bytes chunk;
    } cases[] = {
        {"version 1", old(1, 13)},
        {"version 2", old(2, 17)},
        {"version 3", old(3, 13)},
        {"version 4, values only", version4(offStep, "", "", "", {}, {})},
        {"version 4, a library and a WAV",
         version4(offStep, "Bell \xC3\xB1", "C:\\lib", "C:\\lib\\b.wav",
                  {"C:\\lib\\a.wav", "C:\\lib\\a.wav", "\\\\srv\\s\\\xF0\x9F\x8E\xB5.wav"},
                  pcm16Mono({100, -200, 300}, 44100))},
        {"version 4, a selection with no WAV", version4(offStep, "", "", "C:\\x.wav", {"C:\\y.wav"}, {})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto p = instance();
        ASSERT_EQ(restore(*p, c.chunk), 1);
        const Bytes saved = save(*p);
        ASSERT_FALSE(saved.empty());
        auto q = instance();
        ASSERT_EQ(restore(*q, saved), 1);
        EXPECT_EQ(q->snapshot(), p->snapshot());
        EXPECT_EQ(q->bank.files(), p->bank.files());
        EXPECT_EQ(q->bank.selection(), p->bank.selection());
        EXPECT_EQ(q->bank.directory(), p->bank.directory());
        EXPECT_EQ(q->bank.summary().name, p->bank.summary().name);
        EXPECT_EQ(save(*q), saved);
    }
}
