// The module handle the editor's window class is registered with: the plug-in
// library's own, stored by DllMain (programs that link the editor's Windows
// layer directly, such as the tests, may set it to their own).
#include "editor/win32/module_win32.hpp"

namespace palmtone {
HINSTANCE moduleInstance = nullptr;
}
