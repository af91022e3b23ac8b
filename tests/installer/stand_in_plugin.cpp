extern "C" __declspec(dllexport) void* VSTPluginMain(void*) {
    return nullptr;
} // installer tests' stand-in for "VELK beta.dll"
