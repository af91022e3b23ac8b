#pragma once
// Reads what a PE32+ DLL exports and imports, from the file's own tables.
#include <cstdint>
#include <string>
#include <vector>

namespace dlltest {

struct PeImage {
    uint16_t machine = 0;
    uint16_t characteristics = 0;
    std::vector<std::string> exports;      // names, in table order
    uint32_t forwardedExports = 0;         // exports pointing into the export table
    std::vector<std::string> imports;      // DLL names of the import table
    std::vector<std::string> delayImports; // DLL names of the delay-load table
};

// Throws std::runtime_error for a file that is not a readable PE32+ image.
PeImage readPeImage(const std::vector<uint8_t>& file);

std::vector<uint8_t> readBinaryFile(const std::wstring& path);

} // namespace dlltest
