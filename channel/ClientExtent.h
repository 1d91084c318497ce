// One entry of the extent table: how far the recorder has read client memory from an array's address.
#pragma once
#include <cstdint>

namespace kestrel {

struct ClientExtent {
    constexpr ClientExtent(std::uint32_t bytes = 0, std::uint32_t components_ = 0, std::uint32_t type_ = 0,
                           std::uint32_t stride_ = 0)
        : extent(bytes), components(components_), type(type_), stride(stride_) {}
    std::uint32_t extent;      // largest extent read so far, in bytes from the address
    std::uint32_t components;
    std::uint32_t type;
    std::uint32_t stride;
};

}  // namespace kestrel
