// Exchange-style spin word (0 free, 1 held) with a give-up time, for words in shared memory whose
// holder may have died: after the give-up time the caller goes on as though it held the word.
#pragma once
#include <windows.h>
#include <cstdint>

#include "interposer/SpinWord.h"

namespace kestrel {

// True when taken, false when given up after more than giveUpMs (by GetTickCount).
inline bool AcquireExchangeWordWithin(volatile std::uint32_t* word, DWORD giveUpMs) {
    const DWORD start = GetTickCount();
    // Taken when the old value was not 1: a foreign value counts as free.
    while (InterlockedExchange(reinterpret_cast<volatile LONG*>(word), 1) == 1) {
        if (GetTickCount() - start > giveUpMs) return false;
        Sleep(0);
    }
    return true;
}

}  // namespace kestrel
