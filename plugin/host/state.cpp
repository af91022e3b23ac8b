// Opcodes 23 and 24: saving and restoring the state chunk.
#include <exception>

#include "plugin/host/state_chunk.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

intptr_t Plugin::saveState(void** destination) noexcept {
    if (!destination) return 0;
    try {
        std::lock_guard<std::mutex> lock(stateMutex);
        try {
            // One look at the library under its lock, so folder, list, selection
            // and the embedded one-shot belong together; the WAV bytes are copied
            // once, into the chunk.
            const ParamValues values = snapshot();
            bank.inspect([&](const LibraryView& library) { writeStateChunk(chunk, values, library); });
            *destination = chunk.data();
            return static_cast<intptr_t>(chunk.size());
        } catch (...) {
            *destination = nullptr;
            return 0;
        }
    } catch (...) { // the lock itself failed
        *destination = nullptr;
        return 0;
    }
}

intptr_t Plugin::restoreState(const void* data, intptr_t size) noexcept {
    if (!data || size < 0) return 0;
    try {
        // Everything that can fail or allocate happens here, before the lock.
        RestoredState state = readStateChunk(static_cast<const uint8_t*>(data), static_cast<size_t>(size));

        std::lock_guard<std::mutex> lock(stateMutex);
        // publish grows its list before it changes anything, so a failure there
        // leaves everything as it was; the steps after it cannot fail.
        bank.publish(std::move(state.sample), std::move(state.selection));
        bank.restoreLibrary(std::move(state.folder), std::move(state.files));
        for (int i = 0; i < paramCount; ++i)
            set(i, state.values[i]);
        return 1;
    } catch (...) {
        return 0;
    }
}

} // namespace palmtone
