#include "tests/dll/pe_image.hpp"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace dlltest {

namespace {

class Reader {
  public:
    explicit Reader(const std::vector<uint8_t>& file) : file_(file) {}

    template <typename T> T at(uint64_t offset) const {
        if (offset + sizeof(T) > file_.size()) throw std::runtime_error("PE read past the end");
        T value;
        std::memcpy(&value, file_.data() + offset, sizeof value);
        return value;
    }
    std::string text(uint64_t offset) const {
        std::string out;
        while (true) {
            const char c = at<char>(offset++);
            if (c == 0) return out;
            out += c;
        }
    }

  private:
    const std::vector<uint8_t>& file_;
};

struct Section {
    uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

} // namespace

PeImage readPeImage(const std::vector<uint8_t>& file) {
    Reader r(file);
    if (r.at<uint16_t>(0) != 0x5A4D) throw std::runtime_error("no MZ header");
    const uint32_t pe = r.at<uint32_t>(0x3C);
    if (r.at<uint32_t>(pe) != 0x00004550) throw std::runtime_error("no PE signature");
    PeImage image;
    image.machine = r.at<uint16_t>(pe + 4);
    const uint16_t sectionCount = r.at<uint16_t>(pe + 6);
    const uint16_t optionalSize = r.at<uint16_t>(pe + 20);
    image.characteristics = r.at<uint16_t>(pe + 22);
    const uint64_t optional = pe + 24;
    if (r.at<uint16_t>(optional) != 0x20B) throw std::runtime_error("not PE32+");
    const uint32_t directoryCount = r.at<uint32_t>(optional + 108);
    auto directory = [&](uint32_t i) -> std::pair<uint32_t, uint32_t> {
        if (i >= directoryCount) return {0, 0};
        return {r.at<uint32_t>(optional + 112 + 8 * i), r.at<uint32_t>(optional + 116 + 8 * i)};
    };
    std::vector<Section> sections;
    const uint64_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const uint64_t s = table + 40u * i;
        sections.push_back(
            {r.at<uint32_t>(s + 12), r.at<uint32_t>(s + 8), r.at<uint32_t>(s + 20), r.at<uint32_t>(s + 16)});
    }
    auto offset = [&](uint32_t rva) -> uint64_t {
        for (const Section& s : sections) {
            const uint32_t size = std::max(s.virtualSize, s.rawSize);
            if (rva >= s.virtualAddress && rva < s.virtualAddress + size)
                return rva - s.virtualAddress + s.rawOffset;
        }
        throw std::runtime_error("RVA outside every section");
    };

    const auto [exportRva, exportSize] = directory(0);
    if (exportRva) {
        const uint64_t e = offset(exportRva);
        const uint32_t functionCount = r.at<uint32_t>(e + 20);
        const uint32_t nameCount = r.at<uint32_t>(e + 24);
        const uint64_t functions = offset(r.at<uint32_t>(e + 28));
        const uint64_t names = nameCount ? offset(r.at<uint32_t>(e + 32)) : 0;
        for (uint32_t i = 0; i < nameCount; ++i)
            image.exports.push_back(r.text(offset(r.at<uint32_t>(names + 4 * i))));
        for (uint32_t i = 0; i < functionCount; ++i) {
            const uint32_t target = r.at<uint32_t>(functions + 4 * i);
            if (target >= exportRva && target < exportRva + exportSize) ++image.forwardedExports;
        }
        if (functionCount != nameCount)
            image.exports.push_back("<" + std::to_string(functionCount - nameCount) + " by ordinal>");
    }
    const auto [importRva, importSize] = directory(1);
    if (importRva) {
        for (uint64_t d = offset(importRva);; d += 20) {
            const uint32_t name = r.at<uint32_t>(d + 12);
            if (name == 0 && r.at<uint32_t>(d) == 0) break;
            image.imports.push_back(r.text(offset(name)));
        }
    }
    const auto [delayRva, delaySize] = directory(13);
    if (delayRva) {
        for (uint64_t d = offset(delayRva);; d += 32) {
            const uint32_t name = r.at<uint32_t>(d + 4);
            if (name == 0) break;
            image.delayImports.push_back(r.text(offset(name)));
        }
    }
    (void)importSize;
    (void)delaySize;
    return image;
}

std::vector<uint8_t> readBinaryFile(const std::wstring& path) {
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) throw std::runtime_error("cannot open the DLL");
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

} // namespace dlltest
