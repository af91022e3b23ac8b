#include "plugin/media/sample_bank.hpp"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "plugin/media/stored_library.hpp"
#include "plugin/text/text.hpp"
#include "plugin/text/windows_path.hpp"

namespace palmtone {

namespace {

using Lock = std::lock_guard<std::mutex>;

// Removal matches paths by their normal form, ignoring letter case.
struct PathMatch {
    std::wstring key;
    explicit PathMatch(const std::wstring& path) : key(winpath::lexicallyNormal(path)) {}
    bool operator()(const std::wstring& other) const {
        return compareNoCase(winpath::lexicallyNormal(other), key) == 0;
    }
};

// Every normal form is made before the list changes, so running out of memory
// on the way leaves the list whole.
void removeMatching(std::vector<std::wstring>& paths, const PathMatch& match) {
    std::vector<char> drop(paths.size());
    for (size_t i = 0; i < paths.size(); ++i)
        drop[i] = match(paths[i]);
    size_t kept = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (drop[i]) continue;
        if (kept != i) paths[kept] = std::move(paths[i]);
        ++kept;
    }
    paths.resize(kept);
}

bool isWaveName(const std::wstring& name) {
    return compareNoCase(winpath::extension(name), L".wav") == 0;
}

const std::wstring noName; // of no published one-shot

// What a library takes in a state chunk before the WAV's byte count.
size_t libraryBytes(const std::wstring& name, const std::wstring& folder, const std::wstring& selection,
                    const std::vector<std::wstring>& paths) noexcept {
    size_t bytes = libraryBaseBytes(name, folder, selection);
    for (const std::wstring& path : paths)
        bytes += storedBytes(path);
    return bytes;
}

// Keeps, in order, the paths that a state chunk beside a library of `bytes`
// and a WAV of `wave` bytes can still store, up to maxFiles; the rest go.
void keepFitting(std::vector<std::wstring>& paths, size_t bytes, size_t wave) {
    size_t kept = 0;
    for (size_t i = 0; i < paths.size() && kept < SampleBank::maxFiles; ++i) {
        const size_t cost = storedBytes(paths[i]);
        if (!libraryFits(bytes + cost, wave)) continue;
        bytes += cost;
        if (kept != i) paths[kept] = std::move(paths[i]);
        ++kept;
    }
    paths.resize(kept);
}

} // namespace

SampleBank::~SampleBank() = default; // members go in reverse order: lists first, samples last

void SampleBank::publishLoaded(std::unique_ptr<SampleData> sample, std::wstring selection) {
    Lock lock(mutex);
    const size_t bytes = libraryBytes(sample ? sample->name : noName, folderPath, selection, paths);
    if (!libraryFits(bytes, sample ? sample->file.size() : 0)) throw std::runtime_error(libraryTooLarge);
    publishLocked(std::move(sample), std::move(selection));
}

void SampleBank::publish(std::unique_ptr<SampleData> sample, std::wstring selection) {
    Lock lock(mutex);
    publishLocked(std::move(sample), std::move(selection));
}

void SampleBank::publishLocked(std::unique_ptr<SampleData> sample, std::wstring selection) {
    // Grow first: if that fails nothing has changed and the caller's sample is freed.
    if (sample) owned.reserve(owned.size() + 1);
    SampleData* address = sample.get();
    if (sample) {
        sample->serial = nextSerial++;
        owned.push_back(std::move(sample));
    }
    selectedPath = std::move(selection);
    published.exchange(address);
    collectLocked();
    revision.fetch_add(1);
}

void SampleBank::restoreLibrary(std::wstring folder, std::vector<std::wstring> newFiles) {
    Lock lock(mutex);
    // A chunk the reader took fits whole; this only guards other callers.
    const SampleData* p = published.load();
    keepFitting(newFiles, libraryBaseBytes(p ? p->name : noName, folder, selectedPath),
                p ? p->file.size() : 0);
    folderPath = std::move(folder);
    paths = std::move(newFiles);
    revision.fetch_add(1);
}

void SampleBank::addFiles(const std::vector<std::wstring>& newPaths) {
    Lock lock(mutex);
    const SampleData* p = published.load();
    const size_t wave = p ? p->file.size() : 0;
    size_t bytes = libraryBytes(p ? p->name : noName, folderPath, selectedPath, paths);
    for (const std::wstring& path : newPaths) {
        if (paths.size() >= maxFiles) break;
        if (std::find(paths.begin(), paths.end(), path) != paths.end()) continue;
        const size_t cost = storedBytes(path);
        if (!libraryFits(bytes + cost, wave)) continue; // a shorter path may still fit
        paths.push_back(path);
        bytes += cost;
    }
    revision.fetch_add(1);
}

bool SampleBank::removeCurrent() {
    Lock lock(mutex);
    const bool hadSample = published.load() != nullptr;
    if (!selectedPath.empty()) removeMatching(paths, PathMatch(selectedPath));
    published.exchange(nullptr);
    selectedPath.clear();
    collectLocked();
    revision.fetch_add(1);
    return hadSample;
}

bool SampleBank::removeFile(const std::wstring& path) {
    if (path.empty()) return false;
    Lock lock(mutex);
    const PathMatch match(path);
    const bool matched = !selectedPath.empty() && match(selectedPath);
    removeMatching(paths, match);
    if (matched) {
        published.exchange(nullptr);
        selectedPath.clear();
        collectLocked();
    }
    revision.fetch_add(1);
    return matched;
}

void SampleBank::scan(const std::wstring& folder) {
    namespace fs = std::filesystem;
    requireStorable(folder); // the folder is saved with the list
    std::error_code error;
    fs::directory_iterator it(fs::path(folder), error);
    if (error) throw std::runtime_error(folderUnreadable);

    std::vector<std::wstring> found;
    for (const fs::directory_iterator end; it != end; ++it) {
        std::error_code statusError;
        const fs::file_status status = it->status(statusError); // follows links
        if (statusError || !fs::is_regular_file(status)) continue;
        if (!isWaveName(it->path().filename().wstring())) continue;
        std::wstring path = it->path().wstring();
        if (!isStorablePath(path)) continue;
        found.push_back(std::move(path));
        if (found.size() == maxFiles) break; // the listing is not read further
    }
    std::sort(found.begin(), found.end(),
              [](const std::wstring& a, const std::wstring& b) { return compareNoCase(a, b) < 0; });

    Lock lock(mutex);
    const SampleData* p = published.load();
    keepFitting(found, libraryBaseBytes(p ? p->name : noName, folder, selectedPath), p ? p->file.size() : 0);
    folderPath = folder;
    paths = std::move(found);
    revision.fetch_add(1);
}

SampleSummary SampleBank::summary() {
    SampleSummary s;
    Lock lock(mutex);
    if (const SampleData* p = published.load()) {
        s.name = p->name;
        s.frames = p->left.size();
        s.sampleRate = p->sampleRate;
        s.seconds = double(s.frames) / p->sampleRate;
        std::copy(std::begin(p->peaks), std::end(p->peaks), std::begin(s.peaks));
    }
    return s;
}

std::vector<uint8_t> SampleBank::embedded(std::wstring& name) {
    Lock lock(mutex);
    if (const SampleData* p = published.load()) {
        name = p->name;
        return std::vector<uint8_t>(p->file.begin(), p->file.end());
    }
    name.clear();
    return {};
}

std::wstring SampleBank::directory() {
    Lock lock(mutex);
    return folderPath;
}

std::wstring SampleBank::selection() {
    Lock lock(mutex);
    return selectedPath;
}

std::vector<std::wstring> SampleBank::files() {
    Lock lock(mutex);
    return paths;
}

void SampleBank::collectLocked() {
    // Published first, then the hazard slot: a sample the audio thread announced
    // after the retirement is either seen here or was never used (it re-reads
    // `published` after announcing, sees the change and retries).
    const SampleData* keep = published.load();
    const SampleData* held = inUse.load();
    owned.erase(std::remove_if(
                    owned.begin(), owned.end(),
                    [&](const std::unique_ptr<SampleData>& s) { return s.get() != keep && s.get() != held; }),
                owned.end());
}

const SampleData* SampleBank::borrow() noexcept {
    for (;;) {
        SampleData* p = published.load();
        inUse.exchange(p);
        if (published.load() == p) return p;
    }
}

void SampleBank::giveBack() noexcept {
    inUse.exchange(nullptr);
}

} // namespace palmtone
