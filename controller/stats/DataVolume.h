// Where a capture's bytes go: call records, client arrays, buffer and texture uploads, mapped
// buffer writes and the stream's own records. Every byte of the capture counts in exactly one kind.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace kestrel {

enum class DataKind : std::uint8_t { Calls, ClientArrays, BufferData, TextureData, MappedWrites, StreamRecords };
constexpr std::size_t kDataKinds = 6;

class DataVolume {
public:
    struct Share {
        std::uint64_t records = 0;  // records that carry bytes of this kind
        std::uint64_t bytes = 0;
    };

    // One record, with its 16-byte header; an alias marker with its own 8 payload bytes only, which
    // count with the calls. The data behind an upload's or an unmap's fixed part counts as that
    // kind, the rest as a call.
    // pointerBits: the capture's, which sizes the fixed parts of the calls. A mapped-write record's
    // bytes count as mapped writes, its buffer name and runs (`runs` of them) as a stream record.
    void Add(std::uint32_t id, std::uint32_t payloadSize, std::uint32_t pointerBits = 32, std::uint32_t runs = 0);

    const Share& operator[](DataKind kind) const { return shares_[static_cast<std::size_t>(kind)]; }
    static const char* Name(DataKind kind);
    // The kind of the data that follows the fixed part of a call's payload; Calls for any other call.
    static DataKind KindOfCallData(std::uint32_t apiId);

private:
    Share& At(DataKind kind) { return shares_[static_cast<std::size_t>(kind)]; }

    std::array<Share, kDataKinds> shares_{};
};

}  // namespace kestrel
