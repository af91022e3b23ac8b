// The package check: the five resources and the plug-in's image header.
#include <windows.h>

#include "installer/package.hpp"

namespace setup {

namespace {

uint32_t read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

Bytes resourceBytes(uint16_t id) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(self, found);
    if (!loaded) return {};
    const void* data = LockResource(loaded);
    const DWORD size = SizeofResource(self, found);
    if (!data || size == 0) return {};
    return {static_cast<const uint8_t*>(data), size};
}

bool verifyPackage() {
    const Bytes plugin = resourceBytes(pluginResource);
    const uint64_t n = plugin.size;
    if (n < 1024) return false;
    const uint8_t* b = plugin.data;
    if (b[0] != 'M' || b[1] != 'Z') return false;
    // 64-bit arithmetic: a huge header offset must not wrap around.
    const uint64_t e = read32(b + 60);
    if (e + 26 >= n) return false;
    if (b[e] != 'P' || b[e + 1] != 'E') return false;
    if (b[e + 4] != 0x64 || b[e + 5] != 0x86) return false;
    for (const Payload& payload : payloads)
        if (!resourceBytes(payload.id).data) return false;
    return true;
}

} // namespace setup
