#pragma once
// Loads a VST 2.4 plug-in library and finds its entry point.
#include <string>

#include "plugin/host/vst2.hpp"

namespace vsthost {

using EntryPoint = vst2::Effect* (*)(vst2::HostCallback host);

// A loaded plug-in DLL; unloaded when destroyed. Every instance created through
// `entry` must be closed before this object goes.
class PluginLibrary {
  public:
    // Throws std::runtime_error when the library does not load or lacks VSTPluginMain.
    explicit PluginLibrary(const std::wstring& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    EntryPoint entry() const noexcept { return entry_; }
    const std::wstring& path() const noexcept { return path_; }

  private:
    std::wstring path_;
    void* module_ = nullptr; // HMODULE
    EntryPoint entry_ = nullptr;
};

} // namespace vsthost
