#include "tools/vst-host/plugin_library.hpp"

#include <windows.h>

#include <stdexcept>

namespace vsthost {

namespace {

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

} // namespace

PluginLibrary::PluginLibrary(const std::wstring& path) : path_(path) {
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) {
        throw std::runtime_error("LoadLibraryW failed for " + narrow(path) + " (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    FARPROC proc = GetProcAddress(module, "VSTPluginMain");
    if (!proc) {
        FreeLibrary(module);
        throw std::runtime_error("no VSTPluginMain export in " + narrow(path));
    }
    module_ = module;
    entry_ = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(proc));
}

PluginLibrary::~PluginLibrary() {
    if (module_) FreeLibrary(static_cast<HMODULE>(module_));
}

} // namespace vsthost
