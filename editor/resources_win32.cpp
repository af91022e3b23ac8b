// The editor frees the five fonts and the background brush that its window
// made (editor/win32/window_win32.cpp).
#include <windows.h>

#include "editor/editor.hpp"

namespace palmtone {

void Editor::releaseResources() noexcept {
    HGDIOBJ objects[] = {font12, font14, font17, font22, font30, backgroundBrush};
    for (HGDIOBJ object : objects)
        if (object) DeleteObject(object);
    font12 = font14 = font17 = font22 = font30 = nullptr;
    backgroundBrush = nullptr;
}

} // namespace palmtone
