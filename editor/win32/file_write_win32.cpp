#include "editor/win32/file_write_win32.hpp"

#include <objbase.h>

namespace palmtone {

WriteFunction fileWriter = ::WriteFile;

namespace {

class FileHandle {
  public:
    explicit FileHandle(HANDLE h) noexcept : h_(h) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const noexcept { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const noexcept { return h_; }
    bool close() noexcept {
        if (!valid()) return true;
        const bool ok = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE h_;
};

// Creates path with CREATE_NEW and writes every byte with one call. A file it
// created but could not fill is deleted: CREATE_NEW made it ours.
bool createAndWrite(const std::wstring& path, const std::vector<uint8_t>& bytes, bool flush) {
    if (bytes.size() > MAXDWORD) return false;
    FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(bytes.size());
    const bool wrote = fileWriter(file.get(), bytes.data(), size, &written, nullptr) != 0 && written == size;
    const bool flushed = !flush || FlushFileBuffers(file.get()) != 0;
    const bool ok = file.close() && wrote && flushed;
    if (!ok) DeleteFileW(path.c_str());
    return ok;
}

std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool absolute(const std::wstring& path) noexcept {
    if (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) {
        const wchar_t d = path[0];
        return (d >= L'A' && d <= L'Z') || (d >= L'a' && d <= L'z');
    }
    return path.size() >= 3 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/');
}

} // namespace

bool writeFileNew(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    return createAndWrite(path, bytes, false);
}

bool writeFileReplacing(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    // A name of our own in the target's folder, so the final move stays on one volume.
    std::wstring guid;
    if (!guidText(guid)) return false;
    const std::wstring temporary = folderOf(path) + L"~VELK_" + guid + L".tmp";
    if (!createAndWrite(temporary, bytes, true)) return false;
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool guidText(std::wstring& text) {
    GUID guid;
    if (CoCreateGuid(&guid) < 0) return false;
    wchar_t buffer[40] = {};
    if (StringFromGUID2(guid, buffer, 40) == 0) return false;
    text = buffer;
    return true;
}

bool temporaryFolderPath(std::wstring& folder) {
    // The folder may be longer than any fixed buffer: ask for the length, then
    // read it, again if it grew meanwhile.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD needed = GetTempPathW(0, nullptr);
        if (needed == 0) return false;
        std::wstring buffer(static_cast<size_t>(needed) + 1, L'\0');
        const DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), &buffer[0]);
        if (length == 0) return false;
        if (length >= buffer.size()) continue;
        buffer.resize(length);
        if (!absolute(buffer)) return false;
        if (buffer.back() != L'\\' && buffer.back() != L'/') buffer += L'\\';
        folder = std::move(buffer);
        return true;
    }
    return false;
}

} // namespace palmtone
