// Writes seed state chunks for the fuzzer: the old versions and version-4
// chunks that embed each small WAV fixture. Usage: make_chunk_seeds WAV... OUTDIR
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plugin/host/state_chunk.hpp"

namespace {

void write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string out = argv[argc - 1];
    palmtone::ParamValues values{};
    for (int i = 0; i < palmtone::paramCount; ++i)
        values[i] = palmtone::normalisedDefault(i);

    for (uint32_t version : {1u, 2u, 3u}) {
        const uint32_t count = version == 2 ? 17 : 13;
        std::vector<uint8_t> b = {'T', 'P', 'X', '2', 'S', 'T', 'A', 'T'};
        put32(b, version);
        put32(b, count);
        for (uint32_t i = 0; i < count; ++i)
            put32(b, 0x3F000000u); // 0.5f
        write(out + "/version" + std::to_string(version) + ".chunk", b);
    }

    std::vector<uint8_t> chunk;
    palmtone::writeStateChunk(chunk, values, {});
    write(out + "/empty.chunk", chunk);
    for (int i = 1; i + 1 < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        palmtone::LibrarySnapshot lib;
        lib.file.assign(std::istreambuf_iterator<char>(in), {});
        lib.name = L"Sample \u00f1";
        lib.folder = L"C:\\Muestras";
        lib.selection = L"C:\\Muestras\\a.wav";
        lib.files = {L"C:\\Muestras\\a.wav", L"\\\\server\\share\\b.wav"};
        palmtone::writeStateChunk(chunk, values, lib);
        write(out + "/wave" + std::to_string(i) + ".chunk", chunk);
    }
    return 0;
}
