// The built DLL as a file: a 64-bit DLL that exports exactly VSTPluginMain and
// imports only Windows' own DLLs (no C++ runtime, libgcc or winpthread DLL).
#include <windows.h>

#include <algorithm>
#include <cctype>

#include "tests/dll/pe_image.hpp"
#include "tests/dll/plugin_fixture.hpp"

namespace dlltest {
namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST(DllImage, ExportsOnlyTheEntryPoint) {
    const PeImage image = readPeImage(readBinaryFile(library().path()));
    EXPECT_EQ(image.machine, 0x8664);
    EXPECT_TRUE(image.characteristics & 0x2000) << "not a DLL";
    EXPECT_EQ(image.exports, std::vector<std::string>{"VSTPluginMain"});
    EXPECT_EQ(image.forwardedExports, 0u);
}

TEST(DllImage, ImportsOnlySystemDlls) {
    const PeImage image = readPeImage(readBinaryFile(library().path()));
    wchar_t system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    std::vector<std::string> all = image.imports;
    all.insert(all.end(), image.delayImports.begin(), image.delayImports.end());
    EXPECT_FALSE(all.empty());
    for (const std::string& dll : all) {
        const std::string name = lower(dll);
        for (const char* runtime : {"libstdc++", "libgcc", "libwinpthread", "libc++", "libssp"})
            EXPECT_EQ(name.rfind(runtime, 0), std::string::npos) << dll << " is a compiler runtime DLL";
        const std::wstring path = std::wstring(system) + L"\\" + std::wstring(dll.begin(), dll.end());
        EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES)
            << dll << " is not in the system directory";
    }
}

} // namespace
} // namespace dlltest
