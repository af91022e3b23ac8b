#include "editor/open_selection.hpp"

namespace palmtone {

std::wstring joinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    const wchar_t last = folder.back();
    if (last == L'\\' || last == L'/') return folder + name;
    return folder + L'\\' + name;
}

std::vector<std::wstring> selectedPaths(const std::vector<wchar_t>& buffer) {
    std::vector<std::wstring> paths;
    const size_t size = buffer.size();
    // The string starting at `from`; false when no NUL ends it inside the buffer.
    auto next = [&](size_t from, std::wstring& out) {
        for (size_t i = from; i < size; ++i) {
            if (buffer[i] == L'\0') {
                out.assign(buffer.data() + from, i - from);
                return true;
            }
        }
        return false;
    };
    std::wstring first;
    if (!next(0, first) || first.empty()) return paths;
    size_t at = first.size() + 1;
    if (at >= size || buffer[at] == L'\0') {
        paths.push_back(first);
        return paths;
    }
    std::wstring name;
    while (at < size && next(at, name) && !name.empty()) {
        paths.push_back(joinPath(first, name));
        at += name.size() + 1;
    }
    return paths;
}

} // namespace palmtone
