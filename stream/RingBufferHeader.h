#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

// Start of the ring's shared mapping; the data area (2 x capacity: ring, then unwrap area) follows.
// All fields are 32-bit and 4-byte aligned in the mapping, so the struct has no padding to pack away.
struct RingBufferHeader {
    uint32_t readOffset;   // first unread byte; changed by the reader
    uint32_t writeOffset;  // where the next byte goes; may equal capacity
    uint32_t capacity;     // set by the creator
    uint32_t wrapped;      // unread data continues at offset 0 and is not yet in the unwrap area
    uint32_t lockWord;     // 0 free, kRingLocked held; taken by compare-and-swap, freed by its holder
    uint32_t reserved0;
    uint32_t reserved1;
};

constexpr uint32_t kRingLocked = 0xCEDED;

static_assert(sizeof(RingBufferHeader) == 28);
static_assert(offsetof(RingBufferHeader, readOffset) == 0);
static_assert(offsetof(RingBufferHeader, writeOffset) == 4);
static_assert(offsetof(RingBufferHeader, capacity) == 8);
static_assert(offsetof(RingBufferHeader, wrapped) == 12);
static_assert(offsetof(RingBufferHeader, lockWord) == 16);
static_assert(offsetof(RingBufferHeader, reserved0) == 20);
static_assert(offsetof(RingBufferHeader, reserved1) == 24);

}  // namespace kestrel
