// Instructions a piece of code executes on the calling thread, counted by single-stepping it: a
// figure that does not move with the machine's load or with emulation, unlike a time.
#pragma once
#include <cstdint>
#include <vector>

namespace bench {

struct PathCount {
    std::uint32_t instructions = 0;  // everything the thread executed, system code included
    std::uint32_t inModule = 0;      // those inside the module given to CountInstructions
    std::uint32_t locked = 0;        // interlocked operations: a lock prefix, or xchg with memory
    std::uint32_t timeStamps = 0;    // rdtsc
};

// Runs body(argument) on this thread with the trap flag set and counts what it executes. `module`
// (an address inside it) picks the module whose own instructions are counted apart. False when the
// processor's single-step traps do not reach the program. With `addresses`, the address of every
// instruction executed is kept there too, up to kMaxAddresses of them.
constexpr std::size_t kMaxAddresses = 1u << 20;
bool CountInstructions(void (*body)(void*), void* argument, const void* module, PathCount& count,
                       std::vector<std::uintptr_t>* addresses = nullptr);

}  // namespace bench
