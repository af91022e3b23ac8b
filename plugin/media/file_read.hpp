#pragma once
// The one file read of the plug-in (a WAV one-shot), behind a seam: the Windows
// build uses CreateFileW/GetFileSizeEx/ReadFile, the native build POSIX calls.
#include <string>

#include "plugin/media/sample_data.hpp"

namespace palmtone {

// What readWaveFile throws, on either side of the seam.
constexpr char waveUnreadable[] = "No se pudo abrir ese WAV";
constexpr char waveTooLarge[] = "El WAV debe ocupar menos de 64 MB";
constexpr char waveCutShort[] = "No se pudo leer el WAV completo";

// Reads a whole file of minWaveBytes..maxWaveBytes bytes with one read call
// into a buffer of its exact size. Throws std::runtime_error with
// waveUnreadable, waveTooLarge or waveCutShort.
WaveImage readWaveFile(const std::wstring& path);

} // namespace palmtone
