#pragma once
// The one-shot library and the lock-free hand-over of the selected sample to the
// audio thread. Everything but `published`/`inUse` is guarded by `mutex`; the
// audio thread only borrows and gives back (hazard slot `inUse`), never locks,
// allocates or frees. Samples are freed only by a collection that finds them
// neither published nor in the hazard slot.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "plugin/media/sample_data.hpp"
#include "plugin/media/stored_library.hpp"

namespace palmtone {

// What scan throws for a folder it cannot list; the editor shows the same text
// when the folder browser gives no path.
constexpr char folderUnreadable[] = "No se pudo abrir esa carpeta";

struct SampleSummary {
    std::wstring name = L"Soft Keys";
    double seconds = 0.0;
    double sampleRate = 0.0;
    uint64_t frames = 0; // 0: no WAV loaded
    float peaks[peakBins] = {};
};

struct SampleBank {
    static constexpr size_t maxFiles = 1024;

    std::mutex mutex;
    std::vector<std::unique_ptr<SampleData>> owned; // every sample still alive
    std::atomic<SampleData*> published{nullptr};    // written by exchange under the mutex
    std::atomic<SampleData*> inUse{nullptr};        // hazard slot, written by the audio thread only
    std::vector<std::wstring> paths;
    std::wstring folderPath;
    std::wstring selectedPath;
    int64_t nextSerial = 1;
    std::atomic<int32_t> revision{0};

    ~SampleBank();

    // --- UI and state threads; each takes `mutex` itself ---
    // The library always fits a state chunk (isStorablePath, libraryFits in
    // stored_library.hpp), so a save never fails on what it holds: a path that
    // cannot be stored, or that no longer fits, does not enter it.
    void publish(std::unique_ptr<SampleData> sample, std::wstring selection);
    // publish for a one-shot the user loads: when the library would no longer
    // fit with this sample and selection, throws "Biblioteca demasiado grande"
    // and changes nothing (restore publishes a library that the reader checked).
    void publishLoaded(std::unique_ptr<SampleData> sample, std::wstring selection);
    // Takes the files that fit, in order, up to maxFiles.
    void restoreLibrary(std::wstring folder, std::vector<std::wstring> files);
    // Appends each path that is new, storable and fits, up to maxFiles.
    void addFiles(const std::vector<std::wstring>& newPaths);
    bool removeCurrent();
    bool removeFile(const std::wstring& path);
    // Lists outside the lock; throws on failure and for a folder that cannot
    // be stored. Keeps the storable WAV files that fit, in sorted order.
    void scan(const std::wstring& folder);
    SampleSummary summary();
    std::vector<uint8_t> embedded(std::wstring& name);
    std::wstring directory();
    std::wstring selection();
    std::vector<std::wstring> files();
    // Calls read(const LibraryView&) under the mutex: one consistent look at the
    // library without copying the one-shot's bytes (a state save writes them
    // straight into its chunk). read must not call back into the bank.
    template <class Read> void inspect(Read&& read) {
        static const std::wstring noName;
        std::lock_guard<std::mutex> lock(mutex);
        const SampleData* p = published.load();
        read(LibraryView{p ? p->name : noName, p ? ByteView(p->file) : ByteView(), folderPath, selectedPath,
                         paths});
    }

    // The caller holds `mutex`: frees every sample neither published nor in use.
    void collectLocked();
    // The caller holds `mutex`: publish's work.
    void publishLocked(std::unique_ptr<SampleData> sample, std::wstring selection);

    // --- audio thread: the hand-over ---
    // Announces and returns the published sample for one block (may be null).
    const SampleData* borrow() noexcept;
    // Ends the block's use of the borrowed sample.
    void giveBack() noexcept;
};

} // namespace palmtone
