// What the hand-written recorders share: the real call through the table, and the fixed part of a
// payload built from values at their own widths.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "capture/GLBaseCapturer.h"
#include "glrecord/IndexRange.h"

namespace kestrel {

// A pointer or handle as a payload holds it: at the process's own width (stream/PointerWidth.h).
inline std::uintptr_t HandleValue(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

// The real function of a recorder's own entry point (an alias call's own one inside an alias call).
template <class R, class... A>
R CallReal(const GLBaseCapturer& capturer, unsigned index, std::uint32_t apiId, A... args) {
    return reinterpret_cast<R(__stdcall*)(A...)>(capturer.RealEntry(index, apiId))(args...);
}

// Values side by side at their own widths (a GLboolean 1 byte, a pointer 4), no padding, after room
// for the record header so that header and values can go into the ring in one write.
template <class... T>
struct Packed {
    static constexpr std::size_t kSize = (sizeof(T) + ... + 0);
    std::uint8_t room[GLBaseCapturer::kRecordRoom];
    std::uint8_t bytes[kSize ? kSize : 1];

    explicit Packed(T... values) {
        static_assert(offsetof(Packed, bytes) == sizeof room, "the values follow the header's room");
        std::size_t at = 0;
        ((std::memcpy(bytes + at, &values, sizeof values), at += sizeof values), ...);
    }
};

// A record whose payload is just these values.
template <class... T>
void RecordValues(GLBaseCapturer& capturer, std::uint32_t apiId, T... values) {
    Packed<T...> payload(values...);
    capturer.BeginRecordWith(apiId, Packed<T...>::kSize, payload.room, Packed<T...>::kSize);
}

// An upload's pixels: the bytes the size rules give, of which the last `padding` are the last row's
// padding. The GL itself does not read those, so they may lie past the application's readable
// memory: they are copied only as far as they can be read, zeros after.
struct PixelBlock {
    std::uint32_t bytes = 0;
    std::uint32_t padding = 0;
};

template <class... T>
void RecordWithBlock(GLBaseCapturer& capturer, std::uint32_t apiId, const void* data, PixelBlock block,
                     T... values) {
    Packed<T...> fixed(values...);
    if (!data) block = {};
    capturer.BeginRecordWith(apiId, Packed<T...>::kSize + block.bytes, fixed.room, Packed<T...>::kSize);
    const std::uint32_t read = block.bytes - block.padding;
    capturer.WriteData(read, data);
    if (block.padding == 0) return;
    const auto* tail = static_cast<const std::uint8_t*>(data) + read;
    const std::uint32_t readable = ReadablePrefix(tail, block.padding, SystemReadable);
    capturer.WriteData(readable, tail);
    capturer.WriteBlock(block.padding - readable, nullptr);
}

// A record of these values and one data block after them: bytes from data, none when data is null.
template <class... T>
void RecordWithBlock(GLBaseCapturer& capturer, std::uint32_t apiId, const void* data, std::uint32_t bytes,
                     T... values) {
    RecordWithBlock(capturer, apiId, data, PixelBlock{bytes, 0}, values...);
}

}  // namespace kestrel
