#pragma once
// What the suites of the editor's modal loops share: the names of their cases
// as GoogleTest prints them, and a scratch folder named after the running case.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace editortest {

// A case's words as a parameter name: every character but a letter or a digit becomes '_'.
inline std::string caseName(std::string words) {
    for (char& ch : words)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return words;
}

// The running test's name, usable as a folder name.
inline std::string runningTestName() {
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& ch : name)
        if (ch == '/') ch = '_';
    return name;
}

} // namespace editortest
