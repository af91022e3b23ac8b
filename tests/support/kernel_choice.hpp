#pragma once
// Runs a check of the rendering kernels once per kernel set: SSE2, then AVX2
// with FMA. On a CPU without those the AVX2 run cannot happen, and the test
// ends skipped with a message saying so, after the SSE2 run (a failure there
// still fails the test): it never passes with half its check silently left out.
#include <gtest/gtest.h>

#include "plugin/sound/engine_kernels.hpp"

namespace velktest {

template <typename Check> void forEachKernel(Check check) {
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
