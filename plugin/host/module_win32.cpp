// The module handle the editor's window class is registered with: the plug-in
// library's own, stored by DllMain (programs that link the core directly,
// such as the tests, may set it to their own).
#include "plugin/host/module_win32.hpp"

namespace palmtone {
HINSTANCE moduleInstance = nullptr;
}
