// The 32-bit table hash of the provisional instance id and of program binaries.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

// h starts at the length; each byte folds in through the table; no final inversion.
std::uint32_t TableHash(const void* data, std::size_t size);

}  // namespace kestrel
