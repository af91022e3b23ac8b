#include "tests/support/file_check.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tools/vst-host/wine_path.hpp"

namespace velktest {

namespace {

std::filesystem::path readbackDir() {
#ifdef _WIN32
    // Under Wine the build tree is reached through drive Z:.
    static const std::filesystem::path dir = [] {
        const std::string folder = readbackFolder;
        return std::filesystem::path(vsthost::windowsPath(std::wstring(folder.begin(), folder.end())));
    }();
#else
    static const std::filesystem::path dir = std::filesystem::path(readbackFolder);
#endif
    // Files of an earlier run go, so that only this run's files are read back.
    static const bool cleared = [] {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        std::filesystem::create_directories(dir);
        return true;
    }();
    (void)cleared;
    return dir;
}

void save(const std::string& name, const std::vector<uint8_t>& bytes, uint32_t tempo,
          const std::vector<SmfNote>& notes) {
    const std::filesystem::path dir = readbackDir();
    {
        std::ofstream mid(dir / (name + ".mid"), std::ios::binary);
        mid.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(mid.good()) << name;
    }
    std::ofstream json(dir / (name + ".json"));
    json << "{\"type\": 0, \"ticks_per_beat\": 960, \"name\": \"VELK - Acordes completos\", "
         << "\"tempo\": " << tempo << ", \"notes\": [";
    for (size_t i = 0; i < notes.size(); ++i) {
        const SmfNote& n = notes[i];
        json << (i ? ", " : "") << '[' << n.tick << ", \"" << (n.on ? "note_on" : "note_off") << "\", "
             << n.note << ", " << n.channel << ", " << n.velocity << ']';
    }
    json << "]}\n";
    ASSERT_TRUE(json.good()) << name;
}

} // namespace

void expectSmf(const std::string& name, const std::vector<uint8_t>& bytes, uint32_t tempo,
               const std::vector<SmfNote>& notes) {
    Smf smf;
    const std::string problem = readSmf(bytes, smf);
    EXPECT_EQ(problem, "") << name;
    EXPECT_EQ(smf.name, "VELK - Acordes completos") << name;
    EXPECT_EQ(smf.tempo, tempo) << name;
    EXPECT_EQ(smf.notes.size(), notes.size()) << name;
    for (size_t i = 0; i < std::min(smf.notes.size(), notes.size()); ++i) {
        if (!(smf.notes[i] == notes[i])) {
            ADD_FAILURE() << name << ": event " << i << " is tick " << smf.notes[i].tick
                          << (smf.notes[i].on ? " on " : " off ") << smf.notes[i].note << " ch "
                          << smf.notes[i].channel << " vel " << smf.notes[i].velocity << ", expected tick "
                          << notes[i].tick << (notes[i].on ? " on " : " off ") << notes[i].note << " ch "
                          << notes[i].channel << " vel " << notes[i].velocity;
            break;
        }
    }
    save(name, bytes, tempo, notes);
}

} // namespace velktest
