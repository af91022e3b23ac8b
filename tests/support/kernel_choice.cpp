#include "tests/support/kernel_choice.hpp"

#include <gtest/gtest.h>

#include "plugin/sound/engine_kernels.hpp"

namespace velktest {

void forEachKernel(const std::function<void()>& check) {
    palmtone::kernel::useWide(false);
    {
        SCOPED_TRACE("SSE2 kernels");
        check();
    }
    if (!palmtone::kernel::wideAvailable()) {
        palmtone::kernel::useWide(true); // back to what the library chose at load
        GTEST_SKIP() << "this CPU lacks AVX2 or FMA: only the SSE2 kernels were tested";
    }
    palmtone::kernel::useWide(true);
    SCOPED_TRACE("AVX2 kernels");
    check();
}

} // namespace velktest
