// Loading and removing one-shots on a whole instance: the lists, the
// parameters and the host edits they cause, what a failed or refused load
// leaves, and the audio thread rendering while one-shots change.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/host/state_chunk.hpp"
#include "plugin/plugin.hpp"
#include "tests/support/one_shot_instance.hpp"
#include "tests/support/waits.hpp"

using namespace velktest;

namespace {

// The three calls of one host-notified edit.
std::vector<Edit> edited(int32_t index, float value) {
    return {{43, index, 0.0f}, {0, index, value}, {44, index, 0.0f}};
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

// The audio thread renders with the one-shot while this thread loads, removes
// and restores it; the sanitizers watch every sample the engine reads. Every
// few changes wait for a block, so blocks run between them however the two
// threads are scheduled.
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
    auto blocksRun = [&](int64_t n) {
        const int64_t until = blocks.load() + n;
        return velktest::waitFor([&] { return blocks.load() >= until; });
    };
    for (int i = 0; i < 1500; ++i) {
        if (i % 16 == 0 && !blocksRun(1)) {
            ADD_FAILURE() << "the audio thread stopped before change " << i;
            break;
        }
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
    EXPECT_TRUE(blocksRun(50)) << "the audio thread stopped";
    stop.store(true);
    audio.join();
    EXPECT_LE(ownedCount(*p), 2u);
    EXPECT_EQ(p->bank.inUse.load(), nullptr);
}
