#include "plugin/large_buffer.hpp"

namespace palmtone {

// Large pages need a privilege a plug-in does not have; ordinary pages it is.
void adviseLargePages(void*, size_t) noexcept {}

} // namespace palmtone
