// A whole instance: loading and removing one-shots with the parameters and host
// edits they cause, and saving and restoring the state chunk (opcodes 23, 24)
// all or nothing.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/host/state_chunk.hpp"
#include "plugin/plugin.hpp"
#include "tests/plugin/media/media_support.hpp"
#include "tests/support/quiet_host.hpp"

using namespace mediatest;
using palmtone::Plugin;

namespace {

// One edit notification: (opcode, index, value) of an automate, begin-edit or end-edit call.
using Edit = std::tuple<int32_t, int32_t, float>;

// The quiet host, without a time answer, keeping the edit notifications of
// every instance made with instance().
struct EditLog : velktest::QuietHost {
    EditLog() { answerTime = false; }
    std::vector<Edit> edits;

  protected:
    void heard(int32_t opcode, int32_t index, intptr_t, void*, float value) override {
        if (opcode == 0 || opcode == 43 || opcode == 44) edits.emplace_back(opcode, index, value);
    }
} host;

// The three calls of one host-notified edit.
std::vector<Edit> edited(int32_t index, float value) {
    return {{43, index, 0.0f}, {0, index, value}, {44, index, 0.0f}};
}

std::unique_ptr<Plugin> instance() {
    host.edits.clear();
    return host.makePlugin();
}

Bytes save(Plugin& p) {
    void* where = reinterpret_cast<void*>(1);
    const intptr_t size = p.dispatch(23, 0, 0, &where, 0.0f);
    if (size == 0) {
        EXPECT_EQ(where, nullptr);
        return {};
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(where);
    return Bytes(bytes, bytes + size);
}

intptr_t restore(Plugin& p, const Bytes& chunk) {
    return p.dispatch(24, 0, intptr_t(chunk.size()), const_cast<uint8_t*>(chunk.data()), 0.0f);
}

double param(Plugin& p, int index) {
    return p.params[index].load();
}

size_t ownedCount(Plugin& p) {
    std::lock_guard<std::mutex> lock(p.bank.mutex);
    return p.bank.owned.size();
}

// A one-shot file in the scratch folder: 16-bit mono, with a unity note if given.
std::wstring waveFile(const std::string& dir, const std::wstring& name, int unity = -1) {
    Bytes data;
    for (int16_t v : {0, 8000, 16000, 8000, 0, -8000})
        put16(data, uint16_t(v));
    const Bytes image =
        unity < 0
            ? riff({{"fmt ", fmtData(1, 1, 44100, 16)}, {"data", data}})
            : riff({{"fmt ", fmtData(1, 1, 44100, 16)}, {"smpl", smplData(uint32_t(unity))}, {"data", data}});
    const std::wstring path = hostFile(dir, name);
    writeBytes(path, image);
    return path;
}

std::vector<float> sixteen(float v = 0.5f) {
    return std::vector<float>(16, v);
}

} // namespace

TEST(LoadSample, PublishesListsAndSetsRootAndSound) {
    const std::string dir = scratchDir("load_sample");
    const std::wstring plain = waveFile(dir, L"plain.wav");
    const std::wstring rooted = waveFile(dir, L"rooted.wav", 48);
    auto p = instance();

    p->loadSample(plain);
    EXPECT_EQ(param(*p, palmtone::pWaveRoot), 60.0 / 127.0);
    EXPECT_EQ(param(*p, palmtone::pSound), 1.0);
    EXPECT_EQ(p->bank.selection(), plain);
    EXPECT_EQ(p->bank.files(), std::vector<std::wstring>{plain});
    EXPECT_EQ(p->bank.summary().name, L"plain");

    host.edits.clear();
    p->loadSample(rooted);
    EXPECT_EQ(param(*p, palmtone::pWaveRoot), 48.0 / 127.0);
    std::vector<Edit> expected = edited(14, float(48.0 / 127.0));
    for (const Edit& c : edited(13, 1.0f))
        expected.push_back(c);
    EXPECT_EQ(host.edits, expected); // "Raiz WAV" first
    EXPECT_EQ(ownedCount(*p), 1u);   // the replaced one-shot went at once
    EXPECT_FALSE(p->resetRequest.load());

    // The same path again: a new serial, one library entry.
    const int64_t serial = p->bank.published.load()->serial;
    p->loadSample(rooted);
    EXPECT_EQ(p->bank.published.load()->serial, serial + 1);
    EXPECT_EQ(p->bank.files().size(), 2u);
}

TEST(LoadSample, FullLibraryStillPublishesAndSelects) {
    const std::string dir = scratchDir("load_sample_full");
    const std::wstring path = waveFile(dir, L"extra.wav");
    auto p = instance();
    std::vector<std::wstring> many;
    for (int i = 0; i < 1024; ++i)
        many.push_back(L"C:\\lib\\" + std::to_wstring(i) + L".wav");
    p->bank.restoreLibrary(L"", many);
    p->loadSample(path);
    EXPECT_EQ(p->bank.selection(), path);
    EXPECT_EQ(p->bank.files(), many);
    EXPECT_NE(p->bank.published.load(), nullptr);
}

TEST(LoadSample, AFailedLoadChangesNothing) {
    const std::string dir = scratchDir("load_sample_fail");
    const std::wstring good = waveFile(dir, L"good.wav", 50);
    writeBytes(dir + "/bad.wav", Bytes(60, 0));
    auto p = instance();
    p->loadSample(good);
    const Bytes before = save(*p);
    host.edits.clear();
    for (const char* name : {"bad.wav", "missing.wav"}) {
        EXPECT_THROW(p->loadSample(hostPath(dir + "/" + name)), std::runtime_error);
        EXPECT_EQ(save(*p), before);
        EXPECT_TRUE(host.edits.empty());
    }
}

TEST(RemoveSample, ReportsAndResetsOnlyWhenTheWaveWasSounding) {
    const std::string dir = scratchDir("remove_sample");
    const std::wstring a = waveFile(dir, L"a.wav");
    const std::wstring b = waveFile(dir, L"b.wav");

    { // The selected one-shot while "Sonido" is the WAV.
        auto p = instance();
        p->loadSample(a);
        host.edits.clear();
        EXPECT_TRUE(p->removeSample(L"", true));
        EXPECT_TRUE(p->resetRequest.load());
        EXPECT_EQ(param(*p, palmtone::pSound), 0.0);
        EXPECT_EQ(host.edits, edited(13, 0.0f));
        EXPECT_EQ(p->bank.published.load(), nullptr);
        EXPECT_TRUE(p->bank.files().empty());
    }
    { // The selected one-shot while "Sonido" is the synth.
        auto p = instance();
        p->loadSample(a);
        p->set(palmtone::pSound, 0.0);
        host.edits.clear();
        EXPECT_FALSE(p->removeSample(L"", true));
        EXPECT_FALSE(p->resetRequest.load());
        EXPECT_EQ(param(*p, palmtone::pSound), 0.0);
        EXPECT_TRUE(host.edits.empty());
        EXPECT_EQ(p->bank.published.load(), nullptr);
    }
    { // A library entry that is not the selection; then the selection by its path.
        auto p = instance();
        p->loadSample(b);
        p->loadSample(a);
        host.edits.clear();
        EXPECT_FALSE(p->removeSample(b, false));
        EXPECT_EQ(p->bank.files(), std::vector<std::wstring>{a});
        EXPECT_NE(p->bank.published.load(), nullptr);
        EXPECT_EQ(param(*p, palmtone::pSound), 1.0);
        EXPECT_TRUE(host.edits.empty());
        EXPECT_TRUE(p->removeSample(a, false));
        EXPECT_EQ(p->bank.published.load(), nullptr);
    }
    { // A selection without a published sample.
        auto p = instance();
        p->bank.addFiles({a, b});
        p->bank.publish(nullptr, a);
        p->set(palmtone::pSound, 1.0);
        EXPECT_FALSE(p->removeSample(L"", true));
        EXPECT_EQ(p->bank.files(), std::vector<std::wstring>{b});
        EXPECT_TRUE(p->bank.selection().empty());
        EXPECT_EQ(param(*p, palmtone::pSound), 1.0);
    }
}

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
        b.resize(b.size() + extra, 0);
        return b;
    };
    Bytes good = version4(sixteen(), "n", "f", "s", {"a"}, wave);
    ASSERT_EQ(restore(*instance(), good), 1);
    host.edits.clear();
    auto cut = [](Bytes b, size_t n) {
        b.resize(b.size() - n);
        return b;
    };
    Bytes trailing = good;
    trailing.push_back(0);
    Bytes wrongMagic = good;
    wrongMagic[7] = 'X';

    const struct {
        const char* what;
        Bytes chunk;
    } cases[] = {
        {"15 bytes", Bytes(good.begin(), good.begin() + 15)},
        {"wrong magic", wrongMagic},
        {"version 4 with 13 values", valuesOnly(4, 13, 0.5f, 20)},
        {"version 5", valuesOnly(5, 16, 0.5f, 20)},
        {"version 1 of 72 bytes", valuesOnly(1, 13, 0.5f, 4)},
        {"version 2 with a value of 1.5",
         [&] {
             Bytes b = valuesOnly(2, 17, 0.5f, 0);
             b.resize(b.size() - 4);
             putF32(b, 1.5f);
             return b;
         }()},
        {"a value above 1", version4(std::vector<float>(16, std::nextafter(1.0f, 2.0f)), "", "", "", {}, {})},
        {"NaN",
         version4(std::vector<float>(16, std::numeric_limits<float>::quiet_NaN()), "", "", "", {}, {})},
        {"1025 files", version4(sixteen(), "", "", "", std::vector<std::string>(1025, "x"), {})},
        {"WAV longer than what remains", cut(good, 1)},
        {"a byte after the WAV", trailing},
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

TEST(LoadSample, RefusedWhenTheLibraryHasNoRoomToSaveIt) {
    const std::string dir = scratchDir("load_sample_no_room");
    const std::wstring shot = waveFile(dir, L"shot.wav");
    const std::wstring longer = waveFile(dir, L"a longer name.wav");
    auto p = instance();
    p->loadSample(shot);
    // Fill the library until `left` bytes remain before its 4 MiB.
    const size_t wave = p->bank.published.load()->file.size();
    int filler = 0; // numbers the filler paths
    auto fill = [&](size_t left) {
        for (;;) {
            const std::wstring i = std::to_wstring(filler++);
            const size_t need = palmtone::maxLibraryBytes - left - (save(*p).size() - 4 - wave);
            const size_t length = need > 65012 ? 60000 : need - 4;
            p->bank.addFiles({L"C:\\" + i + std::wstring(length - 3 - i.size(), L'f')});
            if (length == need - 4) break;
        }
    };
    // What the longer one-shot adds to the name and to the selection.
    const size_t extra = palmtone::storedBytes(longer) - palmtone::storedBytes(shot) +
                         palmtone::storedBytes(L"a longer name") - palmtone::storedBytes(L"shot");
    fill(extra - 1);
    const Bytes brim = save(*p);
    ASSERT_EQ(brim.size() - 4 - wave, palmtone::maxLibraryBytes - (extra - 1));
    host.edits.clear();
    try {
        p->loadSample(longer);
        ADD_FAILURE() << "loaded a one-shot the library has no room to save";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Biblioteca demasiado grande");
    }
    EXPECT_TRUE(save(*p) == brim);
    EXPECT_TRUE(host.edits.empty());

    // With one byte more it loads, selected but not listed, and still saves.
    p->removeSample(p->bank.files().back(), false);
    fill(extra);
    p->loadSample(longer);
    EXPECT_EQ(p->bank.selection(), longer);
    EXPECT_NE(p->bank.files().back(), longer);
    const Bytes after = save(*p);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.size() - 4 - wave, palmtone::maxLibraryBytes);
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

// The audio thread renders with the one-shot while this thread loads, removes
// and restores it; the sanitizers watch every sample the engine reads.
TEST(PluginStress, ProcessWhileOneShotsChange) {
    const std::string dir = scratchDir("plugin_stress");
    const std::wstring a = waveFile(dir, L"a.wav", 60);
    const std::wstring b = waveFile(dir, L"b.wav", 62);
    auto p = instance();
    p->loadSample(a);
    const Bytes withWave = save(*p);
    p->set(palmtone::pWholeOneShot, 1.0);
    ASSERT_TRUE(p->pushUiEvent(0x9F, 60, 100)); // a chord that keeps sounding

    std::atomic<bool> stop{false};
    std::atomic<int64_t> blocks{0};
    std::thread audio([&] {
        std::vector<float> left(64), right(64);
        float* outputs[2] = {left.data(), right.data()};
        while (!stop.load()) {
            p->process(outputs, 64);
            blocks.fetch_add(1);
        }
    });
    for (int i = 0; i < 1500; ++i) {
        switch (i % 4) {
        case 0: p->loadSample(i % 8 ? a : b); break;
        case 1:
            p->removeSample(L"", true);
            p->pushUiEvent(0x9F, 60, 100); // the removal's reset released the chord
            break;
        case 2: restore(*p, withWave); break;
        default: {
            std::lock_guard<std::mutex> lock(p->bank.mutex);
            p->bank.collectLocked();
        }
        }
        p->set(palmtone::pSound, 1.0);
    }
    const int64_t seen = blocks.load();
    while (blocks.load() < seen + 50)
        std::this_thread::yield();
    stop.store(true);
    audio.join();
    EXPECT_LE(ownedCount(*p), 2u);
    EXPECT_EQ(p->bank.inUse.load(), nullptr);
}
