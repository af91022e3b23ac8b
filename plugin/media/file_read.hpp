#pragma once
// The one file read of the plug-in (a WAV one-shot), behind a seam: the Windows
// build uses CreateFileW/GetFileSizeEx/ReadFile, the native build POSIX calls.
#include <string>

#include "plugin/media/sample_data.hpp"

namespace palmtone {

// Reads a whole file of minWaveBytes..maxWaveBytes bytes with one read call
// into a buffer of its exact size.
// Throws std::runtime_error with "No se pudo abrir ese WAV",
// "El WAV debe ocupar menos de 64 MB" or "No se pudo leer el WAV completo".
WaveImage readWaveFile(const std::wstring& path);

} // namespace palmtone
