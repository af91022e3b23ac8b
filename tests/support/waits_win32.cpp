// The tests' brief sleep on Windows. Sleep counts whole milliseconds and
// sleep_for rounds anything shorter down to a yield; the native call below the
// two takes the interval in 100 ns units (Wine sleeps it with select()).
#include <windows.h>

#include "tests/support/waits.hpp"

namespace velktest {

void nap() {
    using Delay = LONG(WINAPI*)(BOOLEAN alertable, const LARGE_INTEGER* interval);
    static const Delay delay = reinterpret_cast<Delay>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDelayExecution")));
    LARGE_INTEGER interval;
    interval.QuadPart = -10 * static_cast<LONGLONG>(napLength.count()); // negative: relative
    if (delay)
        delay(FALSE, &interval);
    else
        Sleep(1);
}

} // namespace velktest
