#pragma once
// Wine shows the Unix root as drive Z:, so a program under Wine reaches a file
// of the build machine by its Unix path behind "Z:". Portable and header-only:
// the host's command line and the tests of both builds convert with it.
#include <string>

namespace vsthost {

// A path as Windows sees it: a Unix absolute path "/x/y" becomes "Z:\x\y";
// anything else keeps its drive, with its slashes turned into backslashes.
inline std::wstring windowsPath(const std::wstring& path) {
    std::wstring out;
    if (!path.empty() && path[0] == L'/') out = L"Z:";
    for (wchar_t c : path)
        out += c == L'/' ? L'\\' : c;
    return out;
}

} // namespace vsthost
