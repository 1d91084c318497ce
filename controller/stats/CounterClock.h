// The rate of a capture's time stamps, which the capture does not record: given by the user, or
// this machine's performance counter rate (right for a capture made here; 0 when unknown).
#pragma once
#include <cstdint>

namespace kestrel {

struct CounterClock {
    std::uint64_t hz = 0;
    bool given = false;

    // `givenHz` from --clock-hz, 0 when not given.
    static CounterClock Of(std::uint64_t givenHz);
};

}  // namespace kestrel
