// The library's two entry points: DllMain and the one export, VSTPluginMain.
// Here the core and the editor's Windows layer meet: the attach stores the
// module handle the window class is registered with and installs the Win32
// editor into the core's seam, before the host can create an instance.
#include <windows.h>

#include <new>

#include "editor/win32/windows_ui_win32.hpp"
#include "plugin/plugin.hpp"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        palmtone::installWindowsEditor(module);
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
