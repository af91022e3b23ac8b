#include "plugin/text/windows_path.hpp"

#include <vector>

namespace palmtone::winpath {

namespace {

bool isSeparator(wchar_t c) noexcept {
    return c == L'\\' || c == L'/';
}

bool isAsciiLetter(wchar_t c) noexcept {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// Where the relative part begins: after the root name and any separators.
size_t relativeStart(const std::wstring& path) noexcept {
    size_t i = rootNameLength(path);
    while (i < path.size() && isSeparator(path[i]))
        ++i;
    return i;
}

// Start of the last element; the root name never counts as one.
size_t fileNameStart(const std::wstring& path) noexcept {
    const size_t root = rootNameLength(path);
    size_t i = path.size();
    while (i > root && !isSeparator(path[i - 1]))
        --i;
    return i;
}

// Position of the extension's '.' inside name, or npos.
size_t extensionDot(const std::wstring& name) noexcept {
    if (name == L"." || name == L"..") return std::wstring::npos;
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0) return std::wstring::npos;
    return dot;
}

} // namespace

size_t rootNameLength(const std::wstring& path) noexcept {
    const size_t n = path.size();
    if (n >= 2 && path[1] == L':' && isAsciiLetter(path[0])) return 2;
    // "\\server": two separators, then a name that is not itself a separator.
    if (n >= 3 && isSeparator(path[0]) && isSeparator(path[1]) && !isSeparator(path[2])) {
        size_t i = 3;
        while (i < n && !isSeparator(path[i]))
            ++i;
        return i;
    }
    return 0;
}

bool hasRootDirectory(const std::wstring& path) noexcept {
    const size_t root = rootNameLength(path);
    return root < path.size() && isSeparator(path[root]);
}

std::wstring fileName(const std::wstring& path) {
    return path.substr(fileNameStart(path));
}

std::wstring stem(const std::wstring& path) {
    std::wstring name = fileName(path);
    const size_t dot = extensionDot(name);
    if (dot != std::wstring::npos) name.resize(dot);
    return name;
}

std::wstring extension(const std::wstring& path) {
    const std::wstring name = fileName(path);
    const size_t dot = extensionDot(name);
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

std::wstring lexicallyNormal(const std::wstring& path) {
    if (path.empty()) return {};
    const size_t rootName = rootNameLength(path);
    const bool rootDirectory = hasRootDirectory(path);

    std::vector<std::wstring> kept;
    bool trailing = false; // the last element left a separator behind it
    size_t i = relativeStart(path);
    while (i < path.size()) {
        size_t end = i;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        std::wstring element = path.substr(i, end - i);
        size_t next = end;
        while (next < path.size() && isSeparator(path[next]))
            ++next;
        const bool separatorAfter = end < path.size();

        if (element == L".") {
            trailing = true;
        } else if (element == L"..") {
            if (!kept.empty() && kept.back() != L"..") {
                kept.pop_back();
                trailing = true;
            } else if (rootDirectory) {
                trailing = !kept.empty();
            } else {
                kept.push_back(std::move(element));
                trailing = false; // "..\" loses its separator
            }
        } else {
            kept.push_back(std::move(element));
            trailing = separatorAfter;
        }
        i = next;
    }

    std::wstring out;
    out.reserve(path.size());
    for (size_t k = 0; k < rootName; ++k)
        out += isSeparator(path[k]) ? L'\\' : path[k];
    if (rootDirectory) out += L'\\';
    for (size_t k = 0; k < kept.size(); ++k) {
        if (k > 0) out += L'\\';
        out += kept[k];
    }
    if (trailing && !kept.empty() && kept.back() != L"..") out += L'\\';
    if (out.empty()) out = L".";
    return out;
}

} // namespace palmtone::winpath
