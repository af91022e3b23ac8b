#pragma once
// What the suites of the editor's modal loops share: the names of their cases
// as GoogleTest prints them.
#include <cctype>
#include <string>

namespace editortest {

// A case's words as a parameter name: every character but a letter or a digit becomes '_'.
inline std::string caseName(std::string words) {
    for (char& ch : words)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return words;
}

} // namespace editortest
