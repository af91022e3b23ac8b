// The library's two entry points: DllMain and the one export, VSTPluginMain.
#include <windows.h>

#include <new>

#include "plugin/host/module_win32.hpp"
#include "plugin/plugin.hpp"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        palmtone::moduleInstance = module;
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) vst2::Effect* VSTPluginMain(vst2::HostCallback host) {
    if (!host) return nullptr;
    try {
        auto* plugin = new palmtone::Plugin(host);
        return &plugin->effect;
    } catch (...) {
        return nullptr;
    }
}
