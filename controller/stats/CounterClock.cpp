#include "controller/stats/CounterClock.h"

#include <windows.h>

namespace kestrel {

CounterClock CounterClock::Of(std::uint64_t givenHz) {
    if (givenHz != 0) return {givenHz, true};
    LARGE_INTEGER frequency{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return {};
    return {static_cast<std::uint64_t>(frequency.QuadPart), false};
}

}  // namespace kestrel
