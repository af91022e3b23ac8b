// The strict text conversions and the case-insensitive compare. The same tables
// run against the Windows implementation (under Wine) and the native one, so
// both builds read and write the same state chunks and sort alike.
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "plugin/text/text.hpp"

using palmtone::compareNoCase;
using palmtone::fromUtf8;
using palmtone::utf8;

namespace {

const char* const invalidName = "Nombre de archivo no valido";

std::wstring units(std::initializer_list<unsigned> list) {
    std::wstring w;
    for (unsigned u : list)
        w += wchar_t(u);
    return w;
}

std::string bytes(std::initializer_list<unsigned> list) {
    std::string s;
    for (unsigned b : list)
        s += char(b);
    return s;
}

// Valid pairs: each direction gives the other.
const struct {
    const char* what;
    std::wstring wide;
    std::string narrow;
} valid[] = {
    {"empty", L"", ""},
    {"ASCII", L"Kick 01.wav", "Kick 01.wav"},
    {"two-byte", units({0xF1, 0x61}), bytes({0xC3, 0xB1, 0x61})},
    {"three-byte", units({0x20AC}), bytes({0xE2, 0x82, 0xAC})},
    {"surrogate pair", units({0xD83D, 0xDE00}), bytes({0xF0, 0x9F, 0x98, 0x80})},
    {"last code point", units({0xDBFF, 0xDFFF}), bytes({0xF4, 0x8F, 0xBF, 0xBF})},
    {"noncharacter U+FFFF", units({0xFFFF}), bytes({0xEF, 0xBF, 0xBF})},
    {"byte-order mark kept", units({0xFEFF, 0x41}), bytes({0xEF, 0xBB, 0xBF, 0x41})},
    {"embedded zero", units({0x61, 0, 0x62}), bytes({0x61, 0, 0x62})},
    {"last before surrogates", units({0xD7FF}), bytes({0xED, 0x9F, 0xBF})},
    {"first after surrogates", units({0xE000}), bytes({0xEE, 0x80, 0x80})},
};

} // namespace

TEST(Utf8, ConvertsValidTextBothWays) {
    for (const auto& c : valid) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(utf8(c.wide), c.narrow);
        EXPECT_EQ(fromUtf8(c.narrow), c.wide);
    }
}

TEST(Utf8, RefusesUnpairedSurrogates) {
    const struct {
        const char* what;
        std::wstring wide;
    } cases[] = {
        {"high at the end", units({0x61, 0xD800})},     {"low alone", units({0xDC00, 0x61})},
        {"high then a letter", units({0xD800, 0x61})},  {"reversed pair", units({0xDC00, 0xD800})},
        {"two highs", units({0xD800, 0xD800, 0xDC00})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            utf8(c.wide);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), invalidName);
        }
    }
}

TEST(FromUtf8, RefusesInvalidAndTruncatedSequences) {
    const struct {
        const char* what;
        std::string narrow;
    } cases[] = {
        {"continuation byte alone", bytes({0x80})},
        {"truncated two-byte", bytes({0x61, 0xC3})},
        {"truncated three-byte", bytes({0xE2, 0x82})},
        {"truncated four-byte", bytes({0xF0, 0x9F, 0x98})},
        {"bad continuation", bytes({0xC3, 0x28})},
        {"overlong two-byte", bytes({0xC0, 0x80})},
        {"overlong C1", bytes({0xC1, 0xBF})},
        {"overlong three-byte", bytes({0xE0, 0x80, 0x80})},
        {"overlong four-byte", bytes({0xF0, 0x80, 0x80, 0x80})},
        {"encoded high surrogate", bytes({0xED, 0xA0, 0x80})},
        {"encoded low surrogate", bytes({0xED, 0xBF, 0xBF})},
        {"past U+10FFFF", bytes({0xF4, 0x90, 0x80, 0x80})},
        {"lead byte F5", bytes({0xF5, 0x80, 0x80, 0x80})},
        {"byte FF", bytes({0x61, 0xFF})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            fromUtf8(c.narrow);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), invalidName);
        }
    }
}

TEST(CompareNoCase, FoldsAsciiToLowerCaseOnly) {
    const struct {
        std::wstring a, b;
        int sign;
    } cases[] = {
        {L"kick.WAV", L"KICK.wav", 0},
        {L"", L"", 0},
        {L"a", L"B", -1},
        {L"B", L"a", 1},
        {L"ab", L"abc", -1},
        // Folding to lower case puts '_' (0x5F) before every letter.
        {L"_x", L"Ax", -1},
        {L"Z", L"_", 1},
        {L"a\\b", L"A/B", 1},
        {units({0xE9}), units({0xC9}), 1}, // no folding outside ASCII
        {units({0x61, 0, 0x62}), L"A", 0}, // stops at a zero, like the C function
    };
    for (const auto& c : cases) {
        const int r = compareNoCase(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign)
            << std::string(c.a.begin(), c.a.end()) << " vs " << std::string(c.b.begin(), c.b.end());
    }
}
