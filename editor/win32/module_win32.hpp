#pragma once
// The plug-in library's module handle, stored when the library is attached; the
// editor registers its window class with it.
#include <windows.h>

namespace palmtone {
extern HINSTANCE moduleInstance;
}
