#pragma once
// Builds state chunks byte by byte: "TPX2STAT", version, value count, the values
// as 32-bit floats, and for version 4 the one-shot's name, the library folder,
// the selection, the file list and the embedded WAV file.
#include <cstdint>
#include <string>
#include <vector>

namespace dlltest {

struct ChunkContent {
    uint32_t version = 4;
    std::vector<float> values; // as many as the chunk's value count
    std::string name;          // UTF-8
    std::string folder;
    std::string selection;
    std::vector<std::string> files;
    std::vector<uint8_t> wave;
};

// The 16 normalised defaults as a fresh instance stores them.
std::vector<float> defaultValues();

std::vector<uint8_t> chunkBytes(const ChunkContent& content);

void putU32(std::vector<uint8_t>& out, uint32_t v);
void putString(std::vector<uint8_t>& out, const std::string& text);

} // namespace dlltest
