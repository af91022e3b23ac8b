#include "installer/install_folder.hpp"

#include <vector>

namespace setup {

namespace {

const std::wstring productFolder = L"VELK beta";

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool isAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// A drive ("C:") or a network root (exactly two separators and a server name
// up to the next separator); 0 when the path has no root name.
size_t rootNameLength(const std::wstring& path) {
    if (path.size() >= 2 && isAsciiLetter(path[0]) && path[1] == L':') return 2;
    if (path.size() >= 3 && isSeparator(path[0]) && isSeparator(path[1]) && !isSeparator(path[2])) {
        size_t end = 2;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        return end;
    }
    return 0;
}

struct Parts {
    std::wstring rootName;
    bool rootDirectory = false;
    // The elements after the root; a trailing separator ends them with an
    // empty element, the empty file name.
    std::vector<std::wstring> elements;
};

Parts split(const std::wstring& path) {
    Parts parts;
    size_t i = rootNameLength(path);
    parts.rootName = path.substr(0, i);
    if (i < path.size() && isSeparator(path[i])) {
        parts.rootDirectory = true;
        while (i < path.size() && isSeparator(path[i]))
            ++i;
    }
    while (i < path.size()) {
        size_t end = i;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        parts.elements.push_back(path.substr(i, end - i));
        i = end;
        if (i < path.size()) {
            while (i < path.size() && isSeparator(path[i]))
                ++i;
            if (i == path.size()) parts.elements.emplace_back();
        }
    }
    return parts;
}

} // namespace

std::optional<std::wstring> installFolder(const std::wstring& text) {
    Parts parts = split(text);
    if (parts.rootName.empty()) return std::nullopt; // relative, or a single leading separator
    if (parts.rootName.size() == 2 && !parts.rootDirectory)
        return std::nullopt;                         // drive-relative ("C:name") or a bare "C:"
    if (parts.elements.empty()) return std::nullopt; // the root of a drive or a network root alone

    // Appending works on the text as typed, before "." and ".." are resolved.
    if (parts.elements.back() != productFolder) {
        if (parts.elements.back().empty())
            parts.elements.back() = productFolder;
        else
            parts.elements.push_back(productFolder);
    }

    // Lexically normal form of a rooted path: "." dropped, a name followed by
    // ".." dropped with it, ".." at the root dropped.
    std::vector<std::wstring> kept;
    for (const std::wstring& element : parts.elements) {
        if (element.empty() || element == L".") continue;
        if (element == L"..") {
            if (!kept.empty()) kept.pop_back();
            continue;
        }
        kept.push_back(element);
    }

    std::wstring folder = parts.rootName;
    for (wchar_t& c : folder)
        if (c == L'/') c = L'\\';
    for (const std::wstring& element : kept)
        folder += L'\\' + element;
    return folder;
}

} // namespace setup
