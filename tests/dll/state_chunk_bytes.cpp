#include "tests/dll/state_chunk_bytes.hpp"

#include <cstring>

#include "tests/dll/plugin_fixture.hpp"

namespace dlltest {

std::vector<float> defaultValues() {
    std::vector<float> values;
    for (const ParamRange& p : params)
        values.push_back(static_cast<float>(p.normalisedDefault));
    return values;
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putString(std::vector<uint8_t>& out, const std::string& text) {
    putU32(out, static_cast<uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

std::vector<uint8_t> chunkBytes(const ChunkContent& content) {
    std::vector<uint8_t> out;
    for (char c : std::string("TPX2STAT"))
        out.push_back(static_cast<uint8_t>(c));
    putU32(out, content.version);
    putU32(out, static_cast<uint32_t>(content.values.size()));
    for (float v : content.values) {
        uint32_t word;
        std::memcpy(&word, &v, sizeof word);
        putU32(out, word);
    }
    if (content.version != 4) return out;
    putString(out, content.name);
    putString(out, content.folder);
    putString(out, content.selection);
    putU32(out, static_cast<uint32_t>(content.files.size()));
    for (const std::string& f : content.files)
        putString(out, f);
    putU32(out, static_cast<uint32_t>(content.wave.size()));
    out.insert(out.end(), content.wave.begin(), content.wave.end());
    return out;
}

} // namespace dlltest
