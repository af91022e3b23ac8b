#pragma once
// The files the take export writes, and the names it makes for them. One
// WriteFile call writes all bytes; the call goes through `fileWriter` so that
// tests can make writes fail or fall short.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace palmtone {

using WriteFunction = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
extern WriteFunction fileWriter; // ::WriteFile unless a test replaces it

// Writes a temporary file beside path, then moves it over path (replacing it,
// write-through). On any failure the temporary file is deleted and an existing
// file at path is left as it was.
bool writeFileReplacing(const std::wstring& path, const std::vector<uint8_t>& bytes);

// Creates path, which must not exist yet, holding bytes. A failed write leaves
// no file behind.
bool writeFileNew(const std::wstring& path, const std::vector<uint8_t>& bytes);

// A new GUID as braced text ("{...}"); false when none can be made.
bool guidText(std::wstring& text);

// The user's temporary folder, absolute and ending in a backslash, however long
// it is; false when there is none.
bool temporaryFolderPath(std::wstring& folder);

} // namespace palmtone
