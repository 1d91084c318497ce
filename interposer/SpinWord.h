// The two spin-word disciplines shared by the recorder and the controlling process.
#pragma once
#include <windows.h>
#include <cstdint>

namespace kestrel {

constexpr std::uint32_t kSpinHeld = 0xCEDED;

// Compare-and-swap style: 0 free, 0xCEDED held. Yields while another holder has it; spins at once
// on any foreign value. Not re-entrant.
inline void AcquireSpinWord(volatile std::uint32_t* word) {
    for (;;) {
        LONG found = InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(word), kSpinHeld, 0);
        if (found == 0) return;
        if (static_cast<std::uint32_t>(found) == kSpinHeld) Sleep(0);
    }
}

inline void ReleaseSpinWord(volatile std::uint32_t* word) {
    InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(word), 0, kSpinHeld);
}

// Exchange style: 0 free, 1 held.
inline void AcquireExchangeWord(volatile std::uint32_t* word) {
    while (InterlockedExchange(reinterpret_cast<volatile LONG*>(word), 1) != 0) Sleep(0);
}

inline void ReleaseExchangeWord(volatile std::uint32_t* word) {
    InterlockedExchange(reinterpret_cast<volatile LONG*>(word), 0);
}

}  // namespace kestrel
