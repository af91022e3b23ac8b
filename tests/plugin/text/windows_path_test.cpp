// The hand-written Windows path grammar: roots, names and the normal form, as a
// table that holds alike natively and under Wine.
#include <string>

#include <gtest/gtest.h>

#include "plugin/text/windows_path.hpp"

using namespace palmtone::winpath;

namespace {
std::string narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}
} // namespace

TEST(WindowsPath, SplitsRootsAndNames) {
    const struct {
        std::wstring path;
        size_t rootName;
        bool rootDirectory;
        std::wstring fileName, stem, extension;
    } cases[] = {
        {L"C:\\dir\\kick.wav", 2, true, L"kick.wav", L"kick", L".wav"},
        {L"c:/dir/Kick.One.WAV", 2, true, L"Kick.One.WAV", L"Kick.One", L".WAV"},
        {L"C:kick.wav", 2, false, L"kick.wav", L"kick", L".wav"},
        {L"C:", 2, false, L"", L"", L""},
        {L"C:\\", 2, true, L"", L"", L""},
        {L"\\\\server\\share\\x.wav", 8, true, L"x.wav", L"x", L".wav"},
        {L"//server/share/x.wav", 8, true, L"x.wav", L"x", L".wav"},
        {L"\\/srv", 5, false, L"", L"", L""},
        {L"\\\\?\\C:\\x.wav", 3, true, L"x.wav", L"x", L".wav"},
        {L"\\\\\\x.wav", 0, true, L"x.wav", L"x", L".wav"},
        {L"\\\\", 0, true, L"", L"", L""},
        {L"\\dir\\x", 0, true, L"x", L"x", L""},
        {L"dir/x.", 0, false, L"x.", L"x", L"."},
        {L"dir\\.wav", 0, false, L".wav", L".wav", L""},
        {L"dir\\..", 0, false, L"..", L"..", L""},
        {L"dir\\.", 0, false, L".", L".", L""},
        {L"dir\\", 0, false, L"", L"", L""},
        {L"a..wav", 0, false, L"a..wav", L"a.", L".wav"},
        {L"", 0, false, L"", L"", L""},
        {L"1:\\x", 0, false, L"x", L"x", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.path));
        EXPECT_EQ(rootNameLength(c.path), c.rootName);
        EXPECT_EQ(hasRootDirectory(c.path), c.rootDirectory);
        EXPECT_EQ(fileName(c.path), c.fileName);
        EXPECT_EQ(stem(c.path), c.stem);
        EXPECT_EQ(extension(c.path), c.extension);
    }
}

TEST(WindowsPath, NormalFormKeepsNetworkRoots) {
    const struct {
        std::wstring path, normal;
    } cases[] = {
        {L"C:/Samples//kick.wav", L"C:\\Samples\\kick.wav"},
        {L"C:\\Samples\\.\\kick.wav", L"C:\\Samples\\kick.wav"},
        {L"C:\\Samples\\sub\\..\\kick.wav", L"C:\\Samples\\kick.wav"},
        {L"C:\\..\\kick.wav", L"C:\\kick.wav"},
        {L"C:\\a\\..\\..", L"C:\\"},
        {L"C:a\\..\\..\\x", L"C:..\\x"},
        {L"//server/share/x.wav", L"\\\\server\\share\\x.wav"},
        {L"\\\\server\\share\\..\\x.wav", L"\\\\server\\x.wav"},
        {L"\\\\server\\\\share\\\\x.wav", L"\\\\server\\share\\x.wav"},
        {L"a/b/", L"a\\b\\"},
        {L"a/b/.", L"a\\b\\"},
        {L"a/b/..", L"a\\"},
        {L"a/..", L"."},
        {L"./", L"."},
        {L"../a/..", L".."},
        {L"../", L".."},
        {L"a/../../b", L"..\\b"},
        {L"\\..\\x", L"\\x"},
        {L"", L""},
        {L"/tmp//lib/./a.WAV", L"\\tmp\\lib\\a.WAV"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lexicallyNormal(c.path), c.normal) << narrow(c.path);
}
