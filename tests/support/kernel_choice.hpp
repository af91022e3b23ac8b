#pragma once
// Runs a check of the rendering kernels once per kernel set this program's
// instances can be switched to. An instance in this process
// (kernel_choice.cpp, for the programs that link velk_kernel_choice): SSE2,
// then AVX2 with FMA. On a CPU without those the AVX2 run cannot happen, and
// the test ends skipped with a message saying so, after the SSE2 run (a
// failure there still fails the test): it never passes with half its check
// silently left out. The DLL chose its kernels when it was loaded and a host
// cannot switch them: dll_tests runs the check once (tests/dll/dll_level.cpp).
#include <functional>

namespace velktest {

void forEachKernel(const std::function<void()>& check);

} // namespace velktest
