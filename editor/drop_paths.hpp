#pragma once
// The WAV paths inside dropped data, read from the bytes alone so that a block
// from another program never makes us read past its end. Portable: the Windows
// side locks the global memory and hands its bytes and size here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace palmtone {

// Bounds of a file-drop block (a DROPFILES header and its name list).
constexpr size_t minFileDropBytes = 22;
constexpr size_t maxFileDropBytes = 4194304;
constexpr size_t fileDropHeaderBytes = 20;
// Names examined per drop, and the longest name kept, in characters.
constexpr size_t maxFileDropNames = 1024;
constexpr size_t maxDropNameChars = 32767;
// Bounds of a dropped path given as text ("FileNameW" or Unicode text).
constexpr size_t minTextDropBytes = 2;
constexpr size_t maxTextDropBytes = 65536;

// The WAV paths of a file-drop block, in drop order. The header must be sound:
// minFileDropBytes <= size <= maxFileDropBytes, the list offset (first four
// bytes) at least 20 and inside the block, and for a wide list (non-zero flag at
// byte 16) even with room for at least two units. Names are read only within
// size: an empty name ends the list, a last name without its terminator is
// dropped, at most maxFileDropNames names are examined, and a name is kept when
// it has 1..maxDropNameChars characters and isWavePath accepts it.
// A narrow list (flag 0) is decoded name by name with `narrow`; without one,
// each byte becomes the character of the same value.
std::vector<std::wstring> fileDropPaths(const uint8_t* block, size_t size,
                                        std::wstring (*narrow)(const std::string&) = nullptr);

// The one WAV path of a UTF-16 text block (2..65536 bytes): the text up to its
// first NUL, which must lie within size / 2 units, less one pair of surrounding
// double quotes; empty when there is no such NUL or the text is no WAV path.
std::wstring textDropPath(const uint8_t* block, size_t size);

} // namespace palmtone
