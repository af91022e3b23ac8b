// Dropped data to WAV paths: file-drop blocks (wide and narrow) and path text,
// always read within the block's size. The blocks are copied into buffers of
// exactly their size, so the sanitizers catch any read past the end.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/drop_paths.hpp"
#include "tests/support/drop_blocks.hpp"

using namespace std::string_literals;
using palmtone::fileDropPaths;
using palmtone::textDropPath;
using velktest::dropHeader;
using velktest::narrowDrop;
using velktest::put16;
using velktest::put32;
using velktest::textUnits;
using velktest::wideDrop;
using Paths = std::vector<std::wstring>;

namespace {

std::string show(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w)
        s += (c >= 32 && c < 127) ? char(c) : '?';
    return s;
}

// The parser sees a heap block of exactly the bytes' size.
Paths filePaths(const std::vector<uint8_t>& bytes, std::wstring (*narrow)(const std::string&) = nullptr) {
    std::unique_ptr<uint8_t[]> block(new uint8_t[bytes.size() + 1]);
    if (!bytes.empty()) std::memcpy(block.get(), bytes.data(), bytes.size());
    return fileDropPaths(block.get(), bytes.size(), narrow);
}

std::wstring textPath(const std::vector<uint8_t>& bytes) {
    std::unique_ptr<uint8_t[]> block(new uint8_t[bytes.size() + 1]);
    if (!bytes.empty()) std::memcpy(block.get(), bytes.data(), bytes.size());
    return textDropPath(block.get(), bytes.size());
}

std::vector<uint8_t> withTail(std::vector<uint8_t> b, const std::vector<uint8_t>& tail) {
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

std::vector<uint8_t> resized(std::vector<uint8_t> b, size_t size) {
    b.resize(size, 0);
    return b;
}

// A wide block whose list starts at `offset` (the bytes between the header and
// the list are zero).
std::vector<uint8_t> wideAt(uint32_t offset, const std::wstring& units) {
    std::vector<uint8_t> b = dropHeader(offset, true);
    b.resize(offset, 0xEE);
    return withTail(b, textUnits(units));
}

const std::wstring a = L"C:\\Samples\\kick.wav";
const std::wstring b = L"\\\\server\\share\\Snare.WAV";

} // namespace

TEST(FileDropPaths, KeepsWavePathsInDropOrder) {
    const struct {
        const char* name;
        std::vector<uint8_t> block;
        Paths expected;
    } cases[] = {
        {"three files, two WAVs", wideDrop({a, L"C:\\notes.txt", b}), {a, b}},
        {"relative and drive-relative names", wideDrop({L"kick.wav", L"C:kick.wav", a}), {a}},
        {"no WAV at all", wideDrop({L"C:\\a.mid", L"C:\\b"}), {}},
        {"empty list", wideDrop({}), {}},
        {"narrow list",
         narrowDrop({"C:\\x\\a.wav", "C:\\x\\b.aif", "D:\\B.Wav"}),
         {L"C:\\x\\a.wav", L"D:\\B.Wav"}},
        {"narrow bytes widen unsigned",
         narrowDrop({"C:\\\xF1"
                     "a.wav"}),
         {L"C:\\\u00F1a.wav"}},
        {"an empty name ends the list",
         withTail(dropHeader(20, true), textUnits(a + L"\0\0"s + b + L"\0\0"s)),
         {a}},
        {"unterminated last name dropped", withTail(dropHeader(20, true), textUnits(a + L"\0"s + b)), {a}},
        {"list without its closing NUL",
         withTail(dropHeader(20, true), textUnits(a + L"\0"s + b + L"\0"s)),
         {a, b}},
        {"odd trailing byte ignored",
         resized(withTail(dropHeader(20, true), textUnits(a + L"\0"s)), 20 + 2 * a.size() + 3),
         {a}},
        {"a half unit cannot end a name", withTail(withTail(dropHeader(20, true), textUnits(a)), {0}), {}},
        {"unterminated narrow name dropped",
         withTail(dropHeader(20, false), {'C', ':', '\\', 'a', '.', 'w', 'a', 'v'}),
         {}},
        {"list after a gap", wideAt(40, a + L"\0\0"s), {a}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(filePaths(c.block), c.expected);
    }
}

TEST(FileDropPaths, RefusesUnsoundHeaders) {
    const std::vector<uint8_t> good = wideDrop({a});
    std::vector<uint8_t> large = wideDrop({a});
    large.resize(palmtone::maxFileDropBytes, 0);
    const std::vector<uint8_t> narrowName = {'D', ':', '\\', 'a', '.', 'w', 'a', 'v', 0, 0};
    const struct {
        const char* name;
        std::vector<uint8_t> block;
        Paths expected;
    } cases[] = {
        {"sound", good, {a}},
        {"21 bytes", resized(dropHeader(20, false), 21), {}},
        {"exactly 4 MiB", large, {a}},
        {"one byte over 4 MiB", resized(large, palmtone::maxFileDropBytes + 1), {}},
        {"offset 19", withTail(dropHeader(19, true), withTail({0}, textUnits(a + L"\0\0"s))), {}},
        {"offset 0", withTail(dropHeader(0, true), textUnits(a + L"\0\0"s)), {}},
        {"offset at the end", resized(dropHeader(uint32_t(good.size()), true), good.size()), {}},
        {"offset far beyond", withTail(dropHeader(0xFFFFFFF0u, true), textUnits(a + L"\0\0"s)), {}},
        {"odd wide offset", withTail(withTail(dropHeader(21, true), {0}), textUnits(a + L"\0\0"s)), {}},
        {"odd narrow offset", withTail(withTail(dropHeader(21, false), {0}), narrowName), {L"D:\\a.wav"}},
        {"wide list of 3 bytes", withTail(dropHeader(20, true), {'C', 0, 0}), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(filePaths(c.block), c.expected);
    }
    EXPECT_TRUE(fileDropPaths(nullptr, 100).empty());
}

TEST(FileDropPaths, ExaminesTheFirst1024Names) {
    std::vector<std::wstring> many;
    for (int i = 0; i < 1500; ++i)
        many.push_back(L"C:\\s\\" + std::to_wstring(i) + L".wav");
    const Paths all = filePaths(wideDrop(many));
    ASSERT_EQ(all.size(), 1024u);
    EXPECT_EQ(all.front(), many[0]);
    EXPECT_EQ(all.back(), many[1023]);

    // Names that are not WAVs count too: the 1024th is the last one looked at.
    std::vector<std::wstring> mixed(1023, L"C:\\s\\x.txt");
    mixed.push_back(L"C:\\s\\1024.wav");
    mixed.push_back(L"C:\\s\\1025.wav");
    EXPECT_EQ(filePaths(wideDrop(mixed)), Paths{L"C:\\s\\1024.wav"});
}

TEST(FileDropPaths, BoundsNameLength) {
    const std::wstring longest = L"C:\\" + std::wstring(32767 - 7, L'n') + L".wav";
    ASSERT_EQ(longest.size(), 32767u);
    const std::wstring tooLong = L"C:\\n" + longest.substr(3);
    EXPECT_EQ(filePaths(wideDrop({longest, a})), (Paths{longest, a}));
    // Too long is skipped, and the names after it are still read.
    EXPECT_EQ(filePaths(wideDrop({tooLong, a})), Paths{a});
    std::string narrowLong(tooLong.begin(), tooLong.end());
    EXPECT_EQ(filePaths(narrowDrop({narrowLong, "C:\\b.wav"})), Paths{L"C:\\b.wav"});
}

namespace {
std::string seenByConverter;
std::wstring latin2Stand(const std::string& bytes) {
    seenByConverter += bytes + '|';
    std::wstring out;
    for (unsigned char c : bytes)
        out += c == 0xA9 ? L'\u0160' : wchar_t(c);
    return out;
}
std::wstring failingConverter(const std::string&) {
    return {};
}
} // namespace

TEST(FileDropPaths, NarrowNamesGoThroughTheConverter) {
    const std::vector<uint8_t> block = narrowDrop({"C:\\\xA9um.wav", "C:\\x.txt"});
    seenByConverter.clear();
    EXPECT_EQ(filePaths(block, latin2Stand), Paths{L"C:\\\u0160um.wav"});
    EXPECT_EQ(seenByConverter, "C:\\\xA9um.wav|C:\\x.txt|");
    EXPECT_TRUE(filePaths(block, failingConverter).empty());
    // Wide lists never reach it.
    seenByConverter.clear();
    EXPECT_EQ(filePaths(wideDrop({a}), latin2Stand), Paths{a});
    EXPECT_TRUE(seenByConverter.empty());
}

TEST(TextDropPath, TakesOnePathUpToTheFirstNul) {
    const std::wstring path = L"C:\\Users\\m\\Bell C4.wav";
    std::vector<uint8_t> largest = textUnits(path + L"\0"s);
    largest.resize(palmtone::maxTextDropBytes, 'x');
    const struct {
        const char* name;
        std::vector<uint8_t> block;
        std::wstring expected;
    } cases[] = {
        {"plain", textUnits(path + L"\0"s), path},
        {"quoted", textUnits(L"\"" + path + L"\"\0"s), path},
        {"text after the NUL", textUnits(L"\"" + path + L"\"\0C:\\other.wav\0"s), path},
        {"network path", textUnits(b + L"\0"s), b},
        {"only one pair of quotes goes", textUnits(L"\"\"" + path + L"\"\"\0"s), L""},
        {"opening quote only", textUnits(L"\"" + path + L"\0"s), L""},
        {"closing quote only", textUnits(path + L"\"\0"s), L""},
        {"two quotes", textUnits(L"\"\"\0"s), L""},
        {"one quote", textUnits(L"\"\0"s), L""},
        {"empty text", textUnits(L"\0"s), L""},
        {"no NUL", textUnits(path), L""},
        {"NUL only in a half unit", withTail(textUnits(path), {0}), L""},
        {"odd size, NUL inside", withTail(textUnits(path + L"\0"s), {'x'}), path},
        {"not a WAV", textUnits(L"C:\\a.mid\0"s), L""},
        {"relative", textUnits(L"a.wav\0"s), L""},
        {"a NUL first", textUnits(L"\0"s + path + L"\0"s), L""},
        {"1 byte", {0}, L""},
        {"64 KiB", largest, path},
        {"64 KiB and 2 bytes", resized(largest, palmtone::maxTextDropBytes + 2), L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(show(textPath(c.block)), show(c.expected));
    }
    EXPECT_TRUE(textDropPath(nullptr, 10).empty());
}
