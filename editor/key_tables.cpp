#include "editor/key_tables.hpp"

namespace palmtone {

const int32_t keys[padCount] = {'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K'};
const int32_t notes[padCount] = {60, 62, 64, 65, 67, 69, 71, 72};
const wchar_t* const degrees[padCount] = {L"I", L"II", L"III", L"IV", L"V", L"VI", L"VII", L"I"};

int keyIndex(int32_t virtualKey) noexcept {
    for (int i = 0; i < padCount; ++i)
        if (keys[i] == virtualKey) return i;
    return -1;
}

} // namespace palmtone
