#pragma once
// Counts the calls a loaded DLL makes to chosen imported functions, by pointing
// the slots of its own import address table at small counting thunks. Only the
// DLL's own calls are seen (the host's, and those inside other DLLs, go through
// other tables). Meant for one-threaded checks: patch, drive the DLL, read the
// counts, unpatch (the destructor).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

// What the audio thread must never do, by imported function: allocate or free
// through the C runtime or kernel32, take a lock, wait or sleep; and, by the
// DLL imported from, touch a window (user32, gdi32, the shell, COM, the common
// dialogs).
struct Watched {
    const char* name; // a function's name, or a DLL's for every import from it
    const char* kind; // "allocation", "lock", "wait", "sleep" or "window"
};
const std::vector<Watched>& audioThreadForbidden();
const std::vector<Watched>& audioThreadForbiddenDlls();

// The loaded module that holds `address` (a function of a DLL, say); null when none.
void* moduleOf(const void* address) noexcept;

class ImportCounter {
  public:
    struct Slot {
        std::string dll; // as the import table names it, e.g. "msvcrt.dll"
        std::string function;
        std::string kind;
    };

    // Patches every import of `module` by name that `functions` lists, from any
    // DLL it imports from, and every import from a DLL that `dlls` names (in
    // any letter case). Throws std::runtime_error for a module without an
    // import table or when memory for the thunks cannot be had.
    ImportCounter(void* module, const std::vector<Watched>& functions, const std::vector<Watched>& dlls = {});
    ~ImportCounter(); // puts the original addresses back
    ImportCounter(const ImportCounter&) = delete;
    ImportCounter& operator=(const ImportCounter&) = delete;

    size_t size() const noexcept { return slots_.size(); }
    const Slot& slot(size_t i) const { return slots_[i]; }
    // Calls through slot i since it was patched.
    uint64_t calls(size_t i) const noexcept;
    // All slots' counts, in slot order.
    std::vector<uint64_t> snapshot() const;

  private:
    void unpatch() noexcept;

    std::vector<Slot> slots_;
    std::vector<void**> patched_;     // the import table entries changed
    std::vector<void*> originals_;    // what they held
    size_t live_ = 0;                 // slots now pointing at their thunk
    unsigned char* thunks_ = nullptr; // code page(s), then one data record per slot
    size_t codeBytes_ = 0;
    size_t totalBytes_ = 0;
};

// Calls made through the counter's slots while `work` runs, added into `into`
// (sized to the counter on first use).
template <class Work>
void countDuring(const ImportCounter& counter, std::vector<uint64_t>& into, Work&& work) {
    const std::vector<uint64_t> before = counter.snapshot();
    work();
    const std::vector<uint64_t> after = counter.snapshot();
    into.resize(after.size());
    for (size_t i = 0; i < after.size(); ++i)
        into[i] += after[i] - before[i];
}

// "malloc 2 (msvcrt.dll, allocation), ..." for the slots with a count; "" for none.
std::string describeCalls(const ImportCounter& counter, const std::vector<uint64_t>& calls);

} // namespace vsthost
