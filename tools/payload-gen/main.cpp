// Writes the installer's three one-shots into the folder given as the only
// argument (payload/ in the source tree, or a scratch folder for comparison).
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/payload-gen/one_shots.hpp"
#include "tools/payload-gen/wave_file.hpp"

namespace {
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (out.fail()) {
        std::fprintf(stderr, "payload-gen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: payload-gen FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = writeFile(folder + "/VELK_Bell_C4.wav", payload::waveFile(payload::bell()));
    ok = writeFile(folder + "/VELK_Pluck_C4.wav", payload::waveFile(payload::pluck())) && ok;
    ok = writeFile(folder + "/VELK_Soft_C4.wav", payload::waveFile(payload::soft())) && ok;
    return ok ? 0 : 1;
}
