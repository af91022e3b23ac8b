#pragma once
// The installer's package: the five files embedded as raw-data resources, and
// the check that they are all there. Nothing here includes a Windows header.
#include <cstddef>
#include <cstdint>

namespace setup {

struct Payload {
    uint16_t id;
    const wchar_t* path; // relative to the install folder
};

// The plug-in's resource, the one whose image the package check reads.
inline constexpr uint16_t pluginResource = 101;

// The order is that of the existence test, the writes and the renames: the
// plug-in is moved into place first and the read-me last.
inline constexpr Payload payloads[] = {
    {pluginResource, L"VELK beta.dll"},
    {102, L"One_Shots\\VELK_Bell_C4.wav"},
    {103, L"One_Shots\\VELK_Pluck_C4.wav"},
    {104, L"One_Shots\\VELK_Soft_C4.wav"},
    {105, L"LEEME-VELK.txt"},
};

struct Bytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// The bytes of one embedded resource; a resource that is not found, cannot be
// locked or is empty counts as missing (null data).
Bytes resourceBytes(uint16_t id);

// True when every payload is there and the plug-in looks like an x64 image.
bool verifyPackage();

} // namespace setup
