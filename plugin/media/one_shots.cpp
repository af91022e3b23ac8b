// Loading a WAV one-shot as the sound and removing one from the library.
#include <algorithm>
#include <new>

#include "plugin/media/stored_library.hpp"
#include "plugin/media/wave.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

void Plugin::loadSample(const std::wstring& path) {
    // The path becomes the selection, which the state chunk stores.
    requireStorable(path);
    // Read and decode with no lock held; a failure changes nothing.
    std::unique_ptr<SampleData> sample = loadWave(path);
    const int32_t root = sample->hasRoot ? sample->rootNote : 60;
    std::vector<std::wstring> listed{path};
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        // Refuses, changing nothing, a sample the library has no room to save.
        bank.publishLoaded(std::move(sample), path);
        // Once the sample is published the load has happened: a library list that
        // cannot grow leaves the path unlisted, as a full library does.
        try {
            bank.addFiles(listed);
        } catch (const std::bad_alloc&) {
        }
        set(pWaveRoot, std::clamp(root / 127.0, 0.0, 1.0));
        set(pSound, 1.0);
    }
    edit(pWaveRoot, root);
    edit(pSound, 1.0);
}

bool Plugin::removeSample(const std::wstring& path, bool current) {
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        const bool removed = current ? bank.removeCurrent() : bank.removeFile(path);
        if (!removed) return false;
        const double old = params[pSound].load();
        set(pSound, 0.0);
        if (!(old > 0.5)) return false;
        resetRequest.exchange(true);
    }
    edit(pSound, 0.0);
    return true;
}

} // namespace palmtone
