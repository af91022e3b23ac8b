#include "tools/vst-host/import_patch.hpp"

#include <windows.h>

#include <cstring>
#include <stdexcept>

namespace vsthost {

namespace {

// Each thunk is 16 bytes of code:
//   F0 48 FF 05 rel32   lock inc qword [rip + rel32]   the slot's counter
//   FF 25 rel32         jmp qword [rip + rel32]        the slot's original target
//   CC CC               padding
// and a 16-byte record (counter, target) in the data page(s) after the code.
// It changes no register and no stack byte, so the callee sees the call as the
// DLL made it, whatever its arguments; only the flags change, which no call
// preserves anyway.
constexpr size_t thunkBytes = 16;
constexpr size_t recordBytes = 16;

struct Record {
    uint64_t calls;
    void* target;
};

void putRel32(unsigned char* at, const void* target, const unsigned char* nextInstruction) {
    const int64_t rel = static_cast<const unsigned char*>(target) - nextInstruction;
    if (rel < INT32_MIN || rel > INT32_MAX) throw std::runtime_error("thunk record out of reach");
    const int32_t r = static_cast<int32_t>(rel);
    std::memcpy(at, &r, 4);
}

void writeSlot(void** slot, void* value) {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old))
        throw std::runtime_error("cannot make an import slot writable");
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
}

const Watched* find(const std::vector<Watched>& watched, const char* name, bool anyCase) {
    for (const Watched& w : watched)
        if ((anyCase ? _stricmp(w.name, name) : std::strcmp(w.name, name)) == 0) return &w;
    return nullptr;
}

} // namespace

const std::vector<Watched>& audioThreadForbidden() {
    static const std::vector<Watched> table = {
        // The C runtime's allocation functions (operator new and delete,
        // statically linked into the DLL, end in these).
        {"malloc", "allocation"},
        {"calloc", "allocation"},
        {"realloc", "allocation"},
        {"free", "allocation"},
        {"_aligned_malloc", "allocation"},
        {"_aligned_realloc", "allocation"},
        {"_aligned_recalloc", "allocation"},
        {"_aligned_offset_malloc", "allocation"},
        {"_aligned_free", "allocation"},
        {"_recalloc", "allocation"},
        {"_expand", "allocation"},
        {"_strdup", "allocation"},
        {"_wcsdup", "allocation"},
        {"strdup", "allocation"},
        {"wcsdup", "allocation"},
        // kernel32's heaps and pages.
        {"HeapAlloc", "allocation"},
        {"HeapReAlloc", "allocation"},
        {"HeapFree", "allocation"},
        {"HeapCreate", "allocation"},
        {"HeapDestroy", "allocation"},
        {"LocalAlloc", "allocation"},
        {"LocalReAlloc", "allocation"},
        {"LocalFree", "allocation"},
        {"GlobalAlloc", "allocation"},
        {"GlobalReAlloc", "allocation"},
        {"GlobalFree", "allocation"},
        {"VirtualAlloc", "allocation"},
        {"VirtualFree", "allocation"},
        // Critical sections, slim reader/writer locks, the C runtime's own locks,
        // and the kernel objects a pthread mutex or condition variable uses.
        {"EnterCriticalSection", "lock"},
        {"LeaveCriticalSection", "lock"},
        {"TryEnterCriticalSection", "lock"},
        {"InitializeCriticalSection", "lock"},
        {"InitializeCriticalSectionAndSpinCount", "lock"},
        {"InitializeCriticalSectionEx", "lock"},
        {"DeleteCriticalSection", "lock"},
        {"AcquireSRWLockExclusive", "lock"},
        {"AcquireSRWLockShared", "lock"},
        {"TryAcquireSRWLockExclusive", "lock"},
        {"TryAcquireSRWLockShared", "lock"},
        {"ReleaseSRWLockExclusive", "lock"},
        {"ReleaseSRWLockShared", "lock"},
        {"_lock", "lock"},
        {"_unlock", "lock"},
        {"_lock_file", "lock"},
        {"_unlock_file", "lock"},
        {"CreateMutexA", "lock"},
        {"CreateMutexW", "lock"},
        {"ReleaseMutex", "lock"},
        {"CreateSemaphoreA", "lock"},
        {"CreateSemaphoreW", "lock"},
        {"ReleaseSemaphore", "lock"},
        {"CreateEventA", "lock"},
        {"CreateEventW", "lock"},
        {"SetEvent", "lock"},
        {"ResetEvent", "lock"},
        // Waits.
        {"WaitForSingleObject", "wait"},
        {"WaitForSingleObjectEx", "wait"},
        {"WaitForMultipleObjects", "wait"},
        {"WaitForMultipleObjectsEx", "wait"},
        {"SignalObjectAndWait", "wait"},
        {"SleepConditionVariableCS", "wait"},
        {"SleepConditionVariableSRW", "wait"},
        {"WakeConditionVariable", "wait"},
        {"WakeAllConditionVariable", "wait"},
        {"WaitOnAddress", "wait"},
        {"WakeByAddressSingle", "wait"},
        {"WakeByAddressAll", "wait"},
        {"MsgWaitForMultipleObjects", "wait"},
        {"MsgWaitForMultipleObjectsEx", "wait"},
        // Sleeps.
        {"Sleep", "sleep"},
        {"SleepEx", "sleep"},
        {"SwitchToThread", "sleep"},
    };
    return table;
}

const std::vector<Watched>& audioThreadForbiddenDlls() {
    static const std::vector<Watched> table = {
        {"user32.dll", "window"},   {"gdi32.dll", "window"},    {"shell32.dll", "window"},
        {"ole32.dll", "window"},    {"oleaut32.dll", "window"}, {"comdlg32.dll", "window"},
        {"comctl32.dll", "window"},
    };
    return table;
}

void* moduleOf(const void* address) noexcept {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        return nullptr;
    return module;
}

ImportCounter::ImportCounter(void* module, const std::vector<Watched>& functions,
                             const std::vector<Watched>& dlls) {
    auto* base = static_cast<unsigned char*>(module);
    if (!base) throw std::runtime_error("no module to patch");
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        throw std::runtime_error("not a 64-bit PE image");
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0 || dir.Size == 0) throw std::runtime_error("the module imports nothing");

    // First the slots to patch, with their names; then the thunks.
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name != 0;
         ++d) {
        const char* dll = reinterpret_cast<const char*>(base + d->Name);
        const Watched* wholeDll = find(dlls, dll, true);
        // The name table; GNU ld always writes it, and without it names are unknown.
        if (d->OriginalFirstThunk == 0) continue;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA64*>(base + d->OriginalFirstThunk);
        auto** table = reinterpret_cast<void**>(base + d->FirstThunk);
        for (size_t i = 0; names[i].u1.AddressOfData != 0; ++i) {
            if (IMAGE_SNAP_BY_ORDINAL64(names[i].u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData);
            const char* function = reinterpret_cast<const char*>(byName->Name);
            const Watched* w = wholeDll ? wholeDll : find(functions, function, false);
            if (w) {
                slots_.push_back({dll, function, w->kind});
                patched_.push_back(&table[i]);
                originals_.push_back(table[i]);
            }
        }
    }

    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    const size_t n = slots_.size() ? slots_.size() : 1;
    codeBytes_ = (n * thunkBytes + page - 1) / page * page;
    totalBytes_ = codeBytes_ + (n * recordBytes + page - 1) / page * page;
    thunks_ = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, totalBytes_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!thunks_) throw std::runtime_error("no memory for the counting thunks");

    for (size_t i = 0; i < slots_.size(); ++i) {
        unsigned char* code = thunks_ + i * thunkBytes;
        auto* record = reinterpret_cast<Record*>(thunks_ + codeBytes_ + i * recordBytes);
        record->calls = 0;
        record->target = originals_[i];
        const unsigned char prologue[] = {0xF0, 0x48, 0xFF, 0x05};
        std::memcpy(code, prologue, 4);
        putRel32(code + 4, &record->calls, code + 8);
        code[8] = 0xFF;
        code[9] = 0x25;
        putRel32(code + 10, &record->target, code + 14);
        code[14] = code[15] = 0xCC;
    }
    DWORD old = 0;
    if (!VirtualProtect(thunks_, codeBytes_, PAGE_EXECUTE_READ, &old)) {
        VirtualFree(thunks_, 0, MEM_RELEASE);
        throw std::runtime_error("cannot make the counting thunks executable");
    }
    FlushInstructionCache(GetCurrentProcess(), thunks_, codeBytes_);
    try {
        for (; live_ < slots_.size(); ++live_)
            writeSlot(patched_[live_], thunks_ + live_ * thunkBytes);
    } catch (...) {
        unpatch();
        throw;
    }
}

ImportCounter::~ImportCounter() {
    unpatch();
}

void ImportCounter::unpatch() noexcept {
    for (size_t i = 0; i < live_; ++i) {
        try {
            writeSlot(patched_[i], originals_[i]);
        } catch (...) {
        }
    }
    live_ = 0;
    if (thunks_) VirtualFree(thunks_, 0, MEM_RELEASE);
    thunks_ = nullptr;
}

uint64_t ImportCounter::calls(size_t i) const noexcept {
    const auto* record = reinterpret_cast<const Record*>(thunks_ + codeBytes_ + i * recordBytes);
    return __atomic_load_n(&record->calls, __ATOMIC_SEQ_CST);
}

std::vector<uint64_t> ImportCounter::snapshot() const {
    std::vector<uint64_t> out(slots_.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = calls(i);
    return out;
}

std::string describeCalls(const ImportCounter& counter, const std::vector<uint64_t>& calls) {
    std::string out;
    for (size_t i = 0; i < calls.size() && i < counter.size(); ++i) {
        if (calls[i] == 0) continue;
        if (!out.empty()) out += ", ";
        const ImportCounter::Slot& s = counter.slot(i);
        out += s.function + " " + std::to_string(calls[i]) + " (" + s.dll + ", " + s.kind + ")";
    }
    return out;
}

} // namespace vsthost
