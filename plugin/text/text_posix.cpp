// Strict UTF-16 <-> UTF-8 by hand, with the same refusals as the Windows
// conversions, so the native build reads and writes state chunks alike.
#include <cstdint>
#include <stdexcept>

#include "plugin/text/text.hpp"

namespace palmtone {

namespace {

[[noreturn]] void invalidName() {
    throw std::runtime_error(invalidFileName);
}

bool isHighSurrogate(uint32_t u) noexcept {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(uint32_t u) noexcept {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

wchar_t asciiLower(wchar_t c) noexcept {
    return (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c;
}

} // namespace

std::string utf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const uint32_t u = static_cast<uint32_t>(text[i]);
        if (u > 0xFFFF) invalidName(); // not a UTF-16 code unit
        if (isLowSurrogate(u)) invalidName();
        if (isHighSurrogate(u)) {
            if (i + 1 >= text.size()) invalidName();
            const uint32_t low = static_cast<uint32_t>(text[i + 1]);
            if (!isLowSurrogate(low)) invalidName();
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const uint8_t b = static_cast<uint8_t>(text[i]);
        uint32_t cp;
        size_t length;
        uint32_t minimum;
        if (b < 0x80) {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F;
            length = 2;
            minimum = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F;
            length = 3;
            minimum = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07;
            length = 4;
            minimum = 0x10000;
        } else {
            invalidName(); // continuation byte, C0/C1 or F5..FF as a lead byte
        }
        if (n - i < length) invalidName(); // truncated
        for (size_t k = 1; k < length; ++k) {
            const uint8_t c = static_cast<uint8_t>(text[i + k]);
            if ((c & 0xC0) != 0x80) invalidName();
            cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong forms, encoded surrogates and values past U+10FFFF are invalid.
        if (cp < minimum || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) invalidName();
        if (cp < 0x10000) {
            out += static_cast<wchar_t>(cp);
        } else {
            out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
        i += length;
    }
    return out;
}

int compareNoCase(const std::wstring& a, const std::wstring& b) noexcept {
    // The C runtime's _wcsicmp in the "C" locale: ASCII letters folded to lower
    // case, everything else compared by code unit; stops at a terminating zero.
    size_t i = 0;
    for (;; ++i) {
        const wchar_t ca = i < a.size() ? a[i] : L'\0';
        const wchar_t cb = i < b.size() ? b[i] : L'\0';
        const int la = static_cast<int>(asciiLower(ca));
        const int lb = static_cast<int>(asciiLower(cb));
        if (la != lb) return la - lb;
        if (ca == L'\0') return 0;
    }
}

} // namespace palmtone
