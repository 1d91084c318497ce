// A record as the dump and the statistics see it: header fields and the payload bytes at hand,
// which may be fewer than the payload's size when the reader kept only its start.
#pragma once
#include <algorithm>
#include <cstdint>

#include "controller/reading/CaptureFileReader.h"

namespace kestrel {

struct RecordView {
    std::uint64_t offset = 0;
    std::uint32_t id = 0;
    std::uint32_t payloadSize = 0;
    std::int64_t timeStamp = 0;
    const std::uint8_t* data = nullptr;
    std::uint32_t kept = 0;  // bytes at data, never more than payloadSize
    std::uint32_t pointerBits = 32;  // of the recorded process: the width of its pointers and handles

    static RecordView Of(const CaptureRecord& record) {
        const auto kept = static_cast<std::uint32_t>(std::min<std::size_t>(record.payload.size(), record.payloadSize));
        return {record.offset, record.id, record.payloadSize, record.timeStamp, record.payload.data(), kept,
                record.pointerBits};
    }
    // Whether `size` bytes at `at` are at hand.
    bool Has(std::uint32_t at, std::uint32_t size) const { return at <= kept && size <= kept - at; }
    std::uint32_t U32(std::uint32_t at) const;  // 0 when the bytes are not at hand
    std::int32_t I32(std::uint32_t at) const { return static_cast<std::int32_t>(U32(at)); }
    // An address or handle at the capture's pointer width; 0 when the bytes are not at hand.
    std::uint64_t Address(std::uint32_t at) const {
        if (pointerBits != 64) return U32(at);
        return Has(at, 8) ? U32(at) | static_cast<std::uint64_t>(U32(at + 4)) << 32 : 0;
    }
    std::uint32_t AddressSize() const { return pointerBits / 8; }
};

inline std::uint32_t RecordView::U32(std::uint32_t at) const {
    if (!Has(at, 4)) return 0;
    return static_cast<std::uint32_t>(data[at]) | static_cast<std::uint32_t>(data[at + 1]) << 8 |
           static_cast<std::uint32_t>(data[at + 2]) << 16 | static_cast<std::uint32_t>(data[at + 3]) << 24;
}

}  // namespace kestrel
