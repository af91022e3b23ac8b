// The built installer program as a file: an x64 GUI image that needs no
// runtime DLL, whose resources are exactly the five payloads and the manifest
// (language 1033), each payload byte-identical to the file it was made from.
//
// Arguments: SETUP_EXE PLUGIN_FILE PAYLOAD_DIR MANIFEST (Linux paths)
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/window_probe.hpp"

namespace {

std::wstring setupProgram, pluginFile, payloadFolder, manifestFile;

using Resource = std::tuple<int, int, int>; // type, id, language

BOOL CALLBACK onLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR context) {
    auto& found = *reinterpret_cast<std::set<Resource>*>(context);
    // A named (non-numeric) type or id shows up as -1 and fails the test.
    const int t = IS_INTRESOURCE(type) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(type)) : -1;
    const int n = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : -1;
    found.insert({t, n, language});
    return TRUE;
}

BOOL CALLBACK onName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
    EnumResourceLanguagesW(module, type, name, onLanguage, context);
    return TRUE;
}

BOOL CALLBACK onType(HMODULE module, LPWSTR type, LONG_PTR context) {
    EnumResourceNamesW(module, type, onName, context);
    return TRUE;
}

std::vector<char> resource(HMODULE module, int type, int id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    if (!found) return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::vector<char>(data, data + SizeofResource(module, found));
}

uint32_t read32(const std::vector<char>& b, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}
uint16_t read16(const std::vector<char>& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

TEST(SetupPackage, HoldsExactlyThePayloadsAndTheManifest) {
    HMODULE module = LoadLibraryExW(setupProgram.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(module);
    std::set<Resource> found;
    EnumResourceTypesW(module, onType, reinterpret_cast<LONG_PTR>(&found));
    const std::set<Resource> expected = {
        {10, 101, 1033}, {10, 102, 1033}, {10, 103, 1033}, {10, 104, 1033}, {10, 105, 1033}, {24, 1, 1033},
    };
    EXPECT_EQ(found, expected); // so no version block and no icon either

    EXPECT_TRUE(resource(module, 10, 101) == velktest::fileBytes(pluginFile));
    const wchar_t* payloads[] = {L"VELK_Bell_C4.wav", L"VELK_Pluck_C4.wav", L"VELK_Soft_C4.wav",
                                 L"LEEME-VELK.txt"};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(resource(module, 10, 102 + i) == velktest::fileBytes(payloadFolder + L"\\" + payloads[i]))
            << 102 + i;

    const std::vector<char> manifest = resource(module, 24, 1);
    EXPECT_TRUE(manifest == velktest::fileBytes(manifestFile));
    const std::string text(manifest.begin(), manifest.end());
    EXPECT_EQ(text.find('\n'), std::string::npos) << "one line";
    for (const char* part : {"standalone=\"yes\"", "manifestVersion=\"1.0\"", "version=\"1.3.0.0\"",
                             "processorArchitecture=\"amd64\"", "name=\"VELK.Beta.Setup\"", "type=\"win32\"",
                             "<description>VELK beta VST2 installer</description>", "level=\"asInvoker\"",
                             "uiAccess=\"false\"", ">true</dpiAware>"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    for (const char* absent : {"dependentAssembly", "supportedOS"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    FreeLibrary(module);
}

TEST(SetupPackage, IsAStaticX64GuiProgram) {
    const std::vector<char> image = velktest::fileBytes(setupProgram);
    ASSERT_GT(image.size(), 1024u);
    const uint32_t pe = read32(image, 60);
    EXPECT_EQ(read16(image, pe + 4), 0x8664);
    const size_t optional = pe + 24;
    EXPECT_EQ(read16(image, optional), 0x20b);  // PE32+
    EXPECT_EQ(read16(image, optional + 68), 2); // IMAGE_SUBSYSTEM_WINDOWS_GUI

    // Imported DLLs: system libraries only, never a compiler runtime.
    const uint16_t sectionCount = read16(image, pe + 6);
    const size_t sections = optional + read16(image, pe + 20);
    auto fileOffset = [&](uint32_t rva) -> size_t {
        for (uint16_t s = 0; s < sectionCount; ++s) {
            const size_t at = sections + 40u * s;
            const uint32_t start = read32(image, at + 12), size = read32(image, at + 8),
                           raw = read32(image, at + 20);
            if (rva >= start && rva < start + size) return raw + (rva - start);
        }
        return 0;
    };
    const uint32_t imports = read32(image, optional + 112 + 8); // data directory 1
    ASSERT_NE(imports, 0u);
    std::vector<std::string> names;
    for (size_t entry = fileOffset(imports); read32(image, entry + 12) != 0; entry += 20) {
        std::string name(&image[fileOffset(read32(image, entry + 12))]);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        names.push_back(name);
    }
    EXPECT_FALSE(names.empty());
    for (const std::string& name : names) {
        EXPECT_EQ(name.find("libstdc++"), std::string::npos) << name;
        EXPECT_EQ(name.find("libgcc"), std::string::npos) << name;
        EXPECT_EQ(name.find("libwinpthread"), std::string::npos) << name;
    }
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: SETUP_EXE PLUGIN_FILE PAYLOAD_DIR MANIFEST\n");
        return 2;
    }
    setupProgram = velktest::windowsPath(argv[1]);
    pluginFile = velktest::windowsPath(argv[2]);
    payloadFolder = velktest::windowsPath(argv[3]);
    manifestFile = velktest::windowsPath(argv[4]);
    return RUN_ALL_TESTS();
}
