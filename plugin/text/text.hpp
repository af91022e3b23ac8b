#pragma once
// Strict text conversions and comparisons. Wide strings hold UTF-16 code units in
// every build (on Windows wchar_t is 16 bits; elsewhere each wchar_t holds one unit).
#include <string>

namespace palmtone {

// What the conversions throw; the state chunk refuses a name with it too.
constexpr char invalidFileName[] = "Nombre de archivo no valido";

// UTF-16 to UTF-8; an unpaired surrogate throws invalidFileName.
std::string utf8(const std::wstring& text);

// UTF-8 to UTF-16; an invalid or truncated sequence throws invalidFileName.
std::wstring fromUtf8(const std::string& text);

// Case-insensitive comparison in the manner of the C runtime's _wcsicmp.
int compareNoCase(const std::wstring& a, const std::wstring& b) noexcept;

} // namespace palmtone
