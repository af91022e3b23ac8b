#pragma once
// The installer's window: a folder field with its picker, the install button
// and a status line; the install runs synchronously on the window's thread.
#include <windows.h>

namespace setup {

// Checks the package, then shows the window until it is closed. Returns the
// exit code: 0 after the window closed, 2 for an incomplete package, 4 when
// the window cannot be created.
int runWindow(HINSTANCE instance, int show);

} // namespace setup
