// The multi-select open dialog's reply, walked within its buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/open_selection.hpp"

namespace {

using palmtone::joinPath;
using palmtone::selectedPaths;

// A reply as written, NULs inside included (the literal's own terminator is not).
template <size_t N> std::wstring reply(const wchar_t (&text)[N]) {
    return std::wstring(text, N - 1);
}

std::vector<wchar_t> buffer(const std::wstring& text) {
    return {text.begin(), text.end()};
}

TEST(OpenSelection, RepliesOfOneAndSeveralFiles) {
    using Paths = std::vector<std::wstring>;
    const struct {
        const char* name;
        std::wstring text;
        Paths paths;
    } cases[] = {
        {"one path", reply(L"C:\\one shots\\Kick.wav\0\0\0\0"), {L"C:\\one shots\\Kick.wav"}},
        {"one path whose NUL ends the buffer", reply(L"C:\\a.wav\0"), {L"C:\\a.wav"}},
        {"a folder and three names, in the dialog's order",
         reply(L"C:\\w\0c.wav\0a.wav\0b.wav\0\0"),
         {L"C:\\w\\c.wav", L"C:\\w\\a.wav", L"C:\\w\\b.wav"}},
        {"a folder that ends in a separator", reply(L"D:\\\0x.wav\0\0"), {L"D:\\x.wav"}},
        {"a network folder", reply(L"\\\\srv\\share\0x.wav\0\0"), {L"\\\\srv\\share\\x.wav"}},
        {"the last name runs to the end without its NUL", reply(L"C:\\w\0x.wav\0y.wa"), {L"C:\\w\\x.wav"}},
        {"the empty string is missing at the end",
         reply(L"C:\\w\0x.wav\0y.wav\0"),
         {L"C:\\w\\x.wav", L"C:\\w\\y.wav"}},
        {"nothing after the empty string counts", reply(L"C:\\w\0x.wav\0\0z.wav\0\0"), {L"C:\\w\\x.wav"}},
        {"no NUL at all", reply(L"C:\\w\\x.wav"), {}},
        {"an empty first string", reply(L"\0x.wav\0\0"), {}},
        {"an empty buffer", std::wstring(), {}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(selectedPaths(buffer(k.text)), k.paths);
    }
}

TEST(OpenSelection, BufferFilledToItsEndWithNames) {
    // A reply that fills every unit: a folder, then names without end.
    std::wstring text = reply(L"C:\\w\0");
    while (text.size() < 65536)
        text += reply(L"n.wav\0");
    text.resize(65536); // the last name is cut off by the buffer's end
    const std::vector<std::wstring> paths = selectedPaths(buffer(text));
    ASSERT_FALSE(paths.empty());
    EXPECT_EQ(paths.size(), (65536 - 5) / 6);
    for (const std::wstring& p : paths)
        ASSERT_EQ(p, L"C:\\w\\n.wav");
}

TEST(OpenSelection, JoinPath) {
    EXPECT_EQ(joinPath(L"C:\\w", L"a.wav"), L"C:\\w\\a.wav");
    EXPECT_EQ(joinPath(L"C:\\w\\", L"a.wav"), L"C:\\w\\a.wav");
    EXPECT_EQ(joinPath(L"C:/w/", L"a.wav"), L"C:/w/a.wav");
    EXPECT_EQ(joinPath(L"", L"a.wav"), L"a.wav");
}

} // namespace
