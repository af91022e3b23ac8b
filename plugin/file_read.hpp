#pragma once
// The one file read of the plug-in (a WAV one-shot), behind a seam: the Windows
// build uses CreateFileW/GetFileSizeEx/ReadFile, the native build POSIX calls.
#include <cstdint>
#include <string>
#include <vector>

namespace palmtone {

// Reads a whole file of minWaveBytes..maxWaveBytes bytes with one read call.
// Throws std::runtime_error with "No se pudo abrir ese WAV",
// "El WAV debe ocupar menos de 64 MB" or "No se pudo leer el WAV completo".
std::vector<uint8_t> readWaveFile(const std::wstring& path);

} // namespace palmtone
