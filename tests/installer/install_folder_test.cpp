// The installer's folder rules as a table: accepted folders with the install
// folder they give, and refusals. Runs natively and under Wine.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "installer/install_folder.hpp"

namespace {

struct Case {
    const wchar_t* text;
    const wchar_t* folder; // nullptr: refused
};

const Case cases[] = {
    // Refused: no root name, a drive without root directory, a root alone.
    {L"", nullptr},
    {L"Plugins\\VST", nullptr},
    {L"VELK beta", nullptr},
    {L"\\Plugins\\VST", nullptr},
    {L"/Plugins", nullptr},
    {L"C:Plugins", nullptr},
    {L"C:", nullptr},
    {L"C:\\", nullptr},
    {L"C:/", nullptr},
    {L"C:\\\\", nullptr},
    {L"1:\\Plugins", nullptr},
    {L"\\\\server", nullptr},
    {L"\\\\server\\", nullptr},
    {L"//server/", nullptr},
    {L"\\\\\\server\\share", nullptr},
    {L"\\\\", nullptr},

    // Drive folders: "VELK beta" appended unless it is exactly the last element.
    {L"C:\\Plugins", L"C:\\Plugins\\VELK beta"},
    {L"d:\\Música\\VST2", L"d:\\Música\\VST2\\VELK beta"},
    {L"C:\\Plugins\\VELK beta", L"C:\\Plugins\\VELK beta"},
    {L"C:/Users/ana/VELK beta", L"C:\\Users\\ana\\VELK beta"},
    {L"C:\\Plugins\\VELK beta\\", L"C:\\Plugins\\VELK beta\\VELK beta"},
    {L"C:\\Plugins\\velk beta", L"C:\\Plugins\\velk beta\\VELK beta"},
    {L"C:\\Plugins\\VELK beta ", L"C:\\Plugins\\VELK beta \\VELK beta"},
    {L"C:\\Plugins\\", L"C:\\Plugins\\VELK beta"},
    {L"C:\\a\\\\b//c", L"C:\\a\\b\\c\\VELK beta"},

    // "." and ".." resolve after the append.
    {L"C:\\Plugins\\.\\other\\..\\", L"C:\\Plugins\\VELK beta"},
    {L"C:\\..", L"C:\\VELK beta"},
    {L"C:\\.", L"C:\\VELK beta"},
    {L"C:\\a\\b\\..\\..\\..\\x", L"C:\\x\\VELK beta"},
    {L"C:\\Plugins\\VELK beta\\.", L"C:\\Plugins\\VELK beta\\VELK beta"},
    {L"C:\\Plugins\\VELK beta\\..", L"C:\\Plugins\\VELK beta"},
    {L"C:\\x\\..\\VELK beta", L"C:\\VELK beta"},

    // Network roots keep their two leading separators.
    {L"\\\\server\\share", L"\\\\server\\share\\VELK beta"},
    {L"//server/share/VELK beta", L"\\\\server\\share\\VELK beta"},
    {L"\\\\server\\share\\VST\\", L"\\\\server\\share\\VST\\VELK beta"},
    {L"\\\\server\\share\\..\\..\\x", L"\\\\server\\x\\VELK beta"},
    {L"\\\\server\\.", L"\\\\server\\VELK beta"},
    {L"\\/server\\share", L"\\\\server\\share\\VELK beta"},
};

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

TEST(InstallFolder, FollowsTheRules) {
    for (const Case& c : cases) {
        const std::optional<std::wstring> folder = setup::installFolder(c.text);
        if (!c.folder) {
            EXPECT_FALSE(folder.has_value())
                << '"' << narrow(c.text) << "\" gave \"" << narrow(folder.value_or(L"")) << '"';
            continue;
        }
        ASSERT_TRUE(folder.has_value()) << '"' << narrow(c.text) << "\" was refused";
        EXPECT_EQ(*folder, c.folder) << '"' << narrow(c.text) << '"';
    }
}

TEST(InstallFolder, ResultIsStable) {
    // The folder shown in the edit after an install is taken again as it is.
    for (const Case& c : cases) {
        if (!c.folder) continue;
        const std::optional<std::wstring> again = setup::installFolder(c.folder);
        ASSERT_TRUE(again.has_value()) << narrow(c.folder);
        EXPECT_EQ(*again, c.folder);
    }
}

} // namespace
