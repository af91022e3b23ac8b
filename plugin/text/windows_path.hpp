#pragma once
// The few rules of Windows path grammar the plug-in needs, written out by hand so
// they hold for network paths too and behave alike in every build. Both '\' and
// '/' are separators.
#include <cstddef>
#include <string>

namespace palmtone::winpath {

// Length of the root name: "C:" (2), "\\server" (2 separators and the server name,
// up to the next separator), or 0 when the path has none.
size_t rootNameLength(const std::wstring& path) noexcept;

// Whether a separator follows the root name (or begins a path without one).
bool hasRootDirectory(const std::wstring& path) noexcept;

// The last element ("" when the path ends in a separator).
std::wstring fileName(const std::wstring& path);

// The file name without its extension, and the extension from its last '.'
// ("" for ".", "..", and names whose only dot is the first character).
std::wstring stem(const std::wstring& path);
std::wstring extension(const std::wstring& path);

// The lexically normal form: separators become '\', repeated separators and "."
// elements go, "name\.." pairs fold away, ".." directly after the root goes.
std::wstring lexicallyNormal(const std::wstring& path);

} // namespace palmtone::winpath
