// The system's strict UTF-16 <-> UTF-8 conversions and the C runtime's
// case-insensitive compare.
#include <windows.h>

#include <climits>
#include <cwchar>
#include <stdexcept>

#include "plugin/text/text.hpp"

namespace palmtone {

namespace {

[[noreturn]] void invalidName() {
    throw std::runtime_error(invalidFileName);
}

} // namespace

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    if (text.size() > static_cast<size_t>(INT_MAX)) invalidName();
    const int units = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) invalidName();
    std::string out(static_cast<size_t>(bytes), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), units, &out[0], bytes, nullptr,
                            nullptr) != bytes)
        invalidName();
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    if (text.empty()) return {};
    if (text.size() > static_cast<size_t>(INT_MAX)) invalidName();
    const int bytes = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), bytes, nullptr, 0);
    if (units <= 0) invalidName();
    std::wstring out(static_cast<size_t>(units), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), bytes, &out[0], units) != units)
        invalidName();
    return out;
}

int compareNoCase(const std::wstring& a, const std::wstring& b) noexcept {
    return _wcsicmp(a.c_str(), b.c_str());
}

} // namespace palmtone
