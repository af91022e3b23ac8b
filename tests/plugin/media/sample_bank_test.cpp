// The one-shot library and the hand-over to the audio thread: list rules, folder
// scans, when retired samples are freed, the revision, and a two-thread stress
// run for the sanitizers.
#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "plugin/host/state_chunk.hpp"
#include "plugin/media/sample_bank.hpp"
#include "plugin/media/wave.hpp"
#include "plugin/text/text.hpp"
#include "tests/support/media_support.hpp"
#include "tests/support/waits.hpp"

using namespace velktest;
using palmtone::SampleBank;
using palmtone::SampleData;

namespace {

std::unique_ptr<SampleData> sample(const std::wstring& name = L"s", float level = 0.25f) {
    auto s = std::make_unique<SampleData>();
    s->name = name;
    s->left = {level, -level, level / 2};
    s->sampleRate = 48000.0;
    s->file = {1, 2, 3};
    s->peaks[0] = level;
    s->peaks[95] = 0.5f;
    return s;
}

bool owns(SampleBank& bank, const SampleData* p) {
    std::lock_guard<std::mutex> lock(bank.mutex);
    return std::any_of(bank.owned.begin(), bank.owned.end(),
                       [&](const std::unique_ptr<SampleData>& s) { return s.get() == p; });
}

size_t ownedCount(SampleBank& bank) {
    std::lock_guard<std::mutex> lock(bank.mutex);
    return bank.owned.size();
}

void collect(SampleBank& bank) {
    std::lock_guard<std::mutex> lock(bank.mutex);
    bank.collectLocked();
}

std::vector<std::wstring> numbered(size_t n) {
    std::vector<std::wstring> v;
    for (size_t i = 0; i < n; ++i)
        v.push_back(L"C:\\lib\\" + std::to_wstring(i) + L".wav");
    return v;
}

// Whether the library as it stands saves: the state chunk's writer takes it.
bool saves(SampleBank& bank) {
    palmtone::ParamValues values{};
    std::vector<uint8_t> chunk;
    try {
        bank.inspect(
            [&](const palmtone::LibraryView& library) { palmtone::writeStateChunk(chunk, values, library); });
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The bytes the library takes in a chunk before the WAV's byte count.
size_t libraryBytes(SampleBank& bank) {
    size_t bytes = 0;
    bank.inspect([&](const palmtone::LibraryView& l) {
        bytes = palmtone::libraryBaseBytes(l.name, l.folder, l.selection);
        for (const std::wstring& path : l.files)
            bytes += palmtone::storedBytes(path);
    });
    return bytes;
}

// A distinct path of `length` characters.
std::wstring longPath(size_t i, size_t length) {
    std::wstring path = L"C:\\" + std::to_wstring(i) + L"\\";
    path.resize(length - 4, L'p');
    return path + L".wav";
}

} // namespace

TEST(SampleBank, StartsEmpty) {
    SampleBank bank;
    const palmtone::SampleSummary s = bank.summary();
    EXPECT_EQ(s.name, L"Soft Keys");
    EXPECT_EQ(s.seconds, 0.0);
    EXPECT_EQ(s.sampleRate, 0.0);
    EXPECT_EQ(s.frames, 0u);
    EXPECT_TRUE(std::all_of(std::begin(s.peaks), std::end(s.peaks), [](float p) { return p == 0; }));
    std::wstring name = L"stale";
    EXPECT_TRUE(bank.embedded(name).empty());
    EXPECT_TRUE(name.empty());
    EXPECT_TRUE(bank.selection().empty());
    EXPECT_TRUE(bank.directory().empty());
    EXPECT_TRUE(bank.files().empty());
    EXPECT_EQ(bank.borrow(), nullptr);
    bank.giveBack();
    EXPECT_EQ(bank.revision.load(), 0);
}

TEST(SampleBank, SummaryAndSnapshotDescribeThePublishedSample) {
    SampleBank bank;
    bank.publish(sample(L""), L"C:\\a.wav");
    EXPECT_EQ(bank.summary().name, L""); // "Soft Keys" stands only for no sample
    bank.publish(sample(L"Bell"), L"C:\\bell.wav");
    bank.restoreLibrary(L"C:\\lib", {L"C:\\lib\\x.wav"});
    const palmtone::SampleSummary s = bank.summary();
    EXPECT_EQ(s.name, L"Bell");
    EXPECT_EQ(s.frames, 3u);
    EXPECT_EQ(s.sampleRate, 48000.0);
    EXPECT_EQ(s.seconds, 3.0 / 48000.0);
    EXPECT_EQ(s.peaks[0], 0.25f);
    EXPECT_EQ(s.peaks[95], 0.5f);

    std::wstring name;
    EXPECT_EQ(bank.embedded(name), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(name, L"Bell");
    bank.inspect([](const palmtone::LibraryView& view) {
        EXPECT_EQ(view.name, L"Bell");
        EXPECT_EQ(asVector(view.file), (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_EQ(view.folder, L"C:\\lib");
        EXPECT_EQ(view.selection, L"C:\\bell.wav");
        EXPECT_EQ(view.files, (std::vector<std::wstring>{L"C:\\lib\\x.wav"}));
    });
}

TEST(SampleBank, PublishNumbersSamplesAndFreesTheUnheldAtOnce) {
    SampleBank bank;
    for (int i = 0; i < 3; ++i)
        bank.publish(sample(), L"C:\\x.wav");
    EXPECT_EQ(ownedCount(bank), 1u);
    EXPECT_EQ(bank.published.load()->serial, 3);
    EXPECT_EQ(bank.nextSerial, 4);
    // A null sample with an empty path clears the selection and the sound, not the list.
    bank.addFiles({L"C:\\x.wav"});
    bank.publish(nullptr, L"");
    EXPECT_EQ(bank.published.load(), nullptr);
    EXPECT_EQ(ownedCount(bank), 0u);
    EXPECT_TRUE(bank.selection().empty());
    EXPECT_EQ(bank.files().size(), 1u);
}

TEST(SampleBank, KeepsAHeldSampleUntilTheCollectionAfterItsBlock) {
    SampleBank bank;
    bank.publish(sample(L"A"), L"C:\\a.wav");
    const SampleData* a = bank.borrow();
    ASSERT_NE(a, nullptr);
    bank.publish(sample(L"B"), L"C:\\b.wav");
    EXPECT_TRUE(owns(bank, a));
    collect(bank);
    EXPECT_TRUE(owns(bank, a)); // still in the hazard slot
    EXPECT_EQ(a->name, L"A");
    // Restoring the list and adding files never collect.
    bank.giveBack();
    bank.restoreLibrary(L"", {});
    bank.addFiles({L"C:\\c.wav"});
    EXPECT_TRUE(owns(bank, a));
    collect(bank);
    EXPECT_FALSE(owns(bank, a));
    EXPECT_EQ(ownedCount(bank), 1u);

    // The removals collect too.
    const SampleData* b = bank.borrow();
    EXPECT_TRUE(bank.removeCurrent());
    EXPECT_TRUE(owns(bank, b));
    bank.giveBack();
    bank.publish(sample(L"C"), L"C:\\c.wav");
    EXPECT_FALSE(owns(bank, b));
    const SampleData* c = bank.borrow();
    bank.giveBack();
    EXPECT_TRUE(bank.removeFile(L"c:/C.WAV"));
    EXPECT_FALSE(owns(bank, c));
}

TEST(SampleBank, AddFilesSkipsExactDuplicatesAndStopsAt1024) {
    SampleBank bank;
    bank.addFiles({L"C:\\a.wav", L"C:\\a.wav", L"C:\\A.wav", L"C:\\b.wav"});
    EXPECT_EQ(bank.files(), (std::vector<std::wstring>{L"C:\\a.wav", L"C:\\A.wav", L"C:\\b.wav"}));
    bank.addFiles({L"C:\\b.wav"});
    EXPECT_EQ(bank.files().size(), 3u);

    SampleBank full;
    full.restoreLibrary(L"", numbered(1023));
    const int32_t before = full.revision.load();
    full.addFiles({L"C:\\x.wav", L"C:\\y.wav", L"C:\\z.wav"});
    EXPECT_EQ(full.files().size(), 1024u);
    EXPECT_EQ(full.files().back(), L"C:\\x.wav");
    full.addFiles({L"C:\\w.wav"});
    EXPECT_EQ(full.files().size(), 1024u);
    EXPECT_EQ(full.revision.load(), before + 2); // counted even when nothing was added
}

TEST(SampleBank, LetsInNoPathAStateChunkCannotStore) {
    const std::wstring unpaired = L"C:\\" + std::wstring(1, wchar_t(0xDC00)) + L".wav";
    const std::wstring tooLong = L"C:\\" + std::wstring(21846, wchar_t(0x20AC)) + L".wav"; // 65545 bytes
    const std::vector<std::wstring> offered = {L"C:\\a.wav", unpaired, tooLong, L"C:\\b.wav"};
    const std::vector<std::wstring> kept = {L"C:\\a.wav", L"C:\\b.wav"};

    SampleBank added;
    added.addFiles(offered);
    EXPECT_EQ(added.files(), kept);
    SampleBank restored;
    restored.restoreLibrary(L"C:\\", offered);
    EXPECT_EQ(restored.files(), kept);
    for (SampleBank* bank : {&added, &restored})
        EXPECT_TRUE(saves(*bank));

    // A folder the chunk cannot store is refused before it is listed.
    SampleBank scanned;
    scanned.addFiles(kept);
    for (const std::wstring& folder : {unpaired, tooLong})
        EXPECT_THROW(scanned.scan(folder), std::runtime_error);
    EXPECT_EQ(scanned.files(), kept);
    EXPECT_TRUE(scanned.directory().empty());
}

TEST(SampleBank, HoldsNoMoreThanAStateChunkStores) {
    // Paths of 65000 characters: about 64 fit in 4 MiB, far fewer than 1024.
    std::vector<std::wstring> offered;
    for (size_t i = 0; i < 70; ++i)
        offered.push_back(longPath(i, 65000));

    SampleBank added;
    added.addFiles(offered);
    SampleBank restored;
    restored.restoreLibrary(L"D:\\lib", offered);
    for (SampleBank* bank : {&added, &restored}) {
        const std::vector<std::wstring> files = bank->files();
        ASSERT_LT(files.size(), offered.size());
        EXPECT_TRUE(std::equal(files.begin(), files.end(), offered.begin())); // the first ones, in order
        EXPECT_TRUE(saves(*bank));
        // Full: the next long path would not fit, a short one still does.
        EXPECT_GT(libraryBytes(*bank) + palmtone::storedBytes(offered[files.size()]),
                  palmtone::maxLibraryBytes);
        bank->addFiles({offered[files.size()], L"C:\\short.wav"});
        EXPECT_EQ(bank->files().size(), files.size() + 1);
        EXPECT_EQ(bank->files().back(), L"C:\\short.wav");
        EXPECT_TRUE(saves(*bank));
    }

    // A one-shot the user loads needs room for its name and its selection; its
    // WAV needs room beside the library.
    const size_t room = palmtone::maxLibraryBytes - libraryBytes(added);
    auto loaded = [](size_t fileBytes) {
        auto s = sample(L"n"); // one byte of name
        s->file.assign(fileBytes, 0);
        return s;
    };
    const int32_t before = added.revision.load();
    EXPECT_THROW(added.publishLoaded(loaded(3), std::wstring(room, L's')), std::runtime_error);
    EXPECT_EQ(added.published.load(), nullptr);
    EXPECT_TRUE(added.selection().empty());
    EXPECT_EQ(added.revision.load(), before);

    const std::wstring selection(room - 1, L's');
    added.publishLoaded(loaded(3), selection); // fills the library to 4 MiB exactly
    EXPECT_EQ(libraryBytes(added), palmtone::maxLibraryBytes);
    EXPECT_TRUE(saves(added));
    // 4 MiB of library, its 4-byte count and 64 MiB of WAV exceed 68 MiB by 4 bytes.
    EXPECT_THROW(added.publishLoaded(loaded(palmtone::maxWaveBytes), selection), std::runtime_error);
    added.publishLoaded(loaded(palmtone::maxWaveBytes - 4), selection);
    EXPECT_TRUE(saves(added));
}

TEST(SampleBank, RemoveFileMatchesTheNormalFormInAnyCase) {
    SampleBank bank;
    bank.addFiles({L"C:\\Lib\\Kick.wav", L"C:\\lib\\snare.wav", L"\\\\srv\\share\\Hat.wav",
                   L"C:\\Lib\\sub\\..\\kick.WAV"});
    bank.publish(sample(), L"\\\\srv\\share\\Hat.wav");

    EXPECT_FALSE(bank.removeFile(L"c:/lib//KICK.wav")); // not the selection
    EXPECT_EQ(bank.files().size(), 2u);                 // both spellings went
    EXPECT_NE(bank.published.load(), nullptr);

    // A network path keeps its two leading separators when normalised.
    EXPECT_FALSE(bank.removeFile(L"\\srv\\share\\hat.wav"));
    EXPECT_TRUE(bank.removeFile(L"//SRV/share/./hat.wav"));
    EXPECT_EQ(bank.published.load(), nullptr);
    EXPECT_TRUE(bank.selection().empty());
    EXPECT_EQ(bank.files(), (std::vector<std::wstring>{L"C:\\lib\\snare.wav"}));

    const int32_t before = bank.revision.load();
    EXPECT_FALSE(bank.removeFile(L""));
    EXPECT_EQ(bank.revision.load(), before);
    EXPECT_FALSE(bank.removeFile(L"C:\\none.wav"));
    EXPECT_EQ(bank.revision.load(), before + 1);
}

TEST(SampleBank, RemoveCurrentReportsWhetherASampleWasPublished) {
    SampleBank bank;
    bank.publish(sample(), L"");
    EXPECT_TRUE(bank.removeCurrent()); // empty selection, sample published
    EXPECT_EQ(bank.published.load(), nullptr);

    bank.addFiles({L"C:\\a.wav", L"C:\\b.wav", L"c:/A.WAV"});
    bank.publish(nullptr, L"C:\\a.wav"); // a selection without a sample
    const int32_t before = bank.revision.load();
    EXPECT_FALSE(bank.removeCurrent());
    EXPECT_EQ(bank.revision.load(), before + 1);
    EXPECT_EQ(bank.files(), (std::vector<std::wstring>{L"C:\\b.wav"}));
    EXPECT_TRUE(bank.selection().empty());
}

TEST(SampleBank, RestoreLibraryReplacesListAndFolderWhole) {
    SampleBank bank;
    bank.addFiles({L"C:\\old.wav"});
    bank.publish(sample(), L"C:\\old.wav");
    bank.restoreLibrary(L"D:\\new", {L"D:\\new\\a.wav", L"D:\\new\\a.wav"});
    EXPECT_EQ(bank.files(), (std::vector<std::wstring>{L"D:\\new\\a.wav", L"D:\\new\\a.wav"}));
    EXPECT_EQ(bank.directory(), L"D:\\new");
    EXPECT_EQ(bank.selection(), L"C:\\old.wav");
    EXPECT_NE(bank.published.load(), nullptr);
}

TEST(SampleBank, RevisionCountsEveryChange) {
    SampleBank bank;
    const std::string dir = scratchDir("bank_revision");
    int32_t expected = 0;
    auto changed = [&](const char* what) { EXPECT_EQ(bank.revision.load(), ++expected) << what; };
    bank.publish(sample(), L"C:\\a.wav");
    changed("publish");
    bank.addFiles({L"C:\\a.wav"});
    changed("addFiles");
    bank.restoreLibrary(L"", {L"C:\\a.wav"});
    changed("restoreLibrary");
    bank.scan(hostPath(dir));
    changed("scan");
    bank.removeFile(L"C:\\b.wav");
    changed("removeFile");
    bank.removeCurrent();
    changed("removeCurrent");
    bank.summary();
    bank.files();
    bank.inspect([](const palmtone::LibraryView&) {});
    collect(bank);
    EXPECT_EQ(bank.revision.load(), expected) << "reads and collections";
}

TEST(SampleBankScan, ListsWaveFilesSortedWithoutRecursion) {
    namespace fs = std::filesystem;
    const std::string dir = scratchDir("bank_scan");
    for (const char* name : {"c.txt", "B.wav", "a.WAV", "_under.Wav", ".wav", "x.wav.bak"})
        writeBytes(dir + "/" + name, {});
    fs::create_directories(fs::path(hostPath(dir + "/d.wav")));
    writeBytes(dir + "/d.wav/inner.wav", {});
#ifndef _WIN32
    fs::create_symlink(hostPath(dir + "/B.wav"), hostPath(dir + "/link.wav"));
    fs::create_symlink(hostPath(dir + "/gone"), hostPath(dir + "/dangling.wav"));
#endif

    SampleBank bank;
    bank.publish(sample(), L"C:\\kept.wav");
    bank.scan(hostPath(dir));
    std::vector<std::wstring> expected;
    // Folding to lower case sorts '_' before the letters.
    for (const char* name : {"_under.Wav", "a.WAV", "B.wav"})
        expected.push_back((fs::path(hostPath(dir)) / name).wstring());
#ifndef _WIN32
    expected.push_back((fs::path(hostPath(dir)) / "link.wav").wstring());
#endif
    EXPECT_EQ(bank.files(), expected);
    EXPECT_EQ(bank.directory(), hostPath(dir));
    EXPECT_EQ(bank.selection(), L"C:\\kept.wav");

    const int32_t before = bank.revision.load();
    try {
        bank.scan(hostPath(dir + "/missing"));
        ADD_FAILURE() << "scanned a missing folder";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "No se pudo abrir esa carpeta");
    }
    EXPECT_THROW(bank.scan(hostPath(dir + "/c.txt")), std::runtime_error);
    EXPECT_EQ(bank.files(), expected);
    EXPECT_EQ(bank.revision.load(), before);
}

TEST(SampleBankScan, KeepsAtMost1024Files) {
    const std::string dir = scratchDir("bank_scan_many");
    for (int i = 0; i < 1030; ++i)
        writeBytes(dir + "/" + std::to_string(i) + ".wav", {});
    SampleBank bank;
    bank.scan(hostPath(dir));
    const std::vector<std::wstring> files = bank.files();
    EXPECT_EQ(files.size(), 1024u);
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return palmtone::compareNoCase(a, b) < 0;
    }));
}

#ifndef _WIN32 // paths near 4000 characters; natively only
// A deep folder, a long name and a long selection leave too little room for
// 1024 WAV paths in a state chunk: the scan keeps, in sorted order, those that fit.
TEST(SampleBankScan, KeepsWhatAStateChunkStores) {
    namespace fs = std::filesystem;
    std::string dir = scratchDir("bank_scan_deep");
    while (dir.size() + 201 < 3981)
        dir += "/" + std::string(200, 'd');
    dir += "/" + std::string(3981 - dir.size() - 1, 'e');
    fs::create_directories(fs::path(hostPath(dir)));
    for (int i = 0; i < 1030; ++i) {
        const std::string name = std::to_string(10000 + i).substr(1) + ".wav";
        writeBytes(dir + "/" + name, {});
    }
    SampleBank bank;
    const std::wstring name(65536, L'n'), selection(65536, L's');
    bank.publish(sample(name), selection);
    const std::wstring folder = hostPath(dir);
    bank.scan(folder);

    const std::vector<std::wstring> files = bank.files();
    ASSERT_FALSE(files.empty());
    const size_t per = palmtone::storedBytes(files[0]); // every path has the same length
    EXPECT_EQ(per, 4 + 3981 + 9u);
    const size_t room = palmtone::maxLibraryBytes - palmtone::libraryBaseBytes(name, folder, selection);
    EXPECT_EQ(files.size(), room / per);
    EXPECT_LT(files.size(), 1024u);
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return palmtone::compareNoCase(a, b) < 0;
    }));
    EXPECT_TRUE(saves(bank));
}
#endif

// The audio thread borrows and gives back every block and reads the sample it
// holds, while this thread publishes, removes and collects; the sanitizers see
// any read of a freed sample and any race. Every 256 rounds wait for a block,
// so the two interleave however they are scheduled.
TEST(SampleBankStress, AudioThreadNeverSeesAFreedSample) {
    SampleBank bank;
    std::atomic<bool> stop{false};
    std::atomic<int64_t> blocks{0};
    std::atomic<int64_t> wrong{0};

    std::thread audio([&] {
        int64_t lastSerial = 0;
        while (!stop.load()) {
            const SampleData* p = bank.borrow();
            if (p) {
                // Everything the engine reads, in the block that borrowed it.
                const bool intact = p->left.size() == 3 && p->left[0] == 0.25f && p->left[1] == -0.25f &&
                                    p->sampleRate == 48000.0;
                if (!intact || p->serial < lastSerial) wrong.fetch_add(1);
                lastSerial = p->serial;
            }
            bank.giveBack();
            blocks.fetch_add(1);
        }
    });

    const int rounds = 4000;
    size_t mostOwned = 0;
    auto blocksRun = [&](int64_t n) {
        const int64_t until = blocks.load() + n;
        return velktest::waitFor([&] { return blocks.load() >= until; });
    };
    for (int i = 0; i < rounds; ++i) {
        const std::wstring path = L"C:\\lib\\" + std::to_wstring(i % 7) + L".wav";
        bank.publish(sample(), path);
        switch (i % 5) {
        case 1: bank.removeCurrent(); break;
        case 2: bank.removeFile(path); break;
        case 3: collect(bank); break;
        case 4: bank.addFiles({path}); break;
        default: break;
        }
        {
            std::lock_guard<std::mutex> lock(bank.mutex);
            bank.collectLocked();
            mostOwned = std::max(mostOwned, bank.owned.size());
        }
        if (i % 256 == 0 && !blocksRun(1)) {
            ADD_FAILURE() << "the audio thread stopped before round " << i;
            break;
        }
    }
    // Let the audio thread run some blocks with the last sample too.
    EXPECT_TRUE(blocksRun(100)) << "the audio thread stopped";
    stop.store(true);
    audio.join();

    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(mostOwned, 2u);
    collect(bank);
    EXPECT_LE(ownedCount(bank), 1u);
    EXPECT_EQ(bank.inUse.load(), nullptr);
}
